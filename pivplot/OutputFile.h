// Writing the finished picture: all of it or, on failure, nothing.
#ifndef PIVPLOT_OUTPUTFILE_H
#define PIVPLOT_OUTPUTFILE_H

#include <string>

// Writes bytes to path; on failure removes what was written and returns false with the
// reason in error.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error);

#endif
