#include "SynthOptions.h"

#include "LongOption.h"

ParseOutcome ParseOptions(const std::vector<std::string>& args, SynthOptions& options, std::string& error) {
  TruthRecordParser parser(options);
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--help" || arg == "-h") return ParseOutcome::Help;
    if (arg.compare(0, 2, "--") != 0) {
      error = "unexpected argument '" + arg + "'";
      return ParseOutcome::Error;
    }
    std::string name, value;
    if (!SplitLongOption(args, k, name, value, error)) return ParseOutcome::Error;
    if (name == "--out") {
      options.out = value;
      if (value.empty()) {
        error = "--out: the file name is empty";
        return ParseOutcome::Error;
      }
      continue;
    }
    if (!parser.Apply(name, value)) {
      error = parser.Error();
      return ParseOutcome::Error;
    }
  }
  if (!parser.Finish()) {
    error = parser.Error();
    return ParseOutcome::Error;
  }
  return ParseOutcome::Run;
}

const char* UsageText() {
  return "Usage: pivsynth [options]\n"
         "Writes pairs of synthetic particle images, moved by a known displacement field,\n"
         "into an image-pair file, and the field's parameters into FILE.truth.\n"
         "\n"
         "Options (defaults in brackets):\n"
         "  --size WxH        image width and height in pixels, 1 to 5000 [256x256]\n"
         "  --pairs N         number of image pairs; pair k is images 2k-1, 2k [1]\n"
         "  --field KIND      uniform, rotation, vortex, shear or sine [uniform]\n"
         "  --dx PX           uniform, sine: displacement along x (columns) in pixels [0]\n"
         "  --dy PX           uniform, sine: displacement along y (rows) in pixels [0]\n"
         "  --omega RAD       rotation: angle per frame in radians [0]\n"
         "  --center X,Y      rotation, vortex, shear: centre in pixels [image centre]\n"
         "  --profile KIND    vortex: rankine or lamb-oseen [lamb-oseen]\n"
         "  --gamma G         vortex: circulation in square pixels per frame [0]\n"
         "  --core R          vortex: core radius in pixels [10]\n"
         "  --shear S         shear: du/dy, x displacement per pixel of y [0]\n"
         "  --amplitude A     sine: displacement across the wave at its crests in pixels [0]\n"
         "  --wavelength L    sine: wavelength in pixels [64]\n"
         "  --direction x|y   sine: the axis the wave varies along [x]\n"
         "  --scheme first|symmetric\n"
         "                    where each particle's displacement is taken: at its\n"
         "                    first-image position, or at the midpoint of its path [first]\n"
         "  --diameter D      particle image diameter (e^-2) in pixels, up to 100 [2.5]\n"
         "  --density P       particles per pixel, 0 to 1 [0.02]\n"
         "  --loss F          fraction of the particles seen in one image only, 0 <= F < 1 [0]\n"
         "  --noise S         std dev of additive Gaussian noise in counts [0]\n"
         "  --glow MAX        background from 0 counts at x = 0 to MAX at the last column [0]\n"
         "  --band Y0,Y1,LEVEL\n"
         "                    background of LEVEL counts on the rows Y0 <= y <= Y1\n"
         "  --row-pattern LEVEL,X0,Y0,X1,Y1\n"
         "                    background of LEVEL counts on the odd rows y of the pixels\n"
         "                    with X0 <= x <= X1 and Y0 <= y <= Y1\n"
         "  --dim X0,Y0,X1,Y1,FACTOR\n"
         "                    particle light of the pixels with X0 <= x <= X1 and\n"
         "                    Y0 <= y <= Y1 times FACTOR, 0 to 1\n"
         "  --seed N          random seed, 0 to 2^64-1 [1]\n"
         "  --mask-rect X0,Y0,X1,Y1\n"
         "                    mask the pixels with X0 <= x <= X1 and Y0 <= y <= Y1\n"
         "  --mask-circle X,Y,R\n"
         "                    mask the pixels within R of (X, Y)\n"
         "  --out FILE        image-pair file to write [synth.b16]\n"
         "  --help            show this text and exit\n"
         "\n"
         "Positions: x the column, y the row. The sine field is a transverse wave that adds\n"
         "to the uniform shift (dx, dy): with --direction x it moves particles along y by\n"
         "A sin(2 pi x / L), with --direction y along x by A sin(2 pi y / L); it tries the\n"
         "small scales of a flow, and the shift keeps its nodes from standing still.\n"
         "With --scheme first a particle at p in the first image is at p + d(p) in the\n"
         "second. With --scheme symmetric a particle seeded at p is at p - d(p)/2 and\n"
         "p + d(p)/2: the field is then the displacement of the particle whose path has\n"
         "its midpoint at p, the central-difference convention.\n"
         "--glow, --band and --row-pattern add a camera's static background, the same in\n"
         "both images; --dim darkens a corner of the light sheet; --loss leaves particles\n"
         "that cross the light sheet without a partner (their random numbers are drawn\n"
         "apart, so the particles are those of the run without loss). The light is added\n"
         "before the noise, and every pixel is then rounded and clamped to 0..4095.\n"
         "Regions and masks may be given many times; a pixel is in one when its centre\n"
         "lies in it, its bounds included. No particle lights a masked pixel in either\n"
         "image, and the mask is written to FILE.mask.png (255 where there is flow, 0\n"
         "where masked).\n";
}
