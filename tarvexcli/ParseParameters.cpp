#include "ParseParameters.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "FieldFrame.h"
#include "NearestOption.h"
#include "preprocess/BoxHighPass.h"

namespace tarvex {

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

// Whether `count` values follow the argument at `cursor` without running past the last
// argument (which may itself serve as a value, while remaining the file name).
bool HasValues(int cursor, int count, int last, const char* option) {
  if (cursor + count <= last) return true;
  fprintf(stderr, "tarvex: option %s needs %d value%s after it\n", option, count, count == 1 ? "" : "s");
  return false;
}

// Whether a name can stand in the title line of an output file: a control character (a line
// break above all) would end or garble the line, and the file's readers would refuse it.
bool NameFitsALine(const char* name, const char* what) {
  for (const char* c = name; *c != '\0'; ++c) {
    const unsigned char u = static_cast<unsigned char>(*c);
    if ((u < 0x20 && u != '\t') || u == 0x7f) {
      fprintf(stderr,
              "tarvex: %s holds a control character (a line break or the like), which the title line of an "
              "output file cannot hold\n",
              what);
      return false;
    }
  }
  return true;
}

// A whole number as atoi reads it ("32abc" is 32, "abc" 0), refused beyond the range of an
// int, where atoi would wrap it ("4294967328" would be 32).
bool ReadInt(const char* value, const char* option, int* n) {
  errno = 0;
  const long whole = std::strtol(value, nullptr, 10);
  if (errno == ERANGE || whole < INT_MIN || whole > INT_MAX) {
    fprintf(stderr, "tarvex: %s takes whole numbers from %d to %d (got \"%s\")\n", option, INT_MIN, INT_MAX,
            value);
    return false;
  }
  *n = static_cast<int>(whole);
  return true;
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
bool SetDFTSize(const char* value, TarvexSettings& s) {
  const char* divider = strrchr(value, 'x');
  if (!ReadInt(value, "-dft", &s.fftx)) return false;
  s.ffty = s.fftx;
  if (divider != nullptr && !ReadInt(divider + 1, "-dft", &s.ffty)) return false;
  if (s.Delx == 0 && s.Dely == 0) {
    s.Delx = s.fftx;
    s.Dely = s.ffty;
  }
  return true;
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

// The value of -highpass: an odd whole number of pixels within BoxHighPass's sizes.
bool SetHighPass(const char* value, TarvexSettings& s) {
  int n = 0;
  if (!WholeNumber(value, kMaxHighPassSize, &n) || !UsableHighPassSize(n)) {
    fprintf(stderr, "tarvex: -highpass needs an odd whole number of pixels from %d to %d (got \"%s\")\n",
            kMinHighPassSize, kMaxHighPassSize, value);
    return false;
  }
  s.highpass = n;
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

// How an argument names an option of the table.
enum class Match {
  Exact,            // the whole argument
  Prefix,           // its first four characters ("-allpairs" is -all)
  PrefixWithValue,  // its first four characters, the value attached ("-dft32") or following
};

constexpr int kMostValues = 3;

struct KnownOption {
  const char* name;
  Match match;
  int values;  // values following the option (with PrefixWithValue: when none is attached)
  // Takes the values into the settings; false after a message on standard error.
  bool (*apply)(const char* const* values, TarvexSettings& s);
};

template <float TarvexSettings::*value, unsigned char check>
bool SetCheck(const char* const* values, TarvexSettings& s) {
  s.*value = static_cast<float>(atof(values[0]));
  s.cflag |= check;
  return true;
}

// Every option, in the order in which an argument is tested against them: the scan and the
// warning about unknown arguments both read this table.
const KnownOption kOptions[] = {
    {"-i", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.pflag |= PFLAG_ITERATE; return true; }},
    {"-MinRho", Match::Exact, 1, SetCheck<&TarvexSettings::MinRho, CFLAG_MINRHO>},
    {"-MaxVelRat", Match::Exact, 1, SetCheck<&TarvexSettings::MaxVelRatio, CFLAG_MAXVEL>},
    {"-MVOcheck", Match::Exact, 1, SetCheck<&TarvexSettings::C4, CFLAG_MEDIAN>},
    {"-DMVOcheck", Match::Exact, 2,
     [](const char* const* v, TarvexSettings& s) {
       s.C1 = static_cast<float>(atof(v[0]));
       s.C2 = static_cast<float>(atof(v[1]));
       s.cflag |= CFLAG_DYNMEAN;
       return true;
     }},
    {"-GHcheck", Match::Exact, 1, SetCheck<&TarvexSettings::C3, CFLAG_GLOBALHIST>},
    {"-s", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.pflag |= PFLAG_SMOOTH; return true; }},
    {"-o", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.speed = 1; return true; }},
    {"-dft", Match::PrefixWithValue, 1, [](const char* const* v, TarvexSettings& s) { return SetDFTSize(v[0], s); }},
    {"-gspac", Match::Exact, 2,
     [](const char* const* v, TarvexSettings& s) {
       return ReadInt(v[0], "-gspac", &s.Delx) && ReadInt(v[1], "-gspac", &s.Dely);
     }},
    {"-all", Match::Prefix, 3,
     [](const char* const* v, TarvexSettings& s) {
       s.pflag |= PFLAG_SERIES;
       return ReadInt(v[0], "-all", &s.start) && ReadInt(v[1], "-all", &s.inc) && ReadInt(v[2], "-all", &s.stride);
     }},
    {"-tec", Match::PrefixWithValue, 1,
     [](const char* const* v, TarvexSettings& s) {
       if (!CopyName(s.sname, v[0], "the -tec name") || !NameFitsALine(s.sname, "the -tec name")) return false;
       s.pflag |= PFLAG_TECPLOT;
       return true;
     }},
    {"-subpix", Match::Exact, 1,
     [](const char* const* v, TarvexSettings& s) {
       s.subpixGiven = true;
       return SetSubPixelEstimator(v[0], s);
     }},
    {"-meansub", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.meansub = true; return true; }},
    {"-resume", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.resume = true; return true; }},
    {"-j", Match::Exact, 1, [](const char* const* v, TarvexSettings& s) { return SetThreads(v[0], s); }},
    {"-deform", Match::Exact, 1, [](const char* const* v, TarvexSettings& s) { return SetDeformPasses(v[0], s); }},
    {"-deformref", Match::Exact, 1,
     [](const char* const* v, TarvexSettings& s) { return SetDeformReference(v[0], s); }},
    {"-dft0", Match::Exact, 1, [](const char* const* v, TarvexSettings& s) { return SetFirstWindow(v[0], s); }},
    {"-mask", Match::Exact, 1,
     [](const char* const* v, TarvexSettings& s) { return CopyName(s.maskname, v[0], "the -mask name"); }},
    {"-nc", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.netcdf = true; return true; }},
    {"-bg", Match::Exact, 1,
     [](const char* const* v, TarvexSettings& s) {
       if (v[0][0] != '\0') return CopyName(s.background, v[0], "the -bg value");
       fprintf(stderr, "tarvex: -bg takes min, mean or the name of an image-pair file (got \"\")\n");
       return false;
     }},
    {"-highpass", Match::Exact, 1, [](const char* const* v, TarvexSettings& s) { return SetHighPass(v[0], s); }},
    {"-cap", Match::Exact, 0, [](const char* const*, TarvexSettings& s) { s.cap = true; return true; }},
};

