#include "ParseParameters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

const char* const kBanner =
    "\n\n"
    "\t\t*************************\n"
    "\t\t*        TARVEX         *\n"
    "\t\t*                       *\n"
    "\t\t*           v 2001.1    *\n"
    "\t\t*************************\n"
    "\n";

const char* const kUsage =
    "\n\nUSAGE: tarvex <-o> <-i> <-MinRho min> <-MaxVelRat mvr> <-GHcheck C3> <-MVOcheck C4> "
    "<-DMVOcheck C1 C2>  <-s> <-gspac dx dy>  <-all start inc stride>  <-tec \"name\".plt>  "
    "-dft dftx<xdfty> B16-IMAGE-FILENAME\n \n"
    "INPUT:\n"
    "\t-dft dftx<xdfty>  : specify DFT size, if only dftx specified => dfty = dftx\n"
    "\tB16-IMAGE-FILENAME: file containing digital image pairs\n"
    "OPTIONS:\n"
    "\t-o              : optimise FFT\n"
    "\t-i              : iterate => 2 Pass TARVEX analysis with 2nd image offset\n"
    "\t-MinRho         : specify minimum Max(CC) = min\n"
    "\t-MaxVelRat      : specify max ratio = mvr = velocity/(hypot(dftx,dfty)\n"
    "\t-GHcheck        : Global Histogram Validation\n"
    "\t                  C3 = number of standard deviations - MUST BE SPECIFIED!\n"
    "\t-MVOcheck       : Meadian Value Operator Data Validation\n"
    "\t                  C4 is a user supplied threshold value - MUST BE SPECIFIED!\n"
    "\t-DMVOcheck      : Dynamic Mean Value Operator Data Validation\n"
    "\t                  C1, C2 are user supplied constants - MUST BE SPECIFIED!\n"
    "\t-s              : smooth data using 3x3, except at boundary\n"
    "\t-gspac          : specify grid spacing: dx - horizontal (default = dftx)\n"
    "\t                                        dy - vertical   (default = dfty)\n"
    "\t-all            : analyse multiple image pairs - USER MUST SPECIFY:\n"
    "\t                  start  = id of first image in first image pair\n"
    "\t                  inc    = increment between 1st & 2nd image in image pair\n"
    "\t                  stride = stride in 1st image between image pairs\n"
    "\t-tec            : write out data in TecPlot file\n"
    "\t                  for single image pair \"name\".plt is output file name\n"
    "\t                  for multi image pair analysis \"name\".xxxx.plt is output file names\n"
    "\n\n";

// The options whose values are reals, in the order in which an argument is tested against them.
struct RealOption {
  const char* name;
  float TarvexSettings::*first;
  float TarvexSettings::*second;  // null for options with one value
  unsigned char check;
};

const RealOption kRealOptions[] = {
    {"-MinRho", &TarvexSettings::MinRho, nullptr, CFLAG_MINRHO},
    {"-MaxVelRat", &TarvexSettings::MaxVelRatio, nullptr, CFLAG_MAXVEL},
    {"-MVOcheck", &TarvexSettings::C4, nullptr, CFLAG_MEDIAN},
    {"-DMVOcheck", &TarvexSettings::C1, &TarvexSettings::C2, CFLAG_DYNMEAN},
    {"-GHcheck", &TarvexSettings::C3, nullptr, CFLAG_GLOBALHIST},
};

// Whether `count` values follow the argument at `cursor` without running past the last
// argument (which may itself serve as a value, while remaining the file name).
bool HasValues(int cursor, int count, int last, const char* option) {
  if (cursor + count <= last) return true;
  fprintf(stderr, "tarvex: option %s needs %d value%s after it\n", option, count, count == 1 ? "" : "s");
  return false;
}

// Copies a name into a settings buffer; names that do not fit are refused.
bool CopyName(char* dest, const char* src, const char* what) {
  if (strlen(src) >= static_cast<size_t>(kNameLength)) {
    fprintf(stderr, "tarvex: %s is %zu characters long; at most %d are allowed\n", what, strlen(src),
            kNameLength - 1);
    return false;
  }
  strcpy(dest, src);
  return true;
}

