// What every fuzz target does around the reader it drives: a quiet console, and promises
// of the reader checked after each run.
//
// Worked example: FuzzCheck(pixels == nx * ny, "pixel count") does nothing while the reader
// keeps its word; otherwise it prints "fuzz check failed: pixel count" with the sanitizers'
// reports and aborts, which libFuzzer reports as a crash and saves the input that caused it.
#ifndef FUZZ_FUZZPROCESS_H
#define FUZZ_FUZZPROCESS_H

// Sends standard output to /dev/null (the readers print their progress there, millions of
// times over) and makes standard input empty, so that a reader's prompt gets the end of
// input at once instead of waiting. Call from LLVMFuzzerInitialize.
void QuietConsole();

// Aborts with a message naming what when ok is false.
void FuzzCheck(bool ok, const char* what);

#endif
