// One interrogation point: the place of its two windows, their FFT cross-correlation, the
// four highest correlation peaks with sub-pixel positions, and its validity flag. The
// windows and the plane of a measurement live in the measuring thread's workspace; a point
// keeps only its record (216 bytes on x86-64), and its plane only when asked to
// (setCCStored).
//
// Worked example: a 32 x 32 point at x = 15 takes columns 15 - 32/2 + 1 = 0 to 31. In a
// 64-pixel image it fits at x = 46 (columns 31 to 62) but not at x = 47: columns 32 to 63
// would include the image's last column. Cell (nx/2 - 1, ny/2 - 1) = (15, 15) of the plane is
// zero displacement. When the second image shows the first's particles 2 columns right and
// 1 row down, the highest peak is cell (17, 16) and Vx = +2, Vy = +1 px. An offset DX = 2,
// DY = 1 moves the second window instead: the peak is then cell (15, 15), and Vx = 0 + DX = +2.
#ifndef PIVPOINT_H
#define PIVPOINT_H

#include "correlation/fftw-2d.h"
#include "grid/piv.h"
#include "images/PIVImage.h"
#include "peaks/ThreePointGaussian.h"

namespace tarvex {

class CorrelationWorkspace;
class FlowMask;

class PIVPoint {
 public:
  PIVImage* pivImage;  // the image pair to analyse; borrowed

  PIVPoint();
  PIVPoint(int fftx, int ffty, int flowdirn, FFTWplan* AllFFTWplans);
  ~PIVPoint();
  PIVPoint(const PIVPoint&) = delete;
  PIVPoint& operator=(const PIVPoint&) = delete;

  // Accessors.
  int id() const { return piv.id; }
  char on() const { return static_cast<char>(piv.on); }
  float X() const { return piv.x; }
  float Y() const { return piv.y; }
  float DX() const { return piv.DX; }
  float DY() const { return piv.DY; }
  float Vx() const { return piv.dx[vid] + piv.DX; }  // displacement including the offset
  float Vy() const { return piv.dy[vid] + piv.DY; }
  float Rho() const { return piv.rho[vid]; }
  TARVEXData* PIV() { return &piv; }
  // Whether the last measurement found a usable correlation peak: a point without one
  // holds no vector, so no check may switch it on and the smoothing never uses it.
  bool HasMeasurement() const { return measured; }
  // Whether the point lies on a masked part of the image: it is never measured.
  bool Masked() const { return masked; }
  // Whether the point's windows hold no particle images in the pair being analysed (see
  // ParticleContent): it is not measured, as a point whose plane has no peak.
  bool WithoutParticleImages() const { return noParticleImages; }

  // Setters that store only.
  void setOn(unsigned char on) { piv.on = on; }
  void setParentId(int id) { piv.parent = id; }
  void setX(float x) { piv.x = x; }
  void setY(float y) { piv.y = y; }
  void setXY(float x, float y) { setX(x); setY(y); }
  void setPIVOffSet(float DX, float DY) { piv.DX = DX; piv.DY = DY; }
  void setVID(int set_vid) { vid = set_vid; }
  void setSearchRegion(int fd) { piv.SearchRegion = fd; }
  void setALLFFTWPLANS(FFTWplan* plans) { AllFFTWplans = plans; }
  void setCCStored(bool keep) { CCStored = keep; }
  void setMaxDisplacement(float maxvel) { MaxVel = maxvel; }
  void setMinRho(float minrho) { MinRho = minrho; }
  // Opt-in analysis modes; the defaults are the least-squares fit without mean subtraction.
  void setSubPixelEstimator(SubPixelEstimator estimator) { subpix = estimator; }
  void setMeanSubtraction(bool subtract) { MeanSubtraction = subtract; }
  // The image's mask (borrowed; null: none) and whether the point is masked. Windows that
  // cover masked pixels have them replaced by their flow mean when analysed.
  void setMask(const FlowMask* flowMask, bool isMasked) {
    mask = flowMask;
    masked = isMasked;
  }
  void setWithoutParticleImages(bool none) { noParticleImages = none; }

