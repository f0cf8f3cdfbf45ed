// Weighted linear least-squares fit of z(x, y) over scattered points, solved by SVD,
// and the separable quadratic basis used by the Gaussian peak fit.
#include "peaks/ChisqSVDFitFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarvex {

namespace {

// Singular values below this fraction of the largest are treated as zero.
constexpr float kSingularValueTolerance = 1.0e-5f;

// t raised to e, with t^0 = 1 (also for t = 0) and 0^e = 0, as the library power function
// gives it in double and rounded to float. For the basis' exponents 1 and 2 the power of a
// float is exact in double (a 24-bit mantissa squared needs at most 48 bits), and the
// library function, accurate to within one ulp, returns an exactly representable result
// unchanged: the product is the same value, without the cost of the call.
float Power(float t, int e) {
  if (e == 0) return 1.0f;
  if (t == 0.0f) return 0.0f;
  const double d = static_cast<double>(t);
  if (e == 1) return t;
  if (e == 2) return static_cast<float>(d * d);
  return static_cast<float>(std::pow(d, static_cast<double>(e)));
}

// The result of a fit that could not be made.
bool NoFit(float a[], int ma, float* chisq) {
  for (int j = 0; j < ma; ++j) a[j] = 0.0f;
  *chisq = 0.0f;
  return false;
}

}  // namespace

void fpolyGaussian(float x, float y, float afunc[], int npoly) {
  static const int xindex[5] = {0, 1, 2, 0, 0};
  static const int yindex[5] = {0, 0, 0, 1, 2};
  for (int k = 0; k < npoly && k < 5; ++k) afunc[k] = Power(x, xindex[k]) * Power(y, yindex[k]);
}

bool SVDFitWork::Reserve(int ndata, int ma) {
  return b.Reserve(ndata + 1) && afunc.Reserve(ma + 1) &&
         u.Reserve(static_cast<size_t>(ndata) * ma + 1) && v.Reserve(static_cast<size_t>(ma) * ma + 1) &&
         w.Reserve(ma + 1);
}

bool svdfit_xy(float x[], float y[], float z[], int ndata, float a[], int ma, float* chisq,
               BasisFunctions funcs) {
  SVDFitWork work;
  if (!work.Reserve(ndata, ma)) {
    printf("\nNOT ENOUGH DYNAMIC MEMORY\n");
    return NoFit(a, ma, chisq);
  }
  return svdfit_xy(x, y, z, ndata, a, ma, chisq, funcs, work);
}

bool svdfit_xy(const float x[], const float y[], const float z[], int ndata, float a[], int ma,
               float* chisq, BasisFunctions funcs, SVDFitWork& work) {
  // b and u are written whole below; the small arrays start at zero, as fresh ones did.
  float* b = work.b.data;
  float* afunc = work.afunc.data;
  float* u = work.u.data;
  float* v = work.v.data;
  float* w = work.w.data;
  std::fill(afunc, afunc + ma + 1, 0.0f);
  std::fill(v, v + ma * ma + 1, 0.0f);
  std::fill(w, w + ma + 1, 0.0f);

  const float weight = 1.0f / SIG;
  for (int i = 0; i < ndata; ++i) {
    funcs(x[i], y[i], afunc, ma);
    for (int j = 0; j < ma; ++j) u[i + j * ndata] = afunc[j] * weight;
    b[i] = z[i] * weight;
  }
  int m = ndata;
  int n = ma;
  if (svdcmp_(u, &m, &n, &m, &n, w, v) != 0) return NoFit(a, ma, chisq);

  float wmax = 0.0f;
  for (int j = 0; j < ma; ++j)
    if (w[j] > wmax) wmax = w[j];
  const float thresh = kSingularValueTolerance * wmax;
  for (int j = 0; j < ma; ++j)
    if (w[j] < thresh) w[j] = 0.0f;
  svbksb_(u, w, v, &m, &n, &m, &n, b, a);

  float sum_sq = 0.0f;
  for (int i = 0; i < ndata; ++i) {
    funcs(x[i], y[i], afunc, ma);
    float sum = 0.0f;
    for (int j = 0; j < ma; ++j) sum += a[j] * afunc[j];
    const float r = (z[i] - sum) / SIG;
    sum_sq += r * r;
  }
  *chisq = sum_sq;
  return true;
}

}  // namespace tarvex