// "dftx" or "dftx" 'x' "dfty", the last lower-case 'x' dividing; sets the spacing default
// unless a spacing has been given already.
void SetDFTSize(const char* value, TarvexSettings& s) {
  const char* divider = strrchr(value, 'x');
  s.fftx = atoi(value);
  s.ffty = divider != nullptr ? atoi(divider + 1) : s.fftx;
  if (s.Delx == 0 && s.Dely == 0) {
    s.Delx = s.fftx;
    s.Dely = s.ffty;
  }
}

// The sub-pixel estimator named on the command line.
bool SetSubPixelEstimator(const char* name, TarvexSettings& s) {
  if (strcmp(name, "fit") == 0) {
    s.subpix = SubPixelEstimator::Fit;
  } else if (strcmp(name, "gauss3") == 0) {
    s.subpix = SubPixelEstimator::Gauss3;
  } else {
    fprintf(stderr, "tarvex: unknown sub-pixel estimator \"%s\" after -subpix (use fit or gauss3)\n", name);
    return false;
  }
  return true;
}

// Most threads -j accepts: far more than any machine's cores, few enough to start.
constexpr int kMaxThreads = 1024;

// A whole non-negative decimal number (digits only) into *n; false for anything else.
// Values above `limit` come back as limit + 1, so that no digit string overflows.
bool WholeNumber(const char* value, int limit, int* n) {
  long long whole = 0;
  bool digits = *value != '\0';
  for (const char* c = value; digits && *c != '\0'; ++c) {
    digits = *c >= '0' && *c <= '9';
    if (digits && whole <= limit) whole = 10 * whole + (*c - '0');
  }
  *n = static_cast<int>(whole > limit ? limit + 1LL : whole);
  return digits;
}

// The value of -j: a whole non-negative number up to kMaxThreads.
bool SetThreads(const char* value, TarvexSettings& s) {
  int n = 0;
  if (!WholeNumber(value, kMaxThreads, &n)) {
    fprintf(stderr, "tarvex: -j needs a whole non-negative number of threads (got \"%s\")\n", value);
    return false;
  }
  if (n > kMaxThreads) {
    fprintf(stderr, "tarvex: -j allows at most %d threads (got %s)\n", kMaxThreads, value);
    return false;
  }
  s.threads = n;
  return true;
}

// The value of -deform: a whole number of refinement passes from 1 to kMaxDeformPasses.
bool SetDeformPasses(const char* value, TarvexSettings& s) {
  int n = 0;
  if (!WholeNumber(value, kMaxDeformPasses, &n) || n < 1 || n > kMaxDeformPasses) {
    fprintf(stderr, "tarvex: -deform needs a whole number of refinement passes from 1 to %d (got \"%s\")\n",
            kMaxDeformPasses, value);
    return false;
  }
  s.deform = n;
  return true;
}

// Largest value -dft0 reads whole; the plan table ends far below it.
constexpr int kMaxWindowValue = 100000;

// The value of -dft0: a whole positive number, checked against the DFT size once all
// options are read.
bool SetFirstWindow(const char* value, TarvexSettings& s) {
  if (!WholeNumber(value, kMaxWindowValue, &s.firstWindow) || s.firstWindow == 0) {
    fprintf(stderr, "tarvex: -dft0 needs a whole positive number of pixels (got \"%s\")\n", value);
    return false;
  }
  return true;
}

// The value of -deformref: midpoint (the default) or first.
bool SetDeformReference(const char* value, TarvexSettings& s) {
  if (strcmp(value, "midpoint") == 0) {
    s.deformReference = DeformReference::Midpoint;
  } else if (strcmp(value, "first") == 0) {
    s.deformReference = DeformReference::FirstImage;
  } else {
    fprintf(stderr, "tarvex: unknown reference \"%s\" after -deformref (use midpoint or first)\n", value);
    return false;
  }
  s.deformReferenceGiven = true;
  return true;
}

