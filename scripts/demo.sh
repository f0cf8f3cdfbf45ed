#!/bin/sh
# Builds the toolset, makes the bundled demo input (a synthetic vortex flow written by
# pivsynth), analyses it with tarvex and draws the field with pivplot. Everything the
# demo writes goes to demo/. Each step is announced on standard error before it starts; the
# summary at the end goes to standard output.
set -eu
cd "$(dirname "$0")/.."

step() { echo "demo: $*" >&2; }

step "installing the Debian packages the toolset needs, where missing (scripts/install-deps.sh)"
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
step "configuring the build in build/ (cmake)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
step "building tarvex, pivsynth, pivcompare and pivplot into build/bin (a few minutes the first time)"
cmake --build build -j "$jobs" --target tarvex pivsynth pivcompare pivplot >/dev/null

bin=$PWD/build/bin
mkdir -p demo
cd demo

# The demo input: one 512 x 512 pair of particle images with a Lamb-Oseen vortex.
step "making the input in demo/: a 512 x 512 pair of particle images with a Lamb-Oseen vortex (pivsynth)"
"$bin/pivsynth" --size 512x512 --field vortex --center 256,256 --gamma 600 --core 60 \
  --diameter 2.5 --density 0.02 --noise 20 --seed 1 --out vortex.b16

# Window-deformation analysis (a first pass and three refinement passes) with 32 x 32
# windows at 16 px spacing and a Tecplot file; the image pair 1 2 is answered on standard input.
step "analysing it with window deformation, three refinement passes (tarvex -deform 3)"
echo "1 2" | "$bin/tarvex" -dft 32 -gspac 16 16 -deform 3 -tec vortex vortex.b16 > tarvex.log

# The picture: the vorticity as a colour map over the first image, with the arrows, a
# colour bar, a reference arrow and axes; the never-measured border windows are hidden.
step "drawing the vorticity over the first image (pivplot)"
"$bin/pivplot" vortex.dpiv --image vortex.b16 1 --color vorticity --rejected hide --out vortex.png > pivplot.log

awk '!/^#/ { n++; if ($1 == 1) { v++; su += $4; sv += $5 } }
     END { if (v > 0) printf "demo: %d points, %d valid, mean displacement (%.3f, %.3f) px\n", n, v, su / v, sv / v;
           else printf "demo: %d points, 0 valid\n", n }' vortex.dpiv
echo "demo: DPIV file    $PWD/vortex.dpiv"
echo "demo: Tecplot file $PWD/vortex.plt"
echo "demo: picture      $PWD/vortex.png (vorticity over the image)"
echo "demo: console log  $PWD/tarvex.log"