constexpr size_t kOptionCount = sizeof kOptions / sizeof kOptions[0];

// Whether arg names option: the whole of it, or its first four characters unless arg is the
// name of another option ("-dft0" is not -dft with 0 attached).
bool Matches(const char* arg, const KnownOption& option) {
  if (option.match == Match::Exact) return strcmp(arg, option.name) == 0;
  if (strncmp(arg, option.name, 4) != 0) return false;
  for (const KnownOption& other : kOptions)
    if (&other != &option && strcmp(arg, other.name) == 0) return false;
  return true;
}

// The line on standard error for an argument that is neither an option nor a value of one.
void WarnUnknown(const char* arg) {
  const char* names[kOptionCount];
  for (size_t k = 0; k < kOptionCount; k++) names[k] = kOptions[k].name;
  const char* nearest = NearestOption(arg, names, kOptionCount);
  if (nearest != nullptr)
    fprintf(stderr, "tarvex: ignoring unknown argument '%s' (did you mean %s?)\n", arg, nearest);
  else
    fprintf(stderr, "tarvex: ignoring unknown argument '%s'\n", arg);
}

}  // namespace

bool ParseOptions(int argc, char** argv, TarvexSettings& s) {
  if (argc < 2) {
    fprintf(stderr, "tarvex: no image-pair file name given\n");
    return false;
  }
  const int last = argc - 1;
  s.commandLine = CommandLineText(std::vector<std::string>(argv, argv + argc));
  // Which arguments name an option or are its values; the others are ignored, with a warning.
  std::vector<bool> used(static_cast<size_t>(argc), false);
  // Each argument is tested against every option in turn; an option that takes values moves
  // the cursor onto its last value, and the remaining tests look at that argument.
  for (int i = 1; i < last; ++i) {
    for (const KnownOption& option : kOptions) {
      if (!Matches(argv[i], option)) continue;
      used[static_cast<size_t>(i)] = true;
      const bool attached = option.match == Match::PrefixWithValue && argv[i][4] != '\0';
      const char* values[kMostValues] = {attached ? argv[i] + 4 : nullptr};
      const int count = attached ? 0 : option.values;
      if (!HasValues(i, count, last, option.name)) return false;
      for (int k = 0; k < count; k++) {
        values[k] = argv[++i];
        used[static_cast<size_t>(i)] = true;
      }
      if (!option.apply(values, s)) return false;
    }
  }
  for (int i = 1; i < last; ++i)
    if (!used[static_cast<size_t>(i)]) WarnUnknown(argv[i]);
  if (!CopyName(s.filename, argv[last], "the image-pair file name") ||
      !NameFitsALine(s.filename, "the image-pair file name"))
    return false;
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
    if (!CopyName(name, word.c_str(), "the image-pair file name") ||
        !NameFitsALine(name, "the image-pair file name"))
      return false;
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

}  // namespace tarvex
