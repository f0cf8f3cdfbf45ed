// The record a series run keeps next to its files, SERIES.series.txt (see SeriesPlan): what
// -resume must find unchanged before it keeps any file of an earlier run. One line each: the
// input's file name (without the directory, which the record shares), its size and
// modification time, then every option that changes the results, in a fixed order.
//
// Worked example: tarvex -dft 32 -gspac 16 16 -MVOcheck 1 -all 1 1 2 data/run.b16, a file of
// 262148 bytes modified at 1733609520.5 s, writes data/run.series.txt:
//   tarvex series record 1
//   input run.b16
//   size 262148
//   modified 1733609520.500000000
//   -dft 32x32
//   -gspac 16 16
//   -all 1 1 2
//   -i off
//   -MinRho off
//   -MaxVelRat off
//   -GHcheck off
//   -MVOcheck 1
//   -DMVOcheck off
//   -s off
//   -o off
//   -subpix fit
//   -meansub off
//   -deform off
//   -dft0 off
//   -deformref off
//   -mask off
// The same command with -resume and -MVOcheck 2 then stops with "tarvex: cannot resume:
// data/run.series.txt records -MVOcheck 1, this run has -MVOcheck 2; nothing written".
#ifndef RUNRECORD_H
#define RUNRECORD_H

#include <ctime>
#include <string>

#include "Settings.h"

namespace tarvex {

// The options that change the results, one "-name value" line each in a fixed order, after
// the parse (so -deform's implied estimator shows): the record's lines after "modified".
std::string ResultOptionsText(const TarvexSettings& s);

class RunRecord {
 public:
  // The record of the run the settings describe; false, with a message on standard error,
  // when the input cannot be examined.
  bool Make(const TarvexSettings& s);
  // With -resume: compares the record on disk with this run's. False, with a message on
  // standard error naming the first line that differs, when they differ. Without a record
  // on disk (a series of an older tarvex) true.
  bool CheckForResume();
  // When the record on disk was written, which is when the run being resumed started: a file
  // older than that is an earlier run's. Null when there is no record to go by.
  const timespec* Since() const { return hasSince_ ? &since_ : nullptr; }
  // Writes the record (whole or not at all) unless the same one is on disk already; false,
  // with a message on standard error, when it cannot be written.
  bool Write();

 private:
  std::string name_;
  std::string text_;
  bool onDisk_ = false;
  bool hasSince_ = false;
  timespec since_{};
};

}  // namespace tarvex

#endif