// A deformation analysis measures its first pass with the three-point estimator and mean
// subtraction, never with the two-pass offset.
bool CheckDeformation(TarvexSettings& s) {
  if (s.deform == 0) {
    if (s.firstWindow != 0) {
      fprintf(stderr, "tarvex: -dft0 only applies together with -deform\n");
      return false;
    }
    if (s.deformReferenceGiven) {
      fprintf(stderr, "tarvex: -deformref only applies together with -deform\n");
      return false;
    }
    return true;
  }
  if (s.pflag & PFLAG_ITERATE) {
    fprintf(stderr, "tarvex: -deform cannot be combined with -i (the deformation passes replace the offset pass)\n");
    return false;
  }
  if (s.subpixGiven && s.subpix != SubPixelEstimator::Gauss3) {
    fprintf(stderr, "tarvex: -deform measures with the three-point estimator; it cannot be combined with -subpix fit\n");
    return false;
  }
  if (s.firstWindow != 0 && !UsableFirstWindow(s.firstWindow, s.fftx, s.ffty)) {
    fprintf(stderr,
            "tarvex: -dft0 needs a square window size of the plan table larger than the DFT size %d x %d (got %d)\n",
            s.fftx, s.ffty, s.firstWindow);
    return false;
  }
  s.subpix = SubPixelEstimator::Gauss3;
  s.meansub = true;
  return true;
}

