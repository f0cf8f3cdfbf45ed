// Singular value decomposition (Golub-Reinsch) and back-substitution in single precision,
// with the calling convention of column-oriented numerical code: every argument by
// address, matrices stored column by column, 1-based indices in the algorithm.
#include "peaks/ChisqSVDFitFunctions.h"

#include <cmath>
#include <cstdio>

namespace tarvex {

namespace {

// Size of the fixed working vector: the largest number of columns handled.
constexpr int kMaxColumns = 100;
constexpr int kMaxIterations = 30;

// Fortran SIGN(a, b): |a| with the sign of b.
float Sign(float a, float b) {
  const float m = std::fabs(a);
  return b >= 0.0f ? m : -m;
}

// Plain hypotenuse, without rescaling against overflow.
float Hypotenuse(float a, float b) { return std::sqrt(a * a + b * b); }

// Column-major view of a matrix with ld declared rows, indexed from 1.
class Matrix {
 public:
  Matrix(float* data, int ld) : data_(data), ld_(ld) {}
  float& operator()(int row, int col) { return data_[(row - 1) + (col - 1) * ld_]; }

 private:
  float* data_;
  int ld_;
};

// Vector view indexed from 1.
template <typename T>
class Vector {
 public:
  explicit Vector(T* data) : data_(data) {}
  T& operator[](int i) const { return data_[i - 1]; }

