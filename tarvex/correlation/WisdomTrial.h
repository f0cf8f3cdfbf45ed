// Tries FFTW wisdom before this process trusts it. FFTW 2 ends the whole process when wisdom
// contradicts the planner's flags (one wrong number in the file: "fftw: bug in planner
// (conflicting plan options)", exit status 1), so the wisdom is imported, and the plans made
// with it, in a child process first; only wisdom the child survived is imported here.
//
// Worked example: the text "(FFTW-2.1.5 (4 537 1 0 1 1 0 100 0))" (a 4-point transform's plan)
// passes: TryWisdom returns Good and `wisdom` holds the child's wisdom afterwards, for
// fftw_import_wisdom_from_string. With the last 0 made a 1 the child's planner ends it:
// PlannerFailed. "this is not wisdom", or an empty text, does not import: NotWisdom.
#ifndef WISDOMTRIAL_H
#define WISDOMTRIAL_H

#include <string>

namespace tarvex {

enum class WisdomTrial {
  Good,           // imported and planned with; `wisdom` holds the result
  NotWisdom,      // FFTW does not read it as wisdom
  PlannerFailed,  // the planner ended the child (or the child ended otherwise)
  Untried,        // no child process could be started
};

// Imports text and runs plan(speed) in a child process, then gives back in `wisdom` the
// wisdom the child ended with (the text's and whatever the planner measured).
WisdomTrial TryWisdom(const std::string& text, void (*plan)(int speed), int speed, std::string& wisdom);

}  // namespace tarvex

#endif
