// pivstats and pivexport end to end, on series of DPIV files the tests write (in tarvex's
// format) and NetCDF files made from them: every statistic against a direct two-pass
// computation over the values the files hold (rejected vectors, points never valid, points
// valid once), calibration, DPIV and NetCDF inputs mixed, the Tecplot file, the progress line,
// every refusal (nothing written), and memory that does not grow with the number of files.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "DpivFile.h"
#include "NetcdfReader.h"
#include "TestSupport.h"

namespace {

constexpr int kNx = 7, kNy = 5;

// A series of fields on a 7 x 5 grid from (15, 15) every 16 px: point 0 never valid, point
// 1 valid in field 2 only, point 2 never measured (flag 0, zeros), the rest valid with
// probability 0.75, about a mean of (3, -2) px.
std::vector<std::vector<VectorRecord>> MakeSeries(int fields, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0, 0.4);
  std::uniform_real_distribution<double> chance(0, 1);
  std::vector<std::vector<VectorRecord>> series;
  for (int f = 0; f < fields; f++) {
    std::vector<VectorRecord> records;
    for (int j = 0; j < kNy; j++)
      for (int i = 0; i < kNx; i++) {
        const int k = j * kNx + i;
        VectorRecord r{chance(random) < 0.75, 15.0 + 16 * i, 15.0 + 16 * j, 3 + 0.1 * i + noise(random),
                       -2 + 0.05 * j + noise(random), 0.3 + 0.5 * chance(random)};
        if (k == 0) r.valid = false;
        if (k == 1) r.valid = f == 2;
        if (k == 2) r = {false, r.x, r.y, 0, 0, 0};
        records.push_back(r);
      }
    series.push_back(records);
  }
  return series;
}

std::string Name(int f) {
  char name[32];
  std::snprintf(name, sizeof name, "run.%04d.dpiv", 2 * f + 1);
  return name;
}

std::vector<std::string> WriteSeries(const TempDir& dir, const std::vector<std::vector<VectorRecord>>& series) {
  std::vector<std::string> names;
  std::string error;
  for (size_t f = 0; f < series.size(); f++) {
    names.push_back(Name(static_cast<int>(f)));
    EXPECT_EQ(WriteDpivFile(dir.file(names.back()).c_str(), series[f], error), WriteStatus::Ok) << error;
  }
  return names;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The statistics computed directly, two passes over the values the DPIV files hold.
struct Direct {
  std::vector<int> n;
  std::vector<double> u_mean, v_mean, u_std, v_std, uv_cov;
};

Direct Compute(const TempDir& dir, const std::vector<std::string>& names) {
  std::vector<VectorField> fields(names.size());
  std::string error;
  for (size_t f = 0; f < names.size(); f++) EXPECT_TRUE(ReadDpivFile(dir.file(names[f]), fields[f], error)) << error;
  const size_t points = fields[0].vectors.size();
  Direct d{std::vector<int>(points), std::vector<double>(points, NAN), std::vector<double>(points, NAN),
           std::vector<double>(points, NAN), std::vector<double>(points, NAN), std::vector<double>(points, NAN)};
  for (size_t k = 0; k < points; k++) {
    long double su = 0, sv = 0;
    int n = 0;
    for (const VectorField& field : fields)
      if (field.vectors[k].valid) {
        su += field.vectors[k].u;
        sv += field.vectors[k].v;
        n++;
      }
    d.n[k] = n;
    if (n == 0) continue;
    const long double mu = su / n, mv = sv / n;
    d.u_mean[k] = static_cast<double>(mu);
    d.v_mean[k] = static_cast<double>(mv);
    if (n == 1) continue;
    long double quu = 0, qvv = 0, quv = 0;
    for (const VectorField& field : fields)
      if (field.vectors[k].valid) {
        const long double du = field.vectors[k].u - mu, dv = field.vectors[k].v - mv;
        quu += du * du;
        qvv += dv * dv;
        quv += du * dv;
      }
    d.u_std[k] = static_cast<double>(std::sqrt(quu / (n - 1)));
    d.v_std[k] = static_cast<double>(std::sqrt(qvv / (n - 1)));
    d.uv_cov[k] = static_cast<double>(quv / (n - 1));
  }
  return d;
}

std::vector<double> ReadVariable(NetcdfFieldReader& reader, const std::string& name, size_t step = 0) {
  std::vector<double> values;
  const GridVariable* variable = reader.Find(name);
  EXPECT_NE(variable, nullptr) << name;
  if (variable != nullptr) {
    EXPECT_TRUE(reader.Read(*variable, step, values)) << reader.Error();
  }
  return values;
}

// Every statistic of the file against the direct ones times factor (factor^2 for the
// covariance), within tolerance relative to the largest magnitude of each.
void ExpectStatistics(const std::string& path, const Direct& d, double factor, double tolerance) {
  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(path)) << reader.Error();
  EXPECT_TRUE(reader.Grid().Matches({kNx, kNy, 15, 15, 16, 16}));
  const std::vector<double> n = ReadVariable(reader, "n_valid");
  const std::pair<const char*, const std::vector<double>*> quantities[] = {
      {"u_mean", &d.u_mean}, {"v_mean", &d.v_mean}, {"u_std", &d.u_std}, {"v_std", &d.v_std}, {"uv_cov", &d.uv_cov}};
  for (const auto& [name, expected] : quantities) {
    const std::vector<double> got = ReadVariable(reader, name);
    const double f = std::string(name) == "uv_cov" ? factor * factor : factor;
    ASSERT_EQ(got.size(), expected->size());
    for (size_t k = 0; k < got.size(); k++) {
      EXPECT_EQ(n[k], d.n[k]) << k;
      if (std::isnan((*expected)[k])) {
        EXPECT_TRUE(std::isnan(got[k])) << name << " at " << k << " is " << got[k];
        continue;
      }
      const double want = (*expected)[k] * f;
      EXPECT_NEAR(got[k], want, tolerance * std::max(1.0, std::fabs(want))) << name << " at " << k;
    }
  }
}

