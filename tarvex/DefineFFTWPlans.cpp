#include "DefineFFTWPlans.h"

#include "AtomicFile.h"
#include "fftw-2d.h"  // FFTWPlannerMutex

#include <fftw.h>
#include <rfftw.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

const char* const kWisdomFileName = "FFTPlans.Wisdom.dat";

namespace {

// The 80 x 80 forward plan is made without stored wisdom.
constexpr int kEntryPlannedWithoutWisdom = 10;

// Imports the wisdom file when it exists; returns whether it existed.
bool ImportWisdom(const char* name, Console& console) {
  FILE* in = fopen(name, "r");
  if (in == nullptr) {
    console.Printf("\n\nFFTW Wisdom File \"%s\" Does Not Exist!\n\n", name);
    console.Print("Please Wait, The Plans are being computed and Wisdom acquired .....\n\n");
    return false;
  }
  console.Printf("\n\nFFTW Wisdom File \"%s\"  Exists!\n", name);
  console.Print("\tWisdom Will Be Imported From This File\n\n");
  if (fftw_import_wisdom_from_file(in) == FFTW_FAILURE) console.Print("Error reading wisdom!\n");
  fclose(in);
  return true;
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
  const bool FPlansExist = wisdomFile == nullptr || ImportWisdom(wisdomFile, console);
  if (silent) console.Print("\nComputing 2-D FFTW Plans, please wait ...\n");
  for (int i = 0; i < kNumberOfFFTWPlans; ++i) {
    FFTWplan& entry = table[i];
    if (!silent) console.Printf("\n\tComputing 2-D FFTW Plan %d\n", i);
    entry.id = i;
    entry.nx = kPlanSizes[i][0];
    entry.ny = kPlanSizes[i][1];
    if (!silent) console.Printf("\t\t\tDFT: %d x %d\n", entry.nx, entry.ny);
    const int forwardFlags = i == kEntryPlannedWithoutWisdom ? speed : speed | FFTW_USE_WISDOM;
    entry.Forward = rfftw2d_create_plan(entry.ny, entry.nx, FFTW_REAL_TO_COMPLEX, forwardFlags);
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
