// Free FFT cross-correlation kernels and the shifts that centre a correlation plane.
#ifndef FFTW_2D_H
#define FFTW_2D_H

#include <fftw.h>
#include <rfftw.h>

// Shifted copy of a real ny x nx array (zero displacement to column nx/2-1, row ny/2-1);
// the caller frees the result with free().
fftw_real* rfftshift(fftw_real* array, int nx, int ny);
// The same shift applied to the real parts of a complex array.
fftw_real* fftshift(fftw_complex* array, int nx, int ny);

// Normalised circular cross-correlation of two ny x nx pixel windows with real or
// complex transforms. Null plans are replaced by temporary ones. On success both input
// buffers are released with free() and a new plane (free() it) is returned; on failure null.
float* FFTW_Rpiv_CC(unsigned short* image1, unsigned short* image2, int nx, int ny,
                    rfftwnd_plan FORWARD, rfftwnd_plan BACKWARD);
float* FFTW_Cpiv_CC(unsigned short* image1, unsigned short* image2, int nx, int ny,
                    fftwnd_plan FORWARD, fftwnd_plan BACKWARD);

#endif
