#include "SynthOptions.h"

ParseOutcome ParseOptions(const std::vector<std::string>& args, SynthOptions& options, std::string& error) {
  TruthRecordParser parser(options);
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--help" || arg == "-h") return ParseOutcome::Help;
    if (arg.compare(0, 2, "--") != 0) {
      error = "unexpected argument '" + arg + "'";
      return ParseOutcome::Error;
    }
    std::string name = arg, value;
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    } else if (k + 1 < args.size()) {
      value = args[++k];
    } else {
      error = "option " + name + " needs a value";
      return ParseOutcome::Error;
    }
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
         "  --field KIND      uniform, rotation, vortex or shear [uniform]\n"
         "  --dx PX           uniform: displacement along x (columns) in pixels [0]\n"
         "  --dy PX           uniform: displacement along y (rows) in pixels [0]\n"
         "  --omega RAD       rotation: angle per frame in radians [0]\n"
         "  --center X,Y      rotation, vortex, shear: centre in pixels [image centre]\n"
         "  --profile KIND    vortex: rankine or lamb-oseen [lamb-oseen]\n"
         "  --gamma G         vortex: circulation in square pixels per frame [0]\n"
         "  --core R          vortex: core radius in pixels [10]\n"
         "  --shear S         shear: du/dy, x displacement per pixel of y [0]\n"
         "  --diameter D      particle image diameter (e^-2) in pixels, up to 100 [2.5]\n"
         "  --density P       particles per pixel, 0 to 1 [0.02]\n"
         "  --noise S         std dev of additive Gaussian noise in counts [0]\n"
         "  --seed N          random seed, 0 to 2^64-1 [1]\n"
         "  --mask-rect X0,Y0,X1,Y1\n"
         "                    mask the pixels with X0 <= x <= X1 and Y0 <= y <= Y1\n"
         "  --mask-circle X,Y,R\n"
         "                    mask the pixels within R of (X, Y)\n"
         "  --out FILE        image-pair file to write [synth.b16]\n"
         "  --help            show this text and exit\n"
         "\n"
         "Displacements are evaluated at each particle's first-image position.\n"
         "Masks may be given many times; a pixel (x the column, y the row) is masked when its\n"
         "centre lies in a region. No particle lights a masked pixel in either image, and\n"
         "the mask is written to FILE.mask.png (255 where there is flow, 0 where masked).\n";
}
