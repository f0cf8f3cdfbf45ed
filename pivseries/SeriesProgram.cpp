#include "SeriesProgram.h"

#include <unistd.h>

#include <cstdio>
#include <new>
#include <vector>

#include "ProgressLine.h"

using tarvex::ProgressLine;

bool ParseSeriesCommandLine(int argc, char** argv, const SeriesProgram& program, SeriesOptions& options,
                            int& status) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  switch (ParseSeriesOptions(args, program.tecplot, options, error)) {
    case SeriesParse::Help:
      std::fputs(program.usage, stdout);
      status = 0;
      return false;
    case SeriesParse::Error:
      std::fprintf(stderr, "%s: %s\n\n%s", program.name, error.c_str(), program.usage);
      status = 2;
      return false;
    case SeriesParse::Run:
      break;
  }
  return true;
}

namespace {

// The output's metadata: the first file's, with the program, its command line and inputs.
FieldMetadata OutputMetadata(int argc, char** argv, const SeriesProgram& program, const SeriesOptions& options,
                             const SeriesReader& reader) {
  FieldMetadata metadata = reader.Metadata();
  metadata.program = program.name;
  metadata.command_line = CommandLineText(std::vector<std::string>(argv, argv + argc));
  metadata.inputs = InputsText(options.files.front(), options.files.back(), options.files.size());
  if (!options.reference.empty()) metadata.displacement_reference = options.reference;
  return metadata;
}

}  // namespace

namespace {

int ReadSeries(int argc, char** argv, const SeriesProgram& program, const SeriesOptions& options,
               SeriesSink& sink, SeriesReader& reader) {
  ProgressLine progress(options.files.size(), isatty(2) != 0, isatty(1) != 0 && isatty(2) != 0, program.name, "files");
  FieldFrame frame;
  FieldMetadata metadata;
  std::string error;
  bool ok = true;
  while (ok && reader.Next(frame)) {
    if (reader.Fields() == 1) metadata = OutputMetadata(argc, argv, program, options, reader);
    ok = sink.Take(reader, metadata, frame, error);
    progress.Update(reader.FilesDone());
  }
  progress.Clear();
  if (ok && !reader.Error().empty()) {
    error = reader.Error();
    ok = false;
  }
  ok = ok && sink.Finish(reader, metadata, error);
  if (ok) return 0;
  std::fprintf(stderr, "%s: %s\n", program.name, error.c_str());
  return 1;
}

}  // namespace

int RunSeries(int argc, char** argv, const SeriesProgram& program, const SeriesOptions& options, SeriesSink& sink) {
  SeriesReader reader(options.files, options.calibration);
  try {
    return ReadSeries(argc, argv, program, options, sink, reader);
  } catch (const std::bad_alloc&) {
    // A grid too large for the memory there is: an output begun is removed with the sink.
    // Nothing allocated here: the message must get out with the memory there is.
    const char* file = reader.CurrentFile();
    std::fprintf(stderr, "%s: %s%snot enough memory for the fields of the series\n", program.name, file,
                 *file == '\0' ? "" : ": ");
    return 1;
  }
}