 private:
  T* data_;
};

// Said on standard error, one line each time, in one write so that lines of fits on
// several threads do not mix. Nothing waits for an answer: a run without a console would
// wait for ever.
void ReportNoConvergence() { std::fputs("No convergence in 30 iterations\n", stderr); }

}  // namespace

int svdcmp_(float* a_, int* m_, int* n_, int* mp_, int* np_, float* w_, float* v_) {
  const int m = *m_;
  const int n = *n_;
  if (n > kMaxColumns || n < 1 || m < 1) return 1;
  Matrix a(a_, *mp_);
  Matrix v(v_, *np_);
  Vector<float> w(w_);
  float rv1store[kMaxColumns];
  Vector<float> rv1(rv1store);

  float g = 0.0f, scale = 0.0f, anorm = 0.0f;
  float c = 0.0f, f = 0.0f, h = 0.0f, s = 0.0f, x = 0.0f, y = 0.0f, z = 0.0f;
  int l = 1, nm = 1;

  // Householder reduction to bidiagonal form.
  for (int i = 1; i <= n; ++i) {
    l = i + 1;
    rv1[i] = scale * g;
    g = s = scale = 0.0f;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0.0f) {
        for (int k = i; k <= m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        f = a(i, i);
        g = -Sign(std::sqrt(s), f);
        h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j <= n; ++j) {
          s = 0.0f;
          for (int k = i; k <= m; ++k) s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
        }
        for (int k = i; k <= m; ++k) a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0.0f;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0.0f) {
        for (int k = l; k <= n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        f = a(i, l);
        g = -Sign(std::sqrt(s), f);
        h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k) rv1[k] = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          s = 0.0f;
          for (int k = l; k <= n; ++k) s += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k) a(j, k) += s * rv1[k];
        }
        for (int k = l; k <= n; ++k) a(i, k) *= scale;
      }
    }
    const float t = std::fabs(w[i]) + std::fabs(rv1[i]);
    if (t > anorm) anorm = t;
  }

  // Accumulation of the right-hand transformations.
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0.0f) {
        // Double division avoids a possible underflow.
        for (int j = l; j <= n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;
        for (int j = l; j <= n; ++j) {
          s = 0.0f;
          for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k) v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j <= n; ++j) v(i, j) = v(j, i) = 0.0f;
    }
    v(i, i) = 1.0f;
    g = rv1[i];
    l = i;
  }

  // Accumulation of the left-hand transformations.
  for (int i = (m < n ? m : n); i >= 1; --i) {
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; ++j) a(i, j) = 0.0f;
    if (g != 0.0f) {
      g = 1.0f / g;
      for (int j = l; j <= n; ++j) {
        s = 0.0f;
        for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
        f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
      }
      for (int j = i; j <= m; ++j) a(j, i) *= g;
    } else {
      for (int j = i; j <= m; ++j) a(j, i) = 0.0f;
    }
    a(i, i) += 1.0f;
  }

  // Diagonalisation of the bidiagonal form.
  for (int k = n; k >= 1; --k) {
    for (int its = 1; its <= kMaxIterations; ++its) {
      bool cancel = true;
      for (l = k; l >= 1; --l) {
        nm = l - 1;
        // rv1[1] is always zero, so the test ends at l == 1 at the latest (never
        // looking at w[0]).
        if (l == 1 || std::fabs(rv1[l]) + anorm == anorm) {
          cancel = false;
          break;
        }
        if (std::fabs(w[nm]) + anorm == anorm) break;
      }
      if (cancel) {
        // Cancellation of rv1[l] when w[l-1] is negligible.
        c = 0.0f;
        s = 1.0f;
        for (int i = l; i <= k; ++i) {
          f = s * rv1[i];
          if (std::fabs(f) + anorm != anorm) {
            g = w[i];
            h = Hypotenuse(f, g);
            w[i] = h;
            h = 1.0f / h;
            c = g * h;
            s = -(f * h);
            for (int j = 1; j <= m; ++j) {
              y = a(j, nm);
              z = a(j, i);
              a(j, nm) = y * c + z * s;
              a(j, i) = -(y * s) + z * c;
            }
          }
        }
      }
      z = w[k];
      if (l == k) {
        // Convergence: make the singular value non-negative.
        if (z < 0.0f) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j) v(j, k) = -v(j, k);
        }
        break;
      }
      if (its == kMaxIterations) {
        ReportNoConvergence();
        return 1;
      }
      // Shift from the bottom 2 x 2 minor.
      x = w[l];
      nm = k - 1;
      y = w[nm];
      g = rv1[nm];
      h = rv1[k];
      f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0f * h * y);
      g = Hypotenuse(f, 1.0f);
      f = ((x - z) * (x + z) + h * ((y / (f + Sign(g, f))) - h)) / x;
      // Next QR transformation.
      c = s = 1.0f;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = Hypotenuse(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = -(x * s) + g * c;
        h = y * s;
        y = y * c;
        for (int jj = 1; jj <= n; ++jj) {
          x = v(jj, j);
          z = v(jj, i);
          v(jj, j) = x * c + z * s;
          v(jj, i) = -(x * s) + z * c;
        }
        z = Hypotenuse(f, h);
        w[j] = z;
        // The rotation can be arbitrary when z is zero: keep the previous one.
        if (z != 0.0f) {
          z = 1.0f / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = -(s * g) + c * y;
        for (int jj = 1; jj <= m; ++jj) {
          y = a(jj, j);
          z = a(jj, i);
          a(jj, j) = y * c + z * s;
          a(jj, i) = -(y * s) + z * c;
        }
      }
      rv1[l] = 0.0f;
      rv1[k] = f;
      w[k] = x;
    }
  }
  return 0;
}

int svbksb_(float* u_, float* w_, float* v_, int* m_, int* n_, int* mp_, int* np_, float* b_,
            float* x_) {
  const int m = *m_;
  const int n = *n_;
  if (n > kMaxColumns || n < 1) return 0;
  Matrix u(u_, *mp_);
  Matrix v(v_, *np_);
  Vector<const float> w(w_);
  Vector<const float> b(b_);
  Vector<float> x(x_);
  float tmpstore[kMaxColumns];
  Vector<float> tmp(tmpstore);

  // tmp = diag(1/w) U^T b, a zero singular value contributing nothing.
  for (int j = 1; j <= n; ++j) {
    float s = 0.0f;
    if (w[j] != 0.0f) {
      for (int i = 1; i <= m; ++i) s += u(i, j) * b[i];
      s /= w[j];
    }
    tmp[j] = s;
  }
  for (int j = 1; j <= n; ++j) {
    float s = 0.0f;
    for (int jj = 1; jj <= n; ++jj) s += v(j, jj) * tmp[jj];
    x[j] = s;
  }
  return 0;
}

}  // namespace tarvex
