// What pivstats and pivexport share around their own work: the command line, the reading
// of the series with a progress line on a terminal, the metadata of the output and the
// messages. Each program is a SeriesSink that takes the fields and writes its files.
//
// Worked example: "pivstats -o s.nc a.dpiv b.dpiv" reads a.dpiv, hands its field to the sink,
// then b.dpiv's, and calls Finish with the metadata (program pivstats, its command line,
// inputs "a.dpiv ... b.dpiv (2 files)"); a bad b.dpiv ends the run before Finish, with
// "pivstats: b.dpiv, line 14: not a record of flag, x, y, U, V and peak value" and status 1.
#ifndef PIVSERIES_SERIESPROGRAM_H
#define PIVSERIES_SERIESPROGRAM_H

#include <string>

#include "FieldFrame.h"
#include "SeriesOptions.h"
#include "SeriesReader.h"

class SeriesSink {
 public:
  virtual ~SeriesSink() = default;
  // Takes the next field; the reader knows the grid and calibration by now, and the
  // metadata of the output is that of the first field.
  virtual bool Take(const SeriesReader& reader, const FieldMetadata& metadata, const FieldFrame& frame,
                    std::string& error) = 0;
  // Writes the output after the last field; prints its line on standard output.
  virtual bool Finish(const SeriesReader& reader, const FieldMetadata& metadata, std::string& error) = 0;
};

struct SeriesProgram {
  const char* name;   // "pivstats"
  const char* usage;  // the usage text
  bool tecplot;       // whether --tec is an option
};

// Parses the command line; false when there is nothing to run, with the exit status: 0 after
// the usage text for --help, 2 after a message and the usage text for a command line that
// cannot be used.
bool ParseSeriesCommandLine(int argc, char** argv, const SeriesProgram& program, SeriesOptions& options,
                            int& status);

// Reads the series through sink; the exit status (0, or 1 after a message on standard error).
int RunSeries(int argc, char** argv, const SeriesProgram& program, const SeriesOptions& options, SeriesSink& sink);

#endif
