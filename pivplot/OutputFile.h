// Writing the finished picture: all of it or, on failure, nothing.
#ifndef PIVPLOT_OUTPUTFILE_H
#define PIVPLOT_OUTPUTFILE_H

#include <string>

// Writes bytes to path, which appears only complete (AtomicFile); on failure nothing is left
// under that name and the reason is in error.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error);

#endif
