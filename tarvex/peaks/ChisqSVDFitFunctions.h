// Linear least-squares fitting by singular value decomposition, single precision.
//
// Worked example: the basis 1, x through (0, 0), (1, 1), (2, 3) gives a = (-1/6, 3/2), the
// residuals 1/6, -1/3, 1/6 and chi-square (1/36 + 4/36 + 1/36) / SIG^2 = (1/6) / 0.0036 = 46.30.
// The peak fit's basis fpolyGaussian at (2, 3) is 1, 2, 4, 3, 9.
#ifndef CHISQSVDFITFUNCTIONS_H
#define CHISQSVDFITFUNCTIONS_H

#include "support/CArray.h"

namespace tarvex {

// Standard deviation assumed for every data value of a fit.
constexpr float SIG = 0.06f;

using BasisFunctions = void (*)(float x, float y, float afunc[], int ma);

// Fits z(x, y) = sum_j a[j] * afunc_j(x, y) over ndata points; writes a[0..ma-1] and chi-square.
// False, with a[] and chi-square 0, when the memory cannot be had or the decomposition does
// not converge.
bool svdfit_xy(float x[], float y[], float z[], int ndata, float a[], int ma, float* chisq,
               BasisFunctions funcs);

// The working arrays of svdfit_xy, kept from one fit to the next.
struct SVDFitWork {
  // Room for fits of up to ndata points and ma coefficients; allocates only to grow.
  bool Reserve(int ndata, int ma);
  CArray<float> b, afunc, u, v, w;
};

// svdfit_xy with the working arrays of `work`, which must hold ndata points and ma
// coefficients (Reserve); the same arithmetic, no allocation. False, with a[] and chi-square
// 0, when the decomposition does not converge.
bool svdfit_xy(const float x[], const float y[], const float z[], int ndata, float a[], int ma,
               float* chisq, BasisFunctions funcs, SVDFitWork& work);
// Basis 1, x, x^2, y, y^2.
void fpolyGaussian(float x, float y, float afunc[], int npoly);

// Column-major SVD a = U diag(w) V^T of an m x n matrix (n <= 100); a becomes U. Returns 0;
// 1 for a size it refuses (memory untouched) or when a singular value has not converged after
// 30 iterations, which it says on standard error ("No convergence in 30 iterations").
int svdcmp_(float* a, int* m, int* n, int* mp, int* np, float* w, float* v);
// x = V diag(1/w) U^T b, zero singular values contributing nothing.
int svbksb_(float* u, float* w, float* v, int* m, int* n, int* mp, int* np, float* b, float* x);

}  // namespace tarvex

#endif