RunResult Series(const std::string& program, const TempDir& dir, const std::vector<std::string>& args) {
  return RunProgram(program, args, dir.path());
}

}  // namespace

TEST(Pivstats, EveryStatisticAsTheDirectComputation) {
  TempDir dir;
  const std::vector<std::string> names = WriteSeries(dir, MakeSeries(40, 3));
  const RunResult r = Series("pivstats", dir, Join({"-o", "s.nc", "--tec", "s.plt"}, names));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "pivstats: 40 fields from 40 files, 7 x 5 points (33 with a mean), in px; wrote s.nc and s.plt\n");
  EXPECT_EQ(r.err, "");  // no progress line off a terminal
  const Direct direct = Compute(dir, names);
  EXPECT_EQ(direct.n[0], 0);
  EXPECT_EQ(direct.n[1], 1);
  EXPECT_EQ(direct.n[2], 0);
  ExpectStatistics(dir.file("s.nc"), direct, 1.0, 1e-12);

  // The Tecplot file holds the same numbers (as %e), a line per point.
  const std::string plt = ReadFile(dir.file("s.plt"));
  EXPECT_EQ(plt.substr(0, plt.find("ZONE")),
            "TITLE=\"pivstats: statistics of 40 fields\"\n"
            "VARIABLES=\"x (px)\" \"y (px)\" \"u_mean (px)\" \"v_mean (px)\" \"u_std (px)\" \"v_std (px)\" "
            "\"uv_cov (px2)\" \"n_valid\"\n");
  char line[200];
  std::snprintf(line, sizeof line, "\n63.5 15.5 %e %e %e %e %e %d\n", direct.u_mean[3], direct.v_mean[3],
                direct.u_std[3], direct.v_std[3], direct.uv_cov[3], direct.n[3]);
  EXPECT_NE(plt.find(line), std::string::npos) << line << plt;
  EXPECT_NE(plt.find("\n47.5 15.5 0.000000e+00 0.000000e+00 0.000000e+00 0.000000e+00 0.000000e+00 0\n"),
            std::string::npos);
  // In metres at a micrometre a pixel the window centres stay apart: 15.5 px is 1.55e-05 m.
  ASSERT_EQ(RunProgram("pivstats", Join({"-o", "m.nc", "--tec", "m.plt", "--scale", "1000000", "--unit", "m", "--dt",
                                         "0.000001"},
                                        names),
                       dir.path())
                .status,
            0);
  const std::string metres = ReadFile(dir.file("m.plt"));
  EXPECT_NE(metres.find("\n1.55e-05 1.55e-05 "), std::string::npos) << metres;
  EXPECT_NE(metres.find("\n3.15e-05 1.55e-05 "), std::string::npos) << metres;

  // The file's metadata.
  const RunResult head = RunProgram("/usr/bin/ncdump", {"-h", "s.nc"}, dir.path());
  EXPECT_NE(head.out.find(":input_files = \"run.0001.dpiv ... run.0079.dpiv (40 files)\" ;"), std::string::npos)
      << head.out;
  EXPECT_NE(head.out.find(":number_of_fields = 40 ;"), std::string::npos);
  EXPECT_NE(head.out.find(":displacement_reference = \"unknown\" ;"), std::string::npos);
}

