#!/bin/sh
# Installs the Debian packages needed to build, test and benchmark the toolset.
# Idempotent: packages already installed are skipped, and apt-get runs only when needed.
set -eu

# Build and test tools, the analysis libraries, then what the newer programs need:
# cairo and a font (pivplot), poppler-utils and libxml2-utils (pdfinfo and xmllint, for
# the PDF and SVG tests), Open MPI
# (tarvex-mpi), pybind11 with numpy and pytest (the Python module), clang with its
# runtime libraries (the fuzz targets), the NetCDF library with its tools and Python readers
# (pivstats, pivexport, pivplot's NetCDF input; ncdump, netCDF4 and xarray for their tests).
PACKAGES="cmake g++ make fftw-dev libtiff-dev libf2c2-dev libgtest-dev libbenchmark-dev libpng-dev
  libcairo2-dev fonts-dejavu-core poppler-utils libxml2-utils
  libopenmpi-dev openmpi-bin
  pybind11-dev python3-dev python3-numpy python3-pytest
  clang libclang-rt-14-dev
  libnetcdf-dev netcdf-bin python3-netcdf4 python3-xarray"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages:$missing (run as root to install them)" >&2
  exit 1
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
