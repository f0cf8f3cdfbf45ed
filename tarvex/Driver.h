// The analysis run of tarvex once the command line has been parsed.
#ifndef DRIVER_H
#define DRIVER_H

// Runs the whole analysis with the program-wide settings; returns the exit status.
int RunAnalysis();

#endif
