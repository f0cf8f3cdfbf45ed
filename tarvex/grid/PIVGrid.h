// A rectangular grid of interrogation points over one image pair: the analysis passes,
// the validation checks, the smoothing and the output files.
//
// Worked example: a 3 x 3 grid of 32 x 32 windows every 16 px puts point k = i*nx + j =
// 1*3 + 2 = 5 at x = j*DelX + fftx/2 - 1 = 2*16 + 15 = 47, y = 1*16 + 15 = 31. Give every
// point (1, 0) px and the centre (k = 4) (5, 0). The global histogram check at C3 = 3 keeps
// them all, |5 - 13/9| = 3.56 < 3 * 1.257: one outlier among nine is never more than sqrt(8)
// = 2.83 standard deviations out. The median check at C4 = 1 rejects the centre only (4 px
// from its neighbours' median 1): flags 111101111. The smoothing then gives every point, the
// centre too, the mean of the valid vectors around it: (1, 0).
#ifndef PIVGRID_H
#define PIVGRID_H

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "DpivFile.h"
#include "correlation/CorrelationWorkspace.h"
#include "grid/PIVPoint.h"
#include "grid/piv.h"
#include "images/PIVImage.h"
#include "mask/FlowMask.h"
#include "peaks/PIVStandard.h"
#include "support/Status.h"

namespace tarvex {

class PIVGrid {
 public:
  PIVGrid();
  PIVGrid(int id0, int Parentid0, int nx0, int ny0, int Xoff0, int Yoff0, int DelX0, int DelY0,
          int DX0, int DY0, int fftx0, int ffty0, FlowDirection flowdirn,
          FFTWplan* AllFFTWplans0, PIVImage* pivImage0);
  ~PIVGrid();
  PIVGrid(const PIVGrid&) = delete;
  PIVGrid& operator=(const PIVGrid&) = delete;

  // Setters.
  void setImageDataInfo(PIVImage* pivImage);
  void setGridID(int id);
  void setParentGridID(int ParentId);
  void setGridSize(int nx, int ny);
  void setGridSpacing(int DelX, int DelY);
  void setGlobalImageOffSet(int Xoff, int Yoff);
  void setDFT(int fftx, int ffty);
  void setPIVOffSet(float DX, float DY);
  void setSearchRegion(FlowDirection SearchRegion);
  void setALLFFTWPLANS(FFTWplan* plans);
  void setMinRho(float rho);
  void setMaxVel(float vel);
  void setGlobalHistogramConstant(float NStdDev);
  void setMedianValueThreshold(float Ethresh);
  void setDynamicMeanValueConstants(float C1, float C2);
  void setMovingAverageWindowSize(float w);
  // Opt-in analysis modes handed to every point (also to points rebuilt later).
  void setSubPixelEstimator(SubPixelEstimator estimator);
  void setMeanSubtraction(bool subtract);
  // Number of threads that measure the points of a pass; 0 means one per available core.
  // The results do not depend on it.
  void setThreads(int threads);
  // Hands a cancellation flag (borrowed; null: none) to the workspaces setThreads made.
  void setCancelFlag(const std::atomic<bool>* cancel);
  int Threads() const { return static_cast<int>(workspaces.size()); }
  // The image's mask (borrowed; null: none), handed to every point. A point is masked by
  // the centre and quarter rules of FlowMask for a window of windowX x windowY (the DFT
  // size of the grid whose points these are): it is never measured, no check switches it
  // on, the smoothing leaves it at 0 and never takes it as a neighbour, and its window
  // offset stays 0. Returns the number of masked points.
  int setMask(const FlowMask* mask, int windowX, int windowY);
  // Marks the points whose windows hold no particle images in the pair to analyse
  // (none[k] nonzero, one byte per point in grid order): they are not measured, as points
  // whose plane has no peak. Returns the number marked.
  int setWithoutParticleImages(const unsigned char* none);
  // Where the grid's messages go (standard output unless set); borrowed.
  void setConsole(Console* c) { console = c; }

  // Read access for the driver, the writers' callers and the tests.
  int NX() const { return nx; }
  int NY() const { return ny; }
  PIVPoint& Point(int k) { return pivgrid[k]; }
  const PIVPoint& Point(int k) const { return pivgrid[k]; }
  float VelocityX(int k) const { return Vx[k]; }
  float VelocityY(int k) const { return Vy[k]; }

  // Analysis passes.
  bool setUpTARVEXGrid();
  bool CalculateGridTARVEX();
  bool CalculateIterativeGridTARVEX();
  // Takes the field measured by another pass (the refinement of a deformation analysis)
  // at every point that holds a measurement: displacement, peak and flag, one value per
  // point in grid order. Points without a measurement keep none (flag 0, displacement 0).
  void TakeField(const float* u, const float* v, const float* peak, const unsigned char* flag);

