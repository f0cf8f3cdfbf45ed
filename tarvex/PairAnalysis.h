// The analysis of image pairs without a command line: a grid laid over the store's images
// by the settings, and for every pair the calculation (single or two-pass), the checks in
// their fixed order and the smoothing, with their console text. The grid keeps each point's
// state (offsets, flags) from one pair of a series to the next.
//
// Worked example: on a 256 x 256 pair with 32 x 32 windows every 16 px and the median check
// at 1 px, Analyse() lays 15 x 15 = 225 points and measures 196 of them (the 29 of the last
// column and row never fit, because a window never includes the image's last column or row),
// then prints "\nValidating TARVEX, please wait .....\n", the check's header
// "\tChecking |U(i,j) - MedianU(i,j)| < 1.00, ...." and its counts: on pivsynth's uniform
// shift of 2.3, -1.2 px "\tGood Data Validated ... = 196" of "\tTotal Available Data ... = 225".
#ifndef PAIRANALYSIS_H
#define PAIRANALYSIS_H

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "AnalysisSettings.h"
#include "DpivFile.h"
#include "deform/DeformationAnalysis.h"
#include "grid/PIVGrid.h"
#include "grid/piv.h"
#include "images/PIVImage.h"
#include "mask/FlowMask.h"
#include "preprocess/BackgroundImage.h"
#include "preprocess/PairPreprocessing.h"
#include "support/Console.h"
#include "support/Status.h"

namespace tarvex {

class PairAnalysis {
 public:
  // Borrows the plan table, the image store and the console for its whole life.
  PairAnalysis(const AnalysisSettings& settings, FFTWplan* plans, PIVImage& images,
               Console& console);

  // The pair now in the store's slots. A series names the smoothing step differently. With
  // pre-processing (Preprocesses(settings)) the pair is processed into a store of the
  // analysis's own first, the store's slots staying as they are, and the windows without
  // particle images are counted on the console ("\tNo particle images in 3 of 225 windows:
  // not measured\n") and not measured.
  // Fails when the pre-processed images or the deformation passes cannot be made or run;
  // the field then holds the first pass only and must not be written as the result.
  Status Analyse(bool series);

  // Leaves out what is not flow from every following analysis: the mask must have the
  // images' size (false otherwise, nothing changed). Returns through MaskedPoints() the
  // number of grid points it masks.
  bool SetMask(MaskImage mask);
  int MaskedPoints() const { return maskedPoints_; }
  // The mask's bytes (one per pixel, 0 where masked), or null without a mask.
  const unsigned char* MaskBytes() const;

  // The background every following pair is cleared of (with settings.subtractBackground);
  // false, nothing changed, when its size is not the images'.
  bool SetBackground(BackgroundImage background);
  // The run's line saying what pre-processing is applied ("Pre-processing: ...\n"), or "".
  std::string PreprocessingSummary() const { return preprocessing_.Summary(); }

  // A flag (borrowed; null: none) another thread may set to stop the analysis early: the
  // points not yet measured are left out, and Analyse fails with "the analysis was
  // cancelled" after the pass in progress. Polled once per point: it costs
  // nothing measurable.
  void SetCancelFlag(const std::atomic<bool>* cancel);

  const AnalysisSettings& Settings() const { return settings_; }
  PIVGrid& Grid() { return grid_; }
  // The field as the velocity files hold it; `all` carries the values of rejected points
  // too (the DPIV file always does, the Tecplot file after smoothing).
  std::vector<VectorRecord> Records(bool all) const { return grid_.VectorRecords(all); }
  void Records(bool all, std::vector<VectorRecord>& into) const { grid_.VectorRecords(all, into); }
  // After an Analyse with deformation passes and an uncertainty method: each point's
  // standard uncertainty of u and v in px, in grid order as Records, NaN where the field
  // holds no valid vector (never measured, or rejected by the passes or the checks); the
  // smoothing leaves them as measured. False, with the arrays untouched, otherwise.
  bool Uncertainties(std::vector<float>& sigmaU, std::vector<float>& sigmaV) const;

 private:
  void Validate();
  Status Deform();
  bool Cancelled() const;
  // Processes the pair into processed_ and marks the windows without particle images.
  Status Preprocess();
  // The store the passes read: the processed pair, or the images as read.
  PIVImage& Analysed() { return processed_ != nullptr ? *processed_ : images_; }

  AnalysisSettings settings_;
  FFTWplan* plans_;
  PIVImage& images_;
  Console& console_;
  // With pre-processing only: the pair as the passes see it (made before the grids).
  std::unique_ptr<PIVImage> processed_;
  PairPreprocessing preprocessing_;
  std::vector<unsigned char> noParticles_;  // per grid point, for the pair being analysed
  PIVGrid grid_;
  // With deformation passes only: the passes, and the grid of larger first-pass windows.
  std::unique_ptr<DeformationAnalysis> deformation_;
  std::unique_ptr<PIVGrid> firstGrid_;
  std::unique_ptr<FlowMask> mask_;  // null without a mask
  int maskedPoints_ = 0;
  const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace tarvex

#endif