TEST(Pivstats, CalibratedAndWithNetcdfInputsMixedIn) {
  TempDir dir;
  const std::vector<std::string> names = WriteSeries(dir, MakeSeries(12, 5));
  const std::vector<std::string> first(names.begin(), names.begin() + 6), second(names.begin() + 6, names.end());
  const std::vector<std::string> calibration = {"--scale", "20", "--unit", "mm", "--dt", "0.001", "--origin", "100", "50"};
  ASSERT_EQ(Series("pivstats", dir, Join(Join({"-o", "cal.nc"}, calibration), names)).status, 0);
  const Direct direct = Compute(dir, names);
  ExpectStatistics(dir.file("cal.nc"), direct, 50.0, 1e-12);
  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(dir.file("cal.nc")));
  EXPECT_NEAR(ReadVariable(reader, "u_mean").size(), kNx * kNy, 0);
  EXPECT_EQ(reader.Find("u_mean")->units, "mm s-1");
  EXPECT_EQ(reader.Find("uv_cov")->units, "mm2 s-2");
  EXPECT_NEAR(reader.GetCalibration().X(15), -4.225, 1e-12);

  // The first half as a NetCDF series (float values), the second as DPIV files: the same
  // statistics to float precision, in the series' calibration.
  RunResult r = Series("pivexport", dir, Join(Join({"-o", "half.nc"}, calibration), first));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "pivexport: 6 fields from 6 files, 7 x 5 points, in mm s-1; wrote half.nc\n");
  r = Series("pivstats", dir, Join({"-o", "mixed.nc", "half.nc"}, second));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "pivstats: 12 fields from 7 files, 7 x 5 points (33 with a mean), in mm s-1; wrote mixed.nc\n");
  ExpectStatistics(dir.file("mixed.nc"), direct, 50.0, 1e-5);
  // The same calibration given again is accepted; another is refused, naming the file.
  EXPECT_EQ(Series("pivstats", dir, Join(Join({"-o", "again.nc"}, calibration), Join({"half.nc"}, second))).status, 0);
  r = Series("pivstats", dir, {"-o", "other.nc", "--scale", "10", "--unit", "mm", "--dt", "0.001", "half.nc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "pivstats: half.nc is calibrated (20 px per mm, dt 0.001 s, origin (100, 50) px), but the series is "
            "calibrated as 10 px per mm, dt 0.001 s, origin (0, 0) px\n");
  EXPECT_FALSE(FileExists(dir.file("other.nc")));
  r = Series("pivstats", dir, Join({"-o", "other.nc"}, Join(second, {"half.nc"})));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("half.nc is calibrated (20 px per mm, dt 0.001 s, origin (100, 50) px), but the series is in "
                       "px: give the calibration with --scale, --unit and --dt"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(FileExists(dir.file("other.nc")));
}

TEST(Pivexport, TheSeriesOnTimeYXOneFieldAtATime) {
  TempDir dir;
  const std::vector<std::vector<VectorRecord>> series = MakeSeries(5, 9);
  const std::vector<std::string> names = WriteSeries(dir, series);
  RunResult r = Series("pivexport", dir, Join({"-o", "px.nc", "--reference", "midpoint"}, names));
  ASSERT_EQ(r.status, 0) << r.err;
  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(dir.file("px.nc"))) << reader.Error();
  ASSERT_EQ(reader.Steps(), 5u);
  EXPECT_EQ(reader.Metadata().displacement_reference, "midpoint");
  for (size_t f = 0; f < series.size(); f++) {
    VectorField field;
    std::string error;
    ASSERT_TRUE(ReadDpivFile(dir.file(names[f]), field, error));
    const std::vector<double> u = ReadVariable(reader, "u", f), flag = ReadVariable(reader, "flag", f),
                              peak = ReadVariable(reader, "peak", f);
    for (size_t k = 0; k < u.size(); k++) {
      const VectorRecord& want = field.vectors[k];
      EXPECT_EQ(flag[k], want.valid ? 1 : 0) << f << " " << k;
      if (Unmeasured(want)) {
        EXPECT_TRUE(std::isnan(u[k]) && std::isnan(peak[k])) << k;
      } else {
        EXPECT_EQ(u[k], static_cast<double>(static_cast<float>(want.u))) << f << " " << k;
        EXPECT_EQ(peak[k], static_cast<double>(static_cast<float>(want.peak))) << f << " " << k;
      }
    }
  }
  const RunResult dump = RunProgram("/usr/bin/ncdump", {"-v", "time", "px.nc"}, dir.path());
  EXPECT_NE(dump.out.find("time = 0, 1, 2, 3, 4 ;"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("time:units = \"1\" ;"), std::string::npos);
  EXPECT_NE(dump.out.find("u:units = \"px\" ;"), std::string::npos);

  // A series file and the DPIV files it came from give the same statistics (to float).
  ASSERT_EQ(Series("pivstats", dir, {"-o", "from-nc.nc", "px.nc"}).status, 0);
  ExpectStatistics(dir.file("from-nc.nc"), Compute(dir, names), 1.0, 1e-5);
  // Calibrated: time in seconds, velocities in the unit per second.
  r = Series("pivexport", dir, Join({"-o", "cal.nc", "--scale", "4", "--unit", "cm", "--dt", "0.25"}, names));
  ASSERT_EQ(r.status, 0) << r.err;
  const RunResult cal = RunProgram("/usr/bin/ncdump", {"-v", "time,x", "cal.nc"}, dir.path());
  EXPECT_NE(cal.out.find("time = 0, 0.25, 0.5, 0.75, 1 ;"), std::string::npos) << cal.out;
  EXPECT_NE(cal.out.find("x = 3.875, 7.875, 11.875, 15.875, 19.875, 23.875, 27.875 ;"), std::string::npos) << cal.out;
  EXPECT_NE(cal.out.find("u:units = \"cm s-1\" ;"), std::string::npos);
}

TEST(SeriesPrograms, RefusalsNameTheFileAndWriteNothing) {
  TempDir dir;
  const std::vector<std::string> names = WriteSeries(dir, MakeSeries(3, 1));
  // A file of another grid (one column more), in the middle of the series.
  std::vector<VectorRecord> wide;
  for (int j = 0; j < kNy; j++)
    for (int i = 0; i <= kNx; i++) wide.push_back({true, 15.0 + 16 * i, 15.0 + 16 * j, 1, 1, 0.5});
  std::string error;
  ASSERT_EQ(WriteDpivFile(dir.file("wide.dpiv").c_str(), wide, error), WriteStatus::Ok);
  std::string text = ReadFile(dir.file(names[1]));
  WriteFile(dir.file("cut.dpiv"), text.substr(0, text.size() - 20));
  WriteFile(dir.file("broken.nc"), std::string("\x89HDF\r\n\x1a\n", 8) + "no more");
  for (const char* program : {"pivstats", "pivexport"}) {
    const struct {
      std::vector<std::string> inputs;
      std::string message;
    } cases[] = {
        {{names[0], "wide.dpiv", names[2]},
         "wide.dpiv: its vectors do not lie on the grid of run.0001.dpiv, 7 x 5 points from (15, 15) every (16, 16) "
         "px\n"},
        {{"wide.dpiv", names[0]},
         "run.0001.dpiv: its vectors do not lie on the grid of wide.dpiv, 8 x 5 points from (15, 15) every (16, 16) "
         "px\n"},
        {{names[0], "cut.dpiv"}, "cut.dpiv, line 47: not a record of flag, x, y, U, V and peak value\n"},
        {{names[0], "missing.dpiv"}, "cannot open the DPIV file missing.dpiv\n"},
        {{names[0], "broken.nc"}, "cannot read the NetCDF file broken.nc: NetCDF: HDF error\n"},
    };
    for (const auto& c : cases) {
      const RunResult r = Series(program, dir, Join({"-o", "out.nc"}, c.inputs));
      EXPECT_EQ(r.status, 1) << program << " " << c.message;
      EXPECT_EQ(r.err, std::string(program) + ": " + c.message) << program;
      EXPECT_EQ(r.out, "");
      EXPECT_FALSE(FileExists(dir.file("out.nc"))) << program;
    }
  }
  // Command lines that cannot be used: status 2, the reason and the usage text.
  const struct {
    std::vector<std::string> args;
    std::string message;
  } lines[] = {
      {{names[0]}, "no output file given (-o OUT.nc)"},
      {{"-o", "s.nc"}, "no input file given"},
      {{"-o", "s.nc", "--scale", "20", names[0]}, "a calibration needs all of --scale, --unit and --dt"},
      {{"-o", "s.nc", "--origin", "1", "2", names[0]}, "--origin needs the calibration (--scale, --unit and --dt)"},
      {{"-o", "s.nc", "--scale", "0", names[0]}, "--scale needs a number of px per unit above 0"},
      {{"-o", "s.nc", "--dt", "-1", names[0]}, "--dt needs a time in seconds above 0"},
      {{"-o", "s.nc", "--dt", "nan", names[0]}, "--dt needs a time in seconds above 0"},
      {{"-o", "s.nc", "--scale", "1e-20", "--unit", "m", "--dt", "1e-20", names[0]},
       "--scale and --dt make velocities beyond the range of the files' numbers"},
      {{"-o", "s.nc", "--scale", "1e20", "--unit", "m", "--dt", "1e20", names[0]},
       "--scale and --dt make velocities beyond the range of the files' numbers"},
      {{"-o", "s.nc", "--unit", "m/s", names[0]}, "--unit needs the name of a length unit, 1 to 32 letters (as mm)"},
      {{"-o", "s.nc", "--origin", "1", names[0]}, "--origin needs two numbers, X0 and Y0 in px"},
      {{"-o", "s.nc", "--reference", "centre", names[0]}, "--reference needs midpoint, first-image or unknown"},
      {{"-o", "s.nc", names[0], names[0]}, names[0] + " is given twice"},
      {{"-o", names[1], names[0], names[1]}, "the output would overwrite the input " + names[1]},
      // Other spellings of one file, and a link to an input: the names differ, the file does not.
      {{"-o", "s.nc", names[0], "./" + names[0]}, "./" + names[0] + " is given twice"},
      {{"-o", "./" + names[1], names[0], names[1]}, "the output would overwrite the input " + names[1]},
      {{"-o", "link.nc", names[0], names[1]}, "the output would overwrite the input " + names[1]},
      {{"-o", "s.nc", "-x", names[0]}, "unknown option -x"},
  };
  ASSERT_EQ(symlink(names[1].c_str(), dir.file("link.nc").c_str()), 0);
  const std::string second = ReadFile(dir.file(names[1]));
  for (const auto& c : lines) {
    const RunResult r = Series("pivexport", dir, c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "pivexport: " + c.message);
    EXPECT_NE(r.err.find("Usage: pivexport -o OUT.nc [options] FILE..."), std::string::npos);
  }
  EXPECT_EQ(Series("pivexport", dir, {"-o", "s.nc", "--tec", "s.plt", names[0]}).err.substr(0, 30),
            "pivexport: unknown option --te");
  EXPECT_EQ(Series("pivstats", dir, {"-o", "s.nc", "--tec", "s.nc", names[0]}).status, 2);
  const RunResult same = Series("pivstats", dir, {"-o", "s.nc", "--tec", "./s.nc", names[0]});
  EXPECT_EQ(same.err.substr(0, same.err.find('\n')), "pivstats: -o and --tec name the same file");
  EXPECT_EQ(ReadFile(dir.file(names[1])), second);
  const RunResult help = Series("pivstats", dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 42), "Usage: pivstats -o OUT.nc [options] FILE..");
  EXPECT_FALSE(FileExists(dir.file("s.nc")));
}

