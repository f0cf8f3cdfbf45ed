#include "TextInput.h"

#include <filesystem>

bool UsableTextInput(const std::string& path, std::istream& in, const std::string& noun, std::string& error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    error = path + " is a directory, not a " + noun;
    return false;
  }
  // peek() only fills the stream's buffer: a pipe is read from its start all the same.
  if (in.peek() == std::istream::traits_type::eof()) {
    error = path + " is empty";
    return false;
  }
  return true;
}