// Values that would make the driver's grid or series loops empty or endless, and
// combinations of modes that are refused.
bool CheckSettings(const TarvexSettings& s) {
  if (s.fftx <= 0 || s.ffty <= 0) {
    fprintf(stderr, "tarvex: the DFT size must be positive (got %d x %d)\n", s.fftx, s.ffty);
    return false;
  }
  if (s.Delx <= 0 || s.Dely <= 0) {
    fprintf(stderr, "tarvex: the grid spacing must be positive in both directions (got %d x %d)\n", s.Delx,
            s.Dely);
    return false;
  }
  if (s.inc <= 0 || s.stride <= 0) {
    fprintf(stderr, "tarvex: -all needs a positive inc and stride (got inc %d, stride %d)\n", s.inc, s.stride);
    return false;
  }
  // With the least-squares fit, whose neighbourhood reaches into the plane's background,
  // subtracting the means makes the results worse.
  if (s.meansub && s.subpix != SubPixelEstimator::Gauss3) {
    fprintf(stderr, "tarvex: -meansub is only available together with -subpix gauss3\n");
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, TarvexSettings& s) {
  if (argc < 2) {
    fprintf(stderr, "tarvex: no image-pair file name given\n");
    return false;
  }
  const int last = argc - 1;
  // Each argument is tested against every option in turn; an option that takes values moves
  // the cursor onto its last value, and the remaining tests look at that argument.
  for (int i = 1; i < last; ++i) {
    if (strcmp(argv[i], "-i") == 0) s.pflag |= PFLAG_ITERATE;
    for (const RealOption& option : kRealOptions) {
      if (strcmp(argv[i], option.name) != 0) continue;
      const int count = option.second != nullptr ? 2 : 1;
      if (!HasValues(i, count, last, option.name)) return false;
      s.*option.first = static_cast<float>(atof(argv[++i]));
      if (option.second != nullptr) s.*option.second = static_cast<float>(atof(argv[++i]));
      s.cflag |= option.check;
    }
    if (strcmp(argv[i], "-s") == 0) s.pflag |= PFLAG_SMOOTH;
    if (strcmp(argv[i], "-o") == 0) s.speed = 1;
    // -dft0 is an option of its own, not -dft with the value 0 attached.
    if (strncmp(argv[i], "-dft", 4) == 0 && strcmp(argv[i], "-dft0") != 0) {
      const bool separate = argv[i][4] == '\0';
      if (separate && !HasValues(i, 1, last, "-dft")) return false;
      SetDFTSize(separate ? argv[++i] : argv[i] + 4, s);
    }
    if (strcmp(argv[i], "-gspac") == 0) {
      if (!HasValues(i, 2, last, "-gspac")) return false;
      s.Delx = atoi(argv[++i]);
      s.Dely = atoi(argv[++i]);
    }
    if (strncmp(argv[i], "-all", 4) == 0) {
      if (!HasValues(i, 3, last, "-all")) return false;
      s.start = atoi(argv[++i]);
      s.inc = atoi(argv[++i]);
      s.stride = atoi(argv[++i]);
      s.pflag |= PFLAG_SERIES;
    }
    if (strncmp(argv[i], "-tec", 4) == 0) {
      const bool separate = argv[i][4] == '\0';
      if (separate && !HasValues(i, 1, last, "-tec")) return false;
      if (!CopyName(s.sname, separate ? argv[++i] : argv[i] + 4, "the -tec name")) return false;
      s.pflag |= PFLAG_TECPLOT;
    }
    if (strcmp(argv[i], "-subpix") == 0) {
      if (!HasValues(i, 1, last, "-subpix")) return false;
      if (!SetSubPixelEstimator(argv[++i], s)) return false;
      s.subpixGiven = true;
    }
    if (strcmp(argv[i], "-meansub") == 0) s.meansub = true;
    if (strcmp(argv[i], "-resume") == 0) s.resume = true;
    if (strcmp(argv[i], "-j") == 0) {
      if (!HasValues(i, 1, last, "-j")) return false;
      if (!SetThreads(argv[++i], s)) return false;
    }
    if (strcmp(argv[i], "-deform") == 0) {
      if (!HasValues(i, 1, last, "-deform")) return false;
      if (!SetDeformPasses(argv[++i], s)) return false;
    }
    if (strcmp(argv[i], "-deformref") == 0) {
      if (!HasValues(i, 1, last, "-deformref")) return false;
      if (!SetDeformReference(argv[++i], s)) return false;
    }
    if (strcmp(argv[i], "-dft0") == 0) {
      if (!HasValues(i, 1, last, "-dft0")) return false;
      if (!SetFirstWindow(argv[++i], s)) return false;
    }
    if (strcmp(argv[i], "-mask") == 0) {
      if (!HasValues(i, 1, last, "-mask")) return false;
      if (!CopyName(s.maskname, argv[++i], "the -mask name")) return false;
    }
  }
  if (!CopyName(s.filename, argv[last], "the image-pair file name")) return false;
  if (s.Delx == 0 && s.Dely == 0) {
    s.Delx = s.fftx;
    s.Dely = s.ffty;
  }
  return CheckDeformation(s) && CheckSettings(s);
}

namespace {

// Asks for another name until `name` opens for reading; false at the end of standard input
// or for a name too long to keep.
bool WaitForReadableFile(char* name) {
  for (;;) {
    FILE* f = fopen(name, "rb");
    if (f != nullptr) {
      fclose(f);
      return true;
    }
    std::cout << "\nfile " << name << " does not exist ......." << std::endl;
    std::cout << "\tenter filename > " << std::flush;
    std::string word;
    if (!(std::cin >> word)) {
      fprintf(stderr, "\ntarvex: end of input while asking for the image-pair file name\n");
      return false;
    }
    if (!CopyName(name, word.c_str(), "the image-pair file name")) return false;
  }
}

}  // namespace

bool ParseParameters(int argc, char** argv, TarvexSettings& s, int& status) {
  std::cout << kBanner;
  status = 0;
  if (argc == 1) {
    std::cout << kUsage << std::flush;
    return false;
  }
  status = 1;
  return ParseOptions(argc, argv, s) && WaitForReadableFile(s.filename);
}

bool ReadImagePair(int& i1, int& i2) {
  std::cout << "\nselect image pair 1 and 2 > " << std::flush;
  if (!(std::cin >> i1 >> i2)) {
    fprintf(stderr, "\ntarvex: the image pair must be given as two whole numbers\n");
    return false;
  }
  std::cout << std::endl;
  return true;
}