TEST(SeriesPrograms, ProgressOnATerminalOnly) {
  TempDir dir;
  const std::vector<std::string> names = WriteSeries(dir, MakeSeries(3, 2));
  const std::string terminal = RunWithTerminalStandardError("pivstats", Join({"-o", "s.nc"}, names), dir.path());
  EXPECT_NE(terminal.find("pivstats: 3 of 3 files"), std::string::npos) << terminal;
  EXPECT_EQ(terminal.substr(terminal.size() - 4), "\r\033[K");  // erased at the end
  EXPECT_EQ(ReadFile(dir.file("out.txt")), Series("pivstats", dir, Join({"-o", "s.nc"}, names)).out);
}

namespace {

// The largest resident set of a run of program, in KiB, from wait4's resource use.
long MaxResidentKiB(const std::string& program, const std::vector<std::string>& args, const std::string& dir) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<std::string> argv_s = {BinPath(program)};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (chdir(dir.c_str()) != 0 || !freopen("/dev/null", "w", stdout)) _exit(127);
    // In a sanitizer build, freed memory is held back in a quarantine on purpose, and the
    // resident set grows with every allocation made; without it memory is reused as usual.
    const char* asan = getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan != nullptr ? asan : "") + ":quarantine_size_mb=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

}  // namespace

