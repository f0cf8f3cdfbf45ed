#include "FieldFileMetadata.h"

#include "RunRecord.h"

namespace tarvex {

FieldMetadata RunFieldMetadata(const TarvexSettings& s) {
  FieldMetadata m;
  m.program = "tarvex";
  m.command_line = s.commandLine;
  m.window_x = s.fftx;
  m.window_y = s.ffty;
  // The record's lines, "; " between them.
  const std::string lines = ResultOptionsText(s);
  std::string options;
  for (size_t begin = 0, end; begin < lines.size(); begin = end + 1) {
    end = lines.find('\n', begin);
    if (end == std::string::npos) end = lines.size();
    options += (options.empty() ? "" : "; ") + lines.substr(begin, end - begin);
  }
  m.analysis_options = options;
  const bool firstImage = (s.pflag & PFLAG_ITERATE) != 0 ||
                          (s.deform > 0 && s.deformReference == DeformReference::FirstImage);
  m.displacement_reference = firstImage ? kReferenceFirstImage : kReferenceMidpoint;
  m.inputs = s.filename;
  return m;
}

}  // namespace tarvex
