// The command line of pivcompare, apart from its program so that it can be tried on any
// arguments.
//
// Worked example: "pivcompare run.dpiv run.b16.truth" compares; "pivcompare --help" (or
// "-h") asks for the usage text; "pivcompare run.dpiv" is a usage error.
#ifndef PIVCOMPARE_COMPARECOMMANDLINE_H
#define PIVCOMPARE_COMPARECOMMANDLINE_H

enum class CompareCommand { Compare, Help, UsageError };

// argc and argv are main's; with Compare, argv[1] is the DPIV file and argv[2] the truth file.
CompareCommand ParseCompareCommandLine(int argc, char** argv);

const char* CompareUsage();

#endif
