// Plain records shared by the analysis: plan-table entries, measurement records
// and the header of the ASCII PIV file.
//
// Worked example: a measured point keeps its four highest peaks, highest first, in dx[0..3],
// dy[0..3] and rho[0..3] (rho[0] >= rho[1] >= rho[2] >= rho[3]), relative to the window
// offset: with dx[0] = 1.5 and DX = 2 the point reports Vx = dx[0] + DX = 3.5 px. The plan
// entry for 48 x 24 windows has nx = 48 (columns) and ny = 24 (rows).
#ifndef PIV_H
#define PIV_H

#include <rfftw.h>

namespace tarvex {

// One entry of the FFT plan table: a forward and an inverse two-dimensional real
// transform for arrays of ny rows of nx values.
struct FFTWplan {
  int id;
  int nx;
  int ny;
  rfftwnd_plan Forward;
  rfftwnd_plan Inverse;
};

// Velocity gradients of a point (never computed by the analysis).
struct grad {
  float dudx;
  float dudy;
  float dvdx;
  float dvdy;
};

// Number of correlation peaks searched and kept per point.
constexpr int kNumberOfPeaks = 4;

// Measurement record of one interrogation point.
struct TARVEXData {
  int id;
  int parent;
  unsigned char on;
  float x;
  float y;
  float DX;
  float DY;
  int nx;
  int ny;
  FFTWplan* fftwplan;
  int SearchRegion;
  float dx[kNumberOfPeaks];
  float dy[kNumberOfPeaks];
  float rho[kNumberOfPeaks];
  int GradtInfo;
  grad DuiDxj;
  int memsize;
  int CCtype;
  float* CC;        // correlation plane; element type given by CCtype
  float* CCfilter;  // correlation filter
  float* Window;    // window mask
};

// Header record of the ASCII PIV file.
struct PivFileHeader {
  char OS[12];
  char fname[50];
  char date[20];
  int descr_size;
  char* descr;
  char LengthUnits[5];
  char TimeUnits[5];
  char DataType[15];
  float CalLength;
  float dt;
  unsigned short CCStored;
  unsigned short nsets;
  unsigned short ndata;
};

}  // namespace tarvex

#endif
