#include "PairTextMessage.h"

namespace tarvex {

namespace {

void PutNumber(std::string& out, uint64_t value, int bytes) {
  for (int k = 0; k < bytes; k++) out.push_back(static_cast<char>((value >> (8 * k)) & 0xff));
}

bool GetNumber(const std::string& in, size_t& at, int bytes, uint64_t& value) {
  if (at > in.size() || in.size() - at < static_cast<size_t>(bytes)) return false;
  value = 0;
  for (int k = 0; k < bytes; k++) value |= static_cast<uint64_t>(static_cast<unsigned char>(in[at + k])) << (8 * k);
  at += static_cast<size_t>(bytes);
  return true;
}

}  // namespace

std::string EncodePairText(const PairText& message) {
  std::string out;
  PutNumber(out, message.pair, 8);
  PutNumber(out, message.ok ? 1 : 0, 1);
  PutNumber(out, message.text.size(), 4);
  for (const ConsoleChunk& chunk : message.text) {
    PutNumber(out, chunk.error ? 1 : 0, 1);
    PutNumber(out, chunk.text.size(), 4);
    out += chunk.text;
  }
  return out;
}

bool DecodePairText(const std::string& bytes, PairText& message) {
  size_t at = 0;
  uint64_t ok = 0, chunks = 0;
  if (!GetNumber(bytes, at, 8, message.pair) || !GetNumber(bytes, at, 1, ok) || !GetNumber(bytes, at, 4, chunks))
    return false;
  message.ok = ok != 0;
  message.text.clear();
  for (uint64_t k = 0; k < chunks; k++) {
    uint64_t error = 0, length = 0;
    if (!GetNumber(bytes, at, 1, error) || !GetNumber(bytes, at, 4, length) || bytes.size() - at < length)
      return false;
    message.text.push_back({error != 0, bytes.substr(at, length)});
    at += length;
  }
  return at == bytes.size();
}

}  // namespace tarvex