TEST(SeriesPrograms, MemoryDoesNotGrowWithTheNumberOfFiles) {
  // 10 DPIV files of a 64 x 64 grid and 10 NetCDF files made from them, copied to 400 files
  // (the programs refuse one file given twice, under any name); 400 files must stay within
  // 1.3 times the resident memory of 50.
  TempDir dir;
  std::mt19937 random(4);
  std::normal_distribution<double> noise(0, 0.5);
  std::string error;
  for (int f = 0; f < 10; f++) {
    std::vector<VectorRecord> records;
    for (int j = 0; j < 64; j++)
      for (int i = 0; i < 64; i++) records.push_back({true, 15.0 + 8 * i, 15.0 + 8 * j, noise(random), noise(random), 0.5});
    const std::string dpiv = "f" + std::to_string(f) + ".dpiv";
    ASSERT_EQ(WriteDpivFile(dir.file(dpiv).c_str(), records, error), WriteStatus::Ok);
    ASSERT_EQ(RunProgram("pivexport", {"-o", "f" + std::to_string(f) + ".nc", dpiv}, dir.path()).status, 0);
  }
  std::vector<std::string> names;
  for (int k = 0; k < 400; k++) {
    const std::string extension = k % 2 == 0 ? ".dpiv" : ".nc";
    names.push_back("l" + std::to_string(k) + extension);
    std::filesystem::copy_file(dir.file("f" + std::to_string(k % 10) + extension), dir.file(names.back()));
  }
  for (const char* program : {"pivstats", "pivexport"}) {
    const long fifty = MaxResidentKiB(program, Join({"-o", "50.nc"}, std::vector<std::string>(names.begin(), names.begin() + 50)), dir.path());
    const long all = MaxResidentKiB(program, Join({"-o", "400.nc"}, names), dir.path());
    ASSERT_GT(fifty, 0) << program;
    ASSERT_GT(all, 0) << program;
    EXPECT_LE(all, 1.3 * fifty) << program << ": " << fifty << " KiB for 50 files, " << all << " KiB for 400";
  }
}

