// An analysis that Ctrl-C interrupts. The analysis runs without the interpreter on a thread
// of its own while the calling thread waits for it, and every 50 ms takes the interpreter
// back to run the signal handlers (PyErr_CheckSignals): when one raises (SIGINT's
// KeyboardInterrupt), the analysis is cancelled through its flag, which it polls once per
// point, joined, and the exception goes on to the caller.
//
// Worked example: an analysis of 3.9 million points that takes a minute, interrupted after
// half a second, raises KeyboardInterrupt within a point's time and the 50 ms of the wait.
#ifndef PYTHON_INTERRUPTIBLEANALYSIS_H
#define PYTHON_INTERRUPTIBLEANALYSIS_H

#include "PairAnalysisCall.h"

namespace tarvex {

// AnalyseImages, interruptible; called with the interpreter held. Where no thread can be
// had it runs on the calling thread, without the interpreter, as before.
FieldResult AnalyseInterruptibly(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                                 const MaskImage* mask, const BackgroundRequest& background);

}  // namespace tarvex

#endif