  // Validation checks; each returns the number of valid points.
  int CCPeakValueCheck();
  int MaxVelCheck();
  int GlobalHistogramCheck();
  int MedianValueOperatorCheck();
  int DynamicMeanValueOperatorCheck();

  // Moving-average smoothing and fill-in of Vx, Vy.
  int MovingAverageVelocity();

  // Output files.
  // The field as the velocity files hold it, in grid order: every point's position, flag
  // and peak, and its displacement where it is valid or `all` is set (0 elsewhere).
  std::vector<VectorRecord> VectorRecords(bool all) const;
  // The same into records, whose storage is reused from one call to the next.
  void VectorRecords(bool all, std::vector<VectorRecord>& records) const;
  // Each file appears under its name only when complete; false when it could not be
  // written, with the reason in WriteError().
  bool WriteTecPlotVelocityFile(const char* fname, int all);
  bool WriteBasicDPIVFile(const char* fname);
  const std::string& WriteError() const { return writeError; }
  // Writes this grid as the only data set of an ASCII PIV file, with the given description
  // (descr_size bytes, NULs included), and closes it.
  bool WriteAsciiPIVFile(const char* fname, const char* descr, int descr_size);

 private:
  friend class PIVGridTestAccess;

  PIVImage* pivImage;
  Console* console = &StandardOutput();
  int id;
  int ParentGridId;
  int nx;
  int ny;
  int Xoff;
  int Yoff;
  int DelX;
  int DelY;
  FlowDirection SearchRegion;
  float DX;
  float DY;
  int fftx;
  int ffty;
  FFTWplan* AllFFTWplans;
  PIVPoint* pivgrid;
  FILE* fo;            // the ASCII PIV file's stream while it is written
  AtomicFile asciiFile;
  PivFileHeader pivfileheader;
  float* Vx;
  float* Vy;
  float MinRho;
  float MaxVel;
  float C1;
  float C2;
  float C3;
  float C4;
  float avg_width;
  SubPixelEstimator subpix = SubPixelEstimator::Fit;
  bool MeanSubtraction = false;
  const FlowMask* flowMask = nullptr;
  int maskWindowX = 0;
  int maskWindowY = 0;
  // One workspace per measuring thread (at least one), made by setThreads and kept.
  std::vector<std::unique_ptr<CorrelationWorkspace>> workspaces;
  std::string writeError;  // why the last velocity file could not be written
  // Messages held back during a parallel pass, printed in grid order afterwards: each
  // worker's list of the points that printed something, in the order it measured them.
  struct HeldMessage {
    int point;
    std::string text;
  };
  std::vector<std::vector<HeldMessage>> heldMessages;

  void ApplyParameterDefaults();
  void AllocatePoints();
  void InitialisePoints(int flowdirn);
  void FreePoints();
  // Whether point p is masked by the grid's mask.
  bool OnMask(const PIVPoint& p) const;
  void PrintCheckCounts(int GoodData) const;
  // A check each point makes of itself: its verdicts counted and reported under title,
  // a format of one %f, the check's limit.
  int PointCheck(bool (PIVPoint::*check)(), const char* title, float limit);
  // Measures every point (CalculateCCVelocity) on the grid's threads; the results and the
  // console text are those of measuring the points one after another in grid order.
  void MeasurePoints();
  // Prints the messages held back by the workers of a parallel pass in grid order, and
  // forgets them.
  void PrintHeldMessages();
  // Whether point (l, m) lies in the grid, holds a measurement and is on: the only
  // points the checks and the smoothing take as neighbours or statistics.
  bool ValidVectorAt(int l, int m) const;
  // Grid indices of the valid points of the 3x3 block around (i, j), the point itself
  // left out, in grid order; returns their number (at most 8).
  int ValidNeighbours(int i, int j, int* k) const;
  // Number of points the grid holds; a non-positive side means none.
  int NumberOfPoints() const { return nx > 0 && ny > 0 ? nx * ny : 0; }

  bool WriteAsciiPIVFileHeader();
  bool WriteAsciiPIVField();
  bool WriteAsciiPIVRecords();
};

// The velocity files of a grid's records (VectorRecords), written as the grid writes them:
// a file that cannot be created is reported on the console ("\n Cannot open DPIV output file:
// NAME ....\n\n"); fails, saying why, on any failure.
Status WriteTecplotRecords(const char* fname, int nx, int ny, const std::vector<VectorRecord>& records,
                           Console& console);
Status WriteDpivRecords(const char* fname, const std::vector<VectorRecord>& records, Console& console);

// Writes s[0..lim-1] unchanged (NULs included), then a new line; returns lim.
int putline(char* s, int lim, FILE* fin);

// k-th smallest of arr[1..n] (1-based); arr[1..n] is rearranged.
float select(unsigned long k, unsigned long n, float* arr);

}  // namespace tarvex

#endif