  // DFT-size setters: each re-chooses the plan and remakes the mask.
  void setXDFTSize(int xdftsz);
  void setYDFTSize(int ydftsz);
  void setDFTSize(int fftx, int ffty);
  void setPreSetDFT(int dftsz);

  // Analysis.
  bool CheckSubImageWithinImage();
  // Without a workspace argument the calling thread's own workspace is used; a grid's
  // workers pass theirs.
  // CalculateCC leaves the plane with the point (PIV()->CC); CalculateCCVelocity keeps it
  // only when setCCStored(true) was given.
  bool CalculateCC();
  bool CalculateCC(CorrelationWorkspace& ws);
  bool CalculateCCVelocity();
  bool CalculateCCVelocity(CorrelationWorkspace& ws);
  // Moves the point to (x0, y0) and loads its two windows, as they are, into the calling
  // thread's workspace (transforms.fI1 and fI2, in units of full scale); false when they do
  // not lie in the images, which leaves the workspace as it was.
  bool ShowSubImages(float x0, float y0);
  bool CCPeakValueCheck();
  bool MaxVelCheck();

 private:
  friend class PIVPointTestAccess;

  bool WindowFlag;
  bool FilterOn;
  bool CCStored;
  FFTWplan* AllFFTWplans;  // borrowed plan table
  TARVEXData piv;
  int vid;
  float MaxVel;
  float MinRho;
  bool measured = false;
  bool masked = false;
  bool noParticleImages = false;
  const FlowMask* mask = nullptr;
  // Storage of the correlation plane of a point that holds one, kept from one correlation
  // to the next: piv.CC points into it while the point holds its plane and is null once the
  // plane is released. A point measured without keeping its plane has none.
  float* ccStore = nullptr;
  size_t ccCapacity = 0;  // in floats
  SubPixelEstimator subpix = SubPixelEstimator::Fit;
  bool MeanSubtraction = false;  // subtract each window's mean before correlating

  void Construct(int fftx, int ffty, int flowdirn, FFTWplan* plans);
  void AfterDFTSizeChange();
  void SelectFFTWPlan();
  // Whether the store holds images and both windows lie inside them.
  bool WindowsAvailable() const;
  // Loads both windows into ws (prepared for the point's size), treated as the analysis
  // asks (mean subtraction, window mask, masked pixels) or as they are; returns their norms.
  WindowNorms LoadWindows(CorrelationWorkspace& ws, bool asAnalysed) const;
  // The correlation: the centred, normalised plane in ws.cc, and with the point when
  // keepPlane is set or the plane has another element type than float (which ws.cc then
  // does not hold: it is zero). False, the point's plane untouched, when the windows do not
  // lie in the images; false after a message when memory runs out or the type is unknown.
  bool FFTW_Rpiv_CC(CorrelationWorkspace& ws, bool keepPlane);
  // The four-peak search on the point's own plane (copied into ws.cc first) or on ws.cc.
  bool FindCCMaxima(bool NOFilter);
  bool FindCCMaxima(bool NOFilter, CorrelationWorkspace& ws);
  bool SearchPeaks(bool NOFilter, CorrelationWorkspace& ws);
  bool ApplyFilter(float* cc);
  bool CalculateFilter();
  bool CalculateFilter(CorrelationWorkspace& ws);
  // Drops the plane (piv.CC becomes null); the kept storage stays for the next one.
  void ReleasePlane();
  // Drops the plane and its storage.
  void FreePlane();
  // Storage for a new plane of `floats` floats, grown only when too small; null when
  // memory cannot be obtained. Any plane held before is released.
  float* PlaneStorage(size_t floats);
  bool setUpWindowMask();
};

}  // namespace tarvex

#endif
