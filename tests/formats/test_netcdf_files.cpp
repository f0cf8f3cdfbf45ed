// The NetCDF field and statistics files: what the writers put in them (read back with
// ncdump and with the reader), the calibration's worked example, extras, the Tecplot file of
// the statistics, the reader's refusals of files that are not of the layout, and writes
// that fail leaving nothing behind.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <string>
#include <vector>

#include "Calibration.h"
#include "FieldNetcdf.h"
#include "NetcdfReader.h"
#include "StatisticsNetcdf.h"
#include "StatisticsTecplot.h"
#include "TestSupport.h"

namespace {

std::string Ncdump(const std::vector<std::string>& args, const TempDir& dir) {
  const RunResult r = RunProgram("/usr/bin/ncdump", args, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Makes a NetCDF file from CDL text with ncgen.
void Ncgen(const TempDir& dir, const std::string& name, const std::string& cdl) {
  WriteFile(dir.file(name + ".cdl"), cdl);
  const RunResult r = RunProgram("/usr/bin/ncgen", {"-4", "-o", name, name + ".cdl"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
}

FieldMetadata Metadata() {
  FieldMetadata m;
  m.program = "tarvex";
  m.command_line = "tarvex -dft 32 -gspac 16 16 run.b16";
  m.analysis_options = "-dft 32 -gspac 16 16";
  m.window_x = m.window_y = 32;
  m.displacement_reference = kReferenceFirstImage;
  return m;
}

// 20 px per mm, dt 0.001 s, origin (100, 50) px: the calibration of the worked examples.
Calibration Millimetres() {
  Calibration c;
  c.px_per_unit = 20;
  c.unit = "mm";
  c.dt = 0.001;
  c.origin_x = 100;
  c.origin_y = 50;
  return c;
}

// The records "1 15 15 2.5 -1.25 0.812" and "0 31 15 0 0 0" of a 2 x 1 grid.
const std::vector<VectorRecord> kTwoPoints = {{true, 15, 15, 2.5, -1.25, 0.812}, {false, 31, 15, 0, 0, 0}};

}  // namespace

TEST(Calibration, TheWorkedExample) {
  const Calibration c = Millimetres();
  EXPECT_DOUBLE_EQ(c.X(15), -4.225);
  EXPECT_DOUBLE_EQ(c.Y(31), -0.925);
  EXPECT_DOUBLE_EQ(2.5 * c.VelocityFactor(), 125);
  EXPECT_DOUBLE_EQ(c.DpivX(c.X(15)), 15);
  EXPECT_EQ(c.VelocityUnit(), "mm s-1");
  EXPECT_EQ(c.Describe(), "20 px per mm, dt 0.001 s, origin (100, 50) px");
  const Calibration none;
  EXPECT_EQ(none.X(15), 15.5);
  EXPECT_EQ(none.VelocityFactor(), 1);
  EXPECT_EQ(none.LengthUnit(), "px");
  EXPECT_EQ(none.Describe(), "none (px)");
  EXPECT_FALSE(c.SameAs(none));
  EXPECT_TRUE(none.SameAs(Calibration()));
  EXPECT_TRUE(ValidUnitName("um"));
  EXPECT_FALSE(ValidUnitName("m/s"));
  EXPECT_FALSE(ValidUnitName(""));
}

TEST(FieldFile, OneFieldAsTarvexWillWriteIt) {
  TempDir dir;
  std::string error;
  ASSERT_EQ(WriteFieldFile(dir.file("run.nc"), kTwoPoints, 2, 1, Metadata(), error), WriteStatus::Ok) << error;
  const std::string head = Ncdump({"-h", "run.nc"}, dir);
  for (const char* line : {"time = UNLIMITED ; // (1 currently)", "y = 1 ;", "x = 2 ;", "float u(time, y, x) ;",
                           "u:units = \"px\" ;", "u:_FillValue = 9.96921e+36f ;", "byte flag(time, y, x) ;",
                           "flag:flag_values = 0b, 1b ;", "flag:flag_meanings = \"rejected valid\" ;",
                           "float peak(time, y, x) ;", "x:axis = \"X\" ;", ":Conventions = \"CF-1.8\" ;",
                           ":source = \"tarvex 2001.1 (TARVEX toolset)\" ;", ":window_size_px = 32, 32 ;",
                           ":grid_spacing_px = 16., 0. ;", ":displacement_reference = \"first image\" ;",
                           ":analysis_options = \"-dft 32 -gspac 16 16\" ;"})
    EXPECT_TRUE(Has(head, line)) << line << "\n" << head;
  EXPECT_TRUE(Has(head, "tarvex 2001.1: tarvex -dft 32 -gspac 16 16 run.b16\" ;")) << head;
  EXPECT_FALSE(Has(head, "calibration"));
  EXPECT_TRUE(Has(Ncdump({"-k", "run.nc"}, dir), "netCDF-4 classic model"));
  const std::string data = Ncdump({"-v", "x,y,time,u,v,flag,peak", "run.nc"}, dir);
  for (const char* line : {"x = 15.5, 31.5 ;", "y = 15.5 ;", "time = 0 ;", "u =\n  2.5, _ ;", "v =\n  -1.25, _ ;",
                           "flag =\n  1, 0 ;", "peak =\n  0.812, _ ;"})
    EXPECT_TRUE(Has(data, line)) << line << "\n" << data;

  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(dir.file("run.nc"))) << reader.Error();
  EXPECT_EQ(reader.Steps(), 1u);
  EXPECT_TRUE(reader.Grid().Matches({2, 1, 15, 15, 16, 0}));
  EXPECT_EQ(reader.Metadata().window_x, 32);
  EXPECT_EQ(reader.Metadata().displacement_reference, "first image");
  FieldFrame frame;
  ASSERT_TRUE(reader.ReadField(0, frame)) << reader.Error();
  ASSERT_EQ(frame.vectors.size(), 2u);
  EXPECT_TRUE(frame.vectors[0].valid);
  EXPECT_EQ(frame.vectors[0].u, 2.5);
  EXPECT_EQ(frame.vectors[0].v, -1.25);
  EXPECT_EQ(frame.vectors[0].peak, static_cast<double>(0.812f));
  EXPECT_TRUE(Unmeasured(frame.vectors[1]));
  EXPECT_EQ(frame.vectors[1].x, 31);
  EXPECT_TRUE(frame.extras.empty());
}

TEST(FieldFile, ACalibratedSeriesWithAnExtraQuantity) {
  TempDir dir;
  const Calibration c = Millimetres();
  FieldMetadata metadata = Metadata();
  metadata.program = "pivexport";
  const std::vector<ExtraField> extras = {{"sigma_u", "standard uncertainty of u", true, "", {}},
                                          {"quality", "a score", false, "1", {}}};
  FieldFileWriter writer;
  ASSERT_TRUE(writer.Create(dir.file("s.nc"), {2, 1, 15, 31, 16, 0}, c, metadata, extras)) << writer.Error();
  for (int step = 0; step < 3; step++) {
    FieldFrame frame{{{true, 15, 31, 2.5 * step, -1.0, 0.5}, {step != 1, 31, 31, 1, 0.5, 0.75}}, {}};
    if (step != 2) frame.extras.push_back({"sigma_u", "standard uncertainty of u", true, "", {0.1, NAN}});
    ASSERT_TRUE(writer.Append(frame)) << writer.Error();
  }
  EXPECT_FALSE(FileExists(dir.file("s.nc")));  // not before it is complete
  ASSERT_TRUE(writer.Commit()) << writer.Error();
  const std::string text = Ncdump({"s.nc"}, dir);
  for (const char* line : {"time = UNLIMITED ; // (3 currently)", "time:units = \"s\" ;", "x:units = \"mm\" ;",
                           "u:units = \"mm s-1\" ;", "sigma_u:units = \"mm s-1\" ;", "quality:units = \"1\" ;",
                           ":calibration_px_per_unit = 20. ;", ":calibration_unit = \"mm\" ;",
                           ":calibration_dt_s = 0.001 ;", ":calibration_origin_px = 100., 50. ;",
                           "time = 0, 0.001, 0.002 ;", "x = -4.225, -3.425 ;", "y = -0.925 ;",
                           "u =\n  0, 50,\n  125, 50,\n  250, 50 ;", "flag =\n  1, 1,\n  1, 0,\n  1, 1 ;",
                           "sigma_u =\n  5, _,\n  5, _,\n  _, _ ;", "quality =\n  _, _,\n  _, _,\n  _, _ ;"})
    EXPECT_TRUE(Has(text, line)) << line << "\n" << text;

  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(dir.file("s.nc"))) << reader.Error();
  EXPECT_TRUE(reader.GetCalibration().SameAs(c));
  EXPECT_TRUE(reader.Grid().Matches({2, 1, 15, 31, 16, 0}));
  ASSERT_EQ(reader.Steps(), 3u);
  FieldFrame frame;
  ASSERT_TRUE(reader.ReadField(1, frame)) << reader.Error();
  EXPECT_NEAR(frame.vectors[0].u, 2.5, 1e-12);  // back in px
  EXPECT_FALSE(frame.vectors[1].valid);
  ASSERT_EQ(frame.extras.size(), 2u);
  EXPECT_EQ(frame.extras[0].name, "sigma_u");
  EXPECT_TRUE(frame.extras[0].velocity);
  EXPECT_NEAR(frame.extras[0].values[0], 0.1, 1e-7);
  EXPECT_TRUE(std::isnan(frame.extras[0].values[1]));
  EXPECT_FALSE(frame.extras[1].velocity);
  EXPECT_EQ(frame.extras[1].units, "1");
}

TEST(StatisticsFile, TheWorkedExampleInBothFiles) {
  TempDir dir;
  FieldStatistics s;
  s.fields = 3;
  s.n_valid = {3, 0};
  s.u_mean = {7.0 / 3, NAN};
  s.v_mean = {2.0 / 3, NAN};
  s.u_std = {std::sqrt(7.0 / 3), NAN};
  s.v_std = {std::sqrt(1.0 / 3), NAN};
  s.uv_cov = {0.5, NAN};
  Calibration c = Millimetres();
  c.origin_x = c.origin_y = 0;
  FieldMetadata metadata = Metadata();
  metadata.program = "pivstats";
  std::string error;
  ASSERT_EQ(WriteStatisticsFile(dir.file("s.nc"), {2, 1, 15, 15, 16, 0}, c, metadata, s, error), WriteStatus::Ok)
      << error;
  const std::string text = Ncdump({"-p", "9,12", "s.nc"}, dir);
  for (const char* line : {"double u_mean(y, x) ;", "u_mean:units = \"mm s-1\" ;", "uv_cov:units = \"mm2 s-2\" ;",
                           "int n_valid(y, x) ;", ":number_of_fields = 3 ;", "u_mean =\n  116.666666667, _ ;",
                           "u_std =\n  76.3762615826, _ ;", "uv_cov =\n  1250, _ ;", "n_valid =\n  3, 0 ;",
                           "x = 0.775, 1.575 ;", ":title = \"TARVEX statistics of a vector field series\" ;"})
    EXPECT_TRUE(Has(text, line)) << line << "\n" << text;

  // The Tecplot file of the header's example: uncalibrated, 2.5 px at the first point.
  s.u_mean[0] = 2.5;
  ASSERT_EQ(WriteStatisticsTecplot(dir.file("s.plt"), {2, 1, 15, 15, 16, 0}, Calibration(), s, error),
            WriteStatus::Ok);
  EXPECT_EQ(ReadFile(dir.file("s.plt")),
            "TITLE=\"pivstats: statistics of 3 fields\"\n"
            "VARIABLES=\"x (px)\" \"y (px)\" \"u_mean (px)\" \"v_mean (px)\" \"u_std (px)\" \"v_std (px)\" "
            "\"uv_cov (px2)\" \"n_valid\"\n"
            "ZONE F = POINT, I=          2, J=          1\n"
            "15.5 15.5 2.500000e+00 6.666667e-01 1.527525e+00 5.773503e-01 5.000000e-01 3\n"
            "31.5 15.5 0.000000e+00 0.000000e+00 0.000000e+00 0.000000e+00 0.000000e+00 0\n");
}

TEST(NetcdfReader, RefusesWhatIsNotAFileOfFields) {
  TempDir dir;
  NetcdfFieldReader reader;
  WriteFile(dir.file("text.nc"), "# not NetCDF at all\n");
  EXPECT_FALSE(LooksLikeNetcdf(dir.file("text.nc")));
  EXPECT_FALSE(reader.Open(dir.file("text.nc")));
  EXPECT_TRUE(Has(reader.Error(), "cannot read the NetCDF file " + dir.file("text.nc") + ": NetCDF: Unknown file format"))
      << reader.Error();

  Ncgen(dir, "other.nc", "netcdf other { dimensions: lat = 2 ; variables: double lat(lat) ; data: lat = 1, 2 ; }");
  EXPECT_TRUE(LooksLikeNetcdf(dir.file("other.nc")));
  EXPECT_FALSE(reader.Open(dir.file("other.nc")));
  EXPECT_EQ(reader.Error(), dir.file("other.nc") + ": no dimensions x and y: not a file of vector fields");

  Ncgen(dir, "bent.nc",
        "netcdf bent { dimensions: y = 1 ; x = 3 ; variables: double x(x) ; double y(y) ; "
        "data: x = 15.5, 31.5, 48.5 ; y = 15.5 ; }");
  EXPECT_FALSE(reader.Open(dir.file("bent.nc")));
  EXPECT_EQ(reader.Error(), dir.file("bent.nc") + ": the coordinate x is not a regular grid");

  Ncgen(dir, "half.nc",
        "netcdf half { dimensions: y = 1 ; x = 2 ; variables: double x(x) ; double y(y) ; "
        ":calibration_px_per_unit = 20. ; data: x = 1, 2 ; y = 1 ; }");
  EXPECT_FALSE(reader.Open(dir.file("half.nc")));
  EXPECT_EQ(reader.Error(), dir.file("half.nc") + ": its calibration attributes are incomplete or unusable");

  // A grid without the field's variables opens, and holds no field.
  Ncgen(dir, "bare.nc",
        "netcdf bare { dimensions: y = 1 ; x = 2 ; variables: double x(x) ; double y(y) ; float speed(y, x) ; "
        "data: x = 15.5, 31.5 ; y = 15.5 ; speed = 1, 2 ; }");
  ASSERT_TRUE(reader.Open(dir.file("bare.nc"))) << reader.Error();
  EXPECT_EQ(reader.Steps(), 0u);
  ASSERT_NE(reader.Find("speed"), nullptr);
  std::vector<double> speed;
  ASSERT_TRUE(reader.Read(*reader.Find("speed"), 0, speed));
  EXPECT_EQ(speed, (std::vector<double>{1, 2}));
}

TEST(FieldFile, AWriteThatFailsLeavesNothing) {
  TempDir dir;
  std::string error;
  EXPECT_EQ(WriteFieldFile(dir.file("none/run.nc"), kTwoPoints, 2, 1, Metadata(), error), WriteStatus::CannotOpen);
  EXPECT_EQ(error, "cannot write '" + dir.file("none/run.nc") + "': No such file or directory");
  // Records that do not fill the grid: the file is not written.
  EXPECT_EQ(WriteFieldFile(dir.file("run.nc"), kTwoPoints, 3, 1, Metadata(), error), WriteStatus::WriteFailed);
  EXPECT_FALSE(FileExists(dir.file("run.nc")));
  RunProgram("/bin/mkdir", {"taken.nc"}, dir.path());
  EXPECT_EQ(WriteFieldFile(dir.file("taken.nc"), kTwoPoints, 2, 1, Metadata(), error), WriteStatus::CannotOpen);
  EXPECT_EQ(error, "cannot write '" + dir.file("taken.nc") + "': Is a directory");
  // Nothing but what was asked for is left in the directory.
  const RunResult listing = RunProgram("/bin/ls", {"-A"}, dir.path());
  EXPECT_EQ(listing.out, "taken.nc\n");
}

TEST(NetcdfReader, RefusesACoordinateVariableOnMoreThanItsDimension) {
  // x(y, x) holds 6 values where the grid has 3 columns: read whole it would overrun them.
  TempDir dir;
  Ncgen(dir, "flat.nc",
        "netcdf flat { dimensions: y = 2 ; x = 3 ; variables: double x(y, x) ; double y(y) ; "
        "data: x = 15.5, 31.5, 47.5, 15.5, 31.5, 47.5 ; y = 15.5, 31.5 ; }");
  NetcdfFieldReader reader;
  EXPECT_FALSE(reader.Open(dir.file("flat.nc")));
  EXPECT_EQ(reader.Error(), dir.file("flat.nc") + ": the coordinate variable x is not on the dimension x alone");
  Ncgen(dir, "other.nc",
        "netcdf other { dimensions: y = 2 ; x = 2 ; variables: double x(y) ; double y(y) ; "
        "data: x = 15.5, 31.5 ; y = 15.5, 31.5 ; }");
  EXPECT_FALSE(reader.Open(dir.file("other.nc")));
  EXPECT_EQ(reader.Error(), dir.file("other.nc") + ": the coordinate variable x is not on the dimension x alone");
}

TEST(NetcdfReader, UnpacksPackedValues) {
  // u and v as 16-bit integers in thousandths (with an offset for v), their own fill value.
  TempDir dir;
  Ncgen(dir, "packed.nc",
        "netcdf packed { dimensions: time = UNLIMITED ; y = 1 ; x = 2 ; variables: double x(x) ; double y(y) ; "
        "short u(time, y, x) ; u:scale_factor = 0.001 ; u:_FillValue = -32767s ; "
        "short v(time, y, x) ; v:scale_factor = 0.5 ; v:add_offset = 10. ; v:_FillValue = -1s ; "
        "byte flag(time, y, x) ; "
        "data: x = 15.5, 31.5 ; y = 15.5 ; u = 1948, -32767 ; v = -1, 4 ; flag = 1, 0 ; }");
  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(dir.file("packed.nc"))) << reader.Error();
  ASSERT_EQ(reader.Steps(), 1u);
  std::vector<double> u, v;
  ASSERT_TRUE(reader.Read(*reader.Find("u"), 0, u)) << reader.Error();
  ASSERT_TRUE(reader.Read(*reader.Find("v"), 0, v)) << reader.Error();
  EXPECT_NEAR(u[0], 1.948, 1e-12);
  EXPECT_TRUE(std::isnan(u[1]));
  EXPECT_TRUE(std::isnan(v[0]));  // the fill value as stored, not as unpacked
  EXPECT_EQ(v[1], 12);
  FieldFrame frame;
  ASSERT_TRUE(reader.ReadField(0, frame)) << reader.Error();
  EXPECT_TRUE(Unmeasured(frame.vectors[0]));
  EXPECT_EQ(frame.vectors[0].u, 0);
}

TEST(NetcdfReader, RefusesFieldsNeverWritten) {
  // A time dimension of 2e9 steps with only the last written: the first is fill values.
  TempDir dir;
  const std::string path = dir.file("claims.nc");
  int id = -1, dims[3] = {}, x = -1, y = -1, u = -1, v = -1, flag = -1;
  ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER | NC_NETCDF4 | NC_CLASSIC_MODEL, &id), NC_NOERR);
  ASSERT_EQ(nc_def_dim(id, "time", NC_UNLIMITED, &dims[0]), NC_NOERR);
  ASSERT_EQ(nc_def_dim(id, "y", 1, &dims[1]), NC_NOERR);
  ASSERT_EQ(nc_def_dim(id, "x", 2, &dims[2]), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "x", NC_DOUBLE, 1, &dims[2], &x), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "y", NC_DOUBLE, 1, &dims[1], &y), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "u", NC_FLOAT, 3, dims, &u), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "v", NC_FLOAT, 3, dims, &v), NC_NOERR);
  ASSERT_EQ(nc_def_var(id, "flag", NC_BYTE, 3, dims, &flag), NC_NOERR);
  ASSERT_EQ(nc_enddef(id), NC_NOERR);
  const double xs[] = {15.5, 31.5}, ys[] = {15.5};
  const float values[] = {1.5f, 2.5f};
  const signed char flags[] = {1, 0};
  const size_t start[] = {1999999999, 0, 0}, count[] = {1, 1, 2};
  ASSERT_EQ(nc_put_var_double(id, x, xs), NC_NOERR);
  ASSERT_EQ(nc_put_var_double(id, y, ys), NC_NOERR);
  ASSERT_EQ(nc_put_vara_float(id, u, start, count, values), NC_NOERR);
  ASSERT_EQ(nc_put_vara_float(id, v, start, count, values), NC_NOERR);
  ASSERT_EQ(nc_put_vara_schar(id, flag, start, count, flags), NC_NOERR);
  ASSERT_EQ(nc_close(id), NC_NOERR);

  NetcdfFieldReader reader;
  ASSERT_TRUE(reader.Open(path)) << reader.Error();
  ASSERT_EQ(reader.Steps(), 2000000000u);
  FieldFrame frame;
  EXPECT_FALSE(reader.ReadField(0, frame));
  EXPECT_EQ(reader.Error(), path + ": field 0 holds values that were never written");
  ASSERT_TRUE(reader.Open(path)) << reader.Error();
  ASSERT_TRUE(reader.ReadField(1999999999, frame)) << reader.Error();
  EXPECT_TRUE(frame.vectors[0].valid);
  EXPECT_EQ(frame.vectors[1].u, 2.5);

  // A classic file cut short in its second field: the first reads, the second is refused.
  Ncgen(dir, "two.nc",
        "netcdf two { dimensions: time = UNLIMITED ; y = 1 ; x = 2 ; variables: double x(x) ; double y(y) ; "
        "float u(time, y, x) ; float v(time, y, x) ; byte flag(time, y, x) ; "
        "data: x = 15.5, 31.5 ; y = 15.5 ; u = 1, 2, 3, 4 ; v = 1, 2, 3, 4 ; flag = 1, 1, 1, 0 ; }");
  const std::string classic = dir.file("two3.nc");
  const RunResult copy = RunProgram("/usr/bin/nccopy", {"-k", "classic", "two.nc", "two3.nc"}, dir.path());
  ASSERT_EQ(copy.status, 0) << copy.err;
  const std::string bytes = ReadFile(classic);
  // A record is u, v and flag of one field (8 + 8 + 4 bytes, the flag padded): cut the last.
  WriteFile(classic, bytes.substr(0, bytes.size() - 20));
  ASSERT_TRUE(reader.Open(classic)) << reader.Error();
  ASSERT_EQ(reader.Steps(), 2u);
  ASSERT_TRUE(reader.ReadField(0, frame)) << reader.Error();
  EXPECT_EQ(frame.vectors[1].u, 2);
  EXPECT_FALSE(reader.ReadField(1, frame));
  EXPECT_EQ(reader.Error(), classic + ": field 1 holds values that were never written");
}
