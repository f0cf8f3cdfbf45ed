#include "correlation/DefineFFTWPlans.h"

#include "AtomicFile.h"
#include "correlation/WisdomTrial.h"
#include "correlation/fftw-2d.h"  // FFTWPlannerMutex

#include <fftw.h>
#include <rfftw.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace tarvex {

const char* const kWisdomFileName = "FFTPlans.Wisdom.dat";

namespace {

// The 80 x 80 forward plan is made without stored wisdom.
constexpr int kEntryPlannedWithoutWisdom = 10;

// The flags of entry i's forward plan: the 80 x 80 one is made without stored wisdom.
int ForwardFlags(int i, int speed) { return i == kEntryPlannedWithoutWisdom ? speed : speed | FFTW_USE_WISDOM; }

// Makes and destroys every plan of the table that uses wisdom: what the wisdom trial's child
// does with the wisdom it was given.
void PlanWithWisdom(int speed) {
  for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
    const int nx = kPlanSizes[i][0], ny = kPlanSizes[i][1];
    if (i != kEntryPlannedWithoutWisdom)
      rfftwnd_destroy_plan(rfftw2d_create_plan(ny, nx, FFTW_REAL_TO_COMPLEX, ForwardFlags(i, speed)));
    rfftwnd_destroy_plan(rfftw2d_create_plan(ny, nx, FFTW_COMPLEX_TO_REAL, speed | FFTW_USE_WISDOM));
  }
}

// Reads the whole file into text; false when it cannot be opened.
bool ReadWisdomFile(const char* name, std::string& text) {
  FILE* in = fopen(name, "r");
  if (in == nullptr) return false;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
  fclose(in);
  return true;
}

// Imports the wisdom file when it exists and is sound; returns whether it is to be kept (it
// exists and was imported). A damaged file is named on standard error and left to be
// replaced by the plans computed afresh.
bool ImportWisdom(const char* name, int speed, Console& console) {
  std::string text;
  if (!ReadWisdomFile(name, text)) {
    console.Printf("\n\nFFTW Wisdom File \"%s\" Does Not Exist!\n\n", name);
    console.Print("Please Wait, The Plans are being computed and Wisdom acquired .....\n\n");
    return false;
  }
  console.Printf("\n\nFFTW Wisdom File \"%s\"  Exists!\n", name);
  console.Print("\tWisdom Will Be Imported From This File\n\n");
  std::string tried;
  const WisdomTrial trial = TryWisdom(text, PlanWithWisdom, speed, tried);
  // Without a child process to try it in, the file is trusted as it always was.
  const std::string& wisdom = trial == WisdomTrial::Untried ? text : tried;
  if ((trial == WisdomTrial::Good || trial == WisdomTrial::Untried) &&
      fftw_import_wisdom_from_string(wisdom.c_str()) == FFTW_SUCCESS)
    return true;
  fftw_forget_wisdom();
  console.ErrorPrintf(
      "tarvex: the wisdom file %s is damaged (%s); it is ignored, and the plans are computed afresh and "
      "stored in it\n",
      name, trial == WisdomTrial::PlannerFailed ? "FFTW's planner fails on it" : "not FFTW wisdom");
  console.Print("Please Wait, The Plans are being computed and Wisdom acquired .....\n\n");
  return false;
}

void ExportWisdom(const char* name, Console& console) {
  console.Printf("\n\nStoring Wisdom Plans to File: %s\n\nPlease wait ....\n\n", name);
  // A wisdom file cut short (a full disk) would fail every later import: it appears only whole.
  AtomicFile out;
  if (!out.Open(name, false)) {
    console.ErrorPrintf("Cannot create the wisdom file %s; the plans are not stored.\n", name);
    return;
  }
  fftw_export_wisdom_to_file(out.Stream());
  if (!out.Commit()) {
    console.ErrorPrintf("Cannot store the wisdom file %s (%s); the plans are not stored.\n", name,
            out.Error().c_str());
    return;
  }
  console.Print("Done!\n\n");
}

}  // namespace

void DefineFFTWPlans(FFTWplan** Ptrfftwplan, int speed, int silent) {
  *Ptrfftwplan = MakeFFTWPlanTable(speed, silent != 0, kWisdomFileName, StandardOutput());
}

FFTWplan* MakeFFTWPlanTable(int speed, bool silent, const char* wisdomFile, Console& console) {
  FFTWplan* table = static_cast<FFTWplan*>(calloc(kNumberOfFFTWPlans, sizeof(FFTWplan)));
  if (table == nullptr) return nullptr;
  // The planner and the wisdom store are process-wide and not thread-safe.
  std::lock_guard<std::mutex> lock(FFTWPlannerMutex());
  // Without a wisdom file the plans are made as on a first run, and nothing is stored.
  const bool FPlansExist = wisdomFile == nullptr || ImportWisdom(wisdomFile, speed, console);
  if (silent) console.Print("\nComputing 2-D FFTW Plans, please wait ...\n");
  for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
    FFTWplan& entry = table[i];
    if (!silent) console.Printf("\n\tComputing 2-D FFTW Plan %d\n", i);
    entry.id = i;
    entry.nx = kPlanSizes[i][0];
    entry.ny = kPlanSizes[i][1];
    if (!silent) console.Printf("\t\t\tDFT: %d x %d\n", entry.nx, entry.ny);
    entry.Forward = rfftw2d_create_plan(entry.ny, entry.nx, FFTW_REAL_TO_COMPLEX, ForwardFlags(i, speed));
    entry.Inverse =
        rfftw2d_create_plan(entry.ny, entry.nx, FFTW_COMPLEX_TO_REAL, speed | FFTW_USE_WISDOM);
  }
  if (!FPlansExist) ExportWisdom(wisdomFile, console);
  return table;
}

void DestroyFFTWPlanTable(FFTWplan* table) {
  if (table == nullptr) return;
  std::lock_guard<std::mutex> lock(FFTWPlannerMutex());
  for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
    if (table[i].Forward != nullptr) rfftwnd_destroy_plan(table[i].Forward);
    if (table[i].Inverse != nullptr) rfftwnd_destroy_plan(table[i].Inverse);
  }
  free(table);
}

FFTWplan* SelectFFTWPlan(FFTWplan* fftwplan, int nx, int ny) {
  if (fftwplan == nullptr) return nullptr;
  for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
    if (kPlanSizes[i][0] == nx && kPlanSizes[i][1] == ny) return &fftwplan[i];
  }
  return nullptr;
}

}  // namespace tarvex
