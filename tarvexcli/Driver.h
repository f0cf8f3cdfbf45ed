// The analysis run of tarvex once the command line has been parsed.
#ifndef DRIVER_H
#define DRIVER_H

#include "Settings.h"

// Runs the whole analysis of a parsed command line; returns the exit status.
int RunAnalysis(const TarvexSettings& settings);

#endif