namespace {

// Runs program under the shell's ulimit (as "-f 40" or "-v 1500000"); SIGXFSZ ignored so that
// a write past a file size limit fails with EFBIG as on a full disk.
RunResult RunLimited(const std::string& program, const std::string& limit, const TempDir& dir,
                     const std::vector<std::string>& args) {
  std::vector<std::string> shell = {"-c", "trap '' XFSZ; ulimit " + limit + " && exec \"$0\" \"$@\"",
                                    BinPath(program)};
  shell.insert(shell.end(), args.begin(), args.end());
  return RunProgram("/bin/sh", shell, dir.path());
}

}  // namespace

TEST(SeriesPrograms, AFieldFileCutShortIsRefused) {
  // A classic file of two fields whose last record is gone: its header still counts two.
  TempDir dir;
  const std::vector<std::string> names = WriteSeries(dir, MakeSeries(2, 6));
  ASSERT_EQ(Series("pivexport", dir, Join({"-o", "two.nc"}, names)).status, 0);
  const RunResult copy = RunProgram("/usr/bin/nccopy", {"-k", "classic", "two.nc", "classic.nc"}, dir.path());
  ASSERT_EQ(copy.status, 0) << copy.err;
  // A record: time, then u, v, flag (padded to 4 bytes) and peak of the 35 points.
  const std::string bytes = ReadFile(dir.file("classic.nc"));
  const size_t record = 8 + 3 * 4 * kNx * kNy + 36;
  ASSERT_GT(bytes.size(), 2 * record);
  WriteFile(dir.file("cut.nc"), bytes.substr(0, bytes.size() - record));
  for (const char* program : {"pivstats", "pivexport"}) {
    const RunResult whole = Series(program, dir, {"-o", "out.nc", "classic.nc"});
    EXPECT_EQ(whole.status, 0) << program << whole.err;
    const RunResult r = Series(program, dir, {"-o", "cut.out.nc", "cut.nc"});
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.err, std::string(program) + ": cut.nc: field 1 holds values that were never written\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(FileExists(dir.file("cut.out.nc"))) << program;
  }
}

TEST(SeriesPrograms, AWriteThatFailsEndsInTheMessageAndLeavesNothing) {
  // Files limited to 40 KiB: the export of 40 x 40 points cannot be written whole.
  TempDir dir;
  std::vector<std::string> names;
  std::string error;
  for (int f = 0; f < 3; f++) {
    std::vector<VectorRecord> records;
    for (int j = 0; j < 40; j++)
      for (int i = 0; i < 40; i++) records.push_back({true, 15.0 + 16 * i, 15.0 + 16 * j, 0.01 * (i + f), 0.02 * j, 0.5});
    names.push_back("f" + std::to_string(f) + ".dpiv");
    ASSERT_EQ(WriteDpivFile(dir.file(names.back()).c_str(), records, error), WriteStatus::Ok) << error;
  }
  const RunResult r = RunLimited("pivexport", "-f 40", dir, Join({"-o", "e.nc"}, names));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err, "pivexport: cannot write 'e.nc': File too large (NetCDF: HDF error)\n");
  const RunResult listing = RunProgram("/bin/ls", {"-A"}, dir.path());
  EXPECT_EQ(listing.out, "f0.dpiv\nf1.dpiv\nf2.dpiv\n");
}

TEST(SeriesPrograms, AGridTooLargeForTheMemoryEndsInAMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not run under an address space limit";
#endif
  // A field of 5000 x 5000 points, every flag 0 (compressed, the file is small); its frame
  // does not fit in 1.5 GB of address space.
  TempDir dir;
  const std::string path = dir.file("big.nc");
  const size_t side = 5000;
  int id = -1, dims[3] = {}, x = -1, y = -1, u = -1, v = -1, flag = -1;
  ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER | NC_NETCDF4 | NC_CLASSIC_MODEL, &id), NC_NOERR);
  ASSERT_EQ(nc_def_dim(id, "time", NC_UNLIMITED, &dims[0]), NC_NOERR);
  ASSERT_EQ(nc_def_dim(id, "y", side, &dims[1]), NC_NOERR);
  ASSERT_EQ(nc_def_dim(id, "x", side, &dims[2]), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "x", NC_DOUBLE, 1, &dims[2], &x), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "y", NC_DOUBLE, 1, &dims[1], &y), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "u", NC_FLOAT, 3, dims, &u), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "v", NC_FLOAT, 3, dims, &v), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "flag", NC_BYTE, 3, dims, &flag), NC_NOERR);
  ASSERT_EQ(nc_def_var_deflate(id, flag, 0, 1, 9), NC_NOERR);
  ASSERT_EQ(nc_enddef(id), NC_NOERR);
  std::vector<double> positions(side);
  for (size_t i = 0; i < side; i++) positions[i] = 0.5 + static_cast<double>(i);
  const std::vector<signed char> flags(side * side, 0);
  const size_t start[] = {0, 0, 0}, count[] = {1, side, side};
  ASSERT_EQ(nc_put_var_double(id, x, positions.data()), NC_NOERR);
  ASSERT_EQ(nc_put_var_double(id, y, positions.data()), NC_NOERR);
  ASSERT_EQ(nc_put_vara_schar(id, flag, start, count, flags.data()), NC_NOERR);
  ASSERT_EQ(nc_close(id), NC_NOERR);
  for (const char* program : {"pivstats", "pivexport"}) {
    const RunResult r = RunLimited(program, "-v 1500000", dir, {"-o", "out.nc", "big.nc"});
    EXPECT_EQ(r.status, 1) << program << " " << r.err;
    EXPECT_EQ(r.err, std::string(program) + ": big.nc: not enough memory for the fields of the series\n");
    EXPECT_FALSE(FileExists(dir.file("out.nc"))) << program;
  }
  const RunResult listing = RunProgram("/bin/ls", {"-A"}, dir.path());
  EXPECT_EQ(listing.out, "big.nc\n");
}
