// The Python module `tarvex`: the bindings only. The work is done by the calls in this folder
// (analysis, image-pair file, pivsynth) and by the library's file formats.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "BackgroundCall.h"
#include "Docstrings.h"
#include "FieldResult.h"
#include "FileError.h"
#include "ImageArrays.h"
#include "InterruptibleAnalysis.h"
#include "PairFileCalls.h"
#include "SynthCall.h"
#include "TruthFile.h"
#include "TruthReference.h"
#include "grid/WindowGeometry.h"

namespace tarvex {

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

std::string PathText(const py::object& path) {
  return py::module_::import("os").attr("fspath")(path).cast<std::string>();
}

// numpy's conversion of anything array-like; what it raises (a ValueError for a ragged list,
// a MemoryError, the exception of an object's own __array__) goes on to the caller as it is.
py::array ToArray(const py::object& value) { return py::array(value); }

// A whole number given from Python: an int, a numpy integer, anything operator.index takes.
// Anything else is a TypeError saying `what`; a value beyond an int a ValueError naming it.
int WholeNumber(const py::handle& value, const std::string& name, const std::string& what) {
  if (py::isinstance<py::float_>(value)) throw py::type_error(what);
  PyObject* index = PyNumber_Index(value.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error(what);
  }
  const py::object number = py::reinterpret_steal<py::object>(index);
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
  const bool above = overflow > 0 || (overflow == 0 && n > INT_MAX);
  if (above || overflow < 0 || n < INT_MIN)
    throw std::invalid_argument(name + " must be " + (above ? "at most " + std::to_string(INT_MAX) : "at least " +
                                std::to_string(INT_MIN)) + " (got " + py::str(number).cast<std::string>() + ")");
  return static_cast<int>(n);
}

// A size given as one whole number for both directions or as a pair (x, y).
std::pair<int, int> SizePair(const py::object& value, const char* name) {
  const std::string what = std::string(name) + " must be a whole number or a pair of whole numbers";
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value)) {
    const int n = WholeNumber(value, name, what);
    return {n, n};
  }
  if (py::len(value) != 2) throw py::type_error(what);
  const py::sequence pair = value.cast<py::sequence>();
  return {WholeNumber(pair[0], name, what), WholeNumber(pair[1], name, what)};
}

SubPixelEstimator Estimator(const std::string& name) {
  if (name == "fit") return SubPixelEstimator::Fit;
  if (name == "gauss3") return SubPixelEstimator::Gauss3;
  throw std::invalid_argument("unknown sub-pixel estimator \"" + name + "\" (use fit or gauss3)");
}

// A number given from Python; anything else is a TypeError naming the keyword.
double Number(const py::handle& value, const std::string& name) {
  if (!PyNumber_Check(value.ptr()) || py::isinstance<py::bool_>(value))
    throw py::type_error(name + " must be a number");
  return py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
}

// Two numbers given as a pair.
std::pair<double, double> NumberPair(const py::object& value, const std::string& name) {
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value) || py::len(value) != 2)
    throw py::type_error(name + " must be a pair of numbers");
  const py::sequence pair = value.cast<py::sequence>();
  return {Number(pair[0], name), Number(pair[1], name)};
}

// Turns a check's constant on when it is given.
void Check(const py::object& value, const char* name, bool& on, float& constant) {
  on = !value.is_none();
  if (on) constant = static_cast<float>(Number(value, name));
}

// The estimator asked for; left out, the fit, or with deformation passes the
// three-point estimator they measure with.
SubPixelEstimator EstimatorArgument(const py::object& subpix, int deform) {
  if (subpix.is_none()) return deform > 0 ? SubPixelEstimator::Gauss3 : SubPixelEstimator::Fit;
  if (!py::isinstance<py::str>(subpix)) throw py::type_error("subpix must be \"fit\" or \"gauss3\"");
  return Estimator(subpix.cast<std::string>());
}

// The background keyword (None, "min", "mean" or a 2-D array) with its images.
BackgroundRequest Background(const py::object& background, const py::object& images) {
  BackgroundRequest request;
  const bool word = py::isinstance<py::str>(background);
  if (word) {
    const std::string name = background.cast<std::string>();
    if (name != "min" && name != "mean")
      throw std::invalid_argument("background must be None, \"min\", \"mean\" or a 2-D array (got \"" + name +
                                  "\")");
    request.kind = name == "min" ? BackgroundRequest::Kind::Minimum : BackgroundRequest::Kind::Mean;
    if (!images.is_none()) request.images = ImagesFromObject(images, "background_images");
    return request;
  }
  if (!images.is_none())
    throw std::invalid_argument("background_images only applies together with background=\"min\" or \"mean\"");
  if (background.is_none()) return request;
  request.kind = BackgroundRequest::Kind::Given;
  request.given = ImageFromArray(ToArray(background), "background");
  return request;
}

// tarvex.background: the background of images (a 3-D array or a sequence of 2-D arrays) as a
// float64 array of counts.
py::array_t<double> BackgroundArray(const py::object& images, const std::string& statistic, const py::object& mask) {
  if (statistic != "min" && statistic != "mean")
    throw std::invalid_argument("statistic must be \"min\" or \"mean\" (got \"" + statistic + "\")");
  const std::vector<Image16> stack = ImagesFromObject(images, "images");
  std::vector<const Image16*> pointers;
  for (const Image16& image : stack) pointers.push_back(&image);
  if (pointers.empty()) throw std::invalid_argument("images holds no image");
  std::unique_ptr<MaskImage> flow;
  if (!mask.is_none())
    flow = std::make_unique<MaskImage>(MaskFromArray(ToArray(mask), stack[0].width, stack[0].height));
  const BackgroundImage b = BackgroundOfImages(
      statistic == "min" ? BackgroundStatistic::Minimum : BackgroundStatistic::Mean, pointers, flow.get());
  py::array_t<double> array({static_cast<py::ssize_t>(b.height), static_cast<py::ssize_t>(b.width)});
  double* out = array.mutable_data();
  for (size_t i = 0; i < b.sums.size(); ++i) out[i] = static_cast<double>(b.sums[i]) / b.divisor;
  return array;
}

FieldResult Analyse(const py::object& frameA, const py::object& frameB, const py::object& window,
                    const py::object& spacing, const py::object& subpix, bool meansub, bool twoPass,
                    const py::object& minRho, const py::object& maxVelocityRatio, const py::object& globalHistogram,
                    const py::object& median, const py::object& dynamicMean, bool smooth, int threads, int deform,
                    int firstWindow, const std::string& deformReference, bool uncertainty, const py::object& mask,
                    const py::object& background, const py::object& backgroundImages, const py::object& highpass,
                    bool cap) {
  AnalysisSettings s;
  std::tie(s.windowWidth, s.windowHeight) = SizePair(window, "window");
  std::tie(s.spacingX, s.spacingY) =
      spacing.is_none() ? std::make_pair(s.windowWidth, s.windowHeight) : SizePair(spacing, "spacing");
  s.subpix = EstimatorArgument(subpix, deform);
  // As on the command line, deformation passes imply mean subtraction.
  s.meanSubtraction = meansub || deform > 0;
  s.deformPasses = deform;
  s.firstWindow = firstWindow;
  if (deformReference == "first")
    s.deformReference = DeformReference::FirstImage;
  else if (deformReference != "midpoint")
    throw std::invalid_argument("deform_reference must be \"midpoint\" or \"first\" (got \"" + deformReference + "\")");
  if (uncertainty) s.uncertainty = UncertaintyMethod::CorrelationStatistics;
  s.twoPass = twoPass;
  Check(minRho, "min_rho", s.checkMinRho, s.minRho);
  Check(maxVelocityRatio, "max_velocity_ratio", s.checkMaxVelocity, s.maxVelocityRatio);
  Check(globalHistogram, "global_histogram", s.checkGlobalHistogram, s.histogramDeviations);
  Check(median, "median", s.checkMedian, s.medianThreshold);
  s.checkDynamicMean = !dynamicMean.is_none();
  if (s.checkDynamicMean) {
    const std::pair<double, double> c = NumberPair(dynamicMean, "dynamic_mean");
    s.dynamicMeanC1 = static_cast<float>(c.first);
    s.dynamicMeanC2 = static_cast<float>(c.second);
  }
  s.smooth = smooth;
  s.threads = threads;
  const std::string odd = "highpass must be None or an odd whole number of pixels";
  s.highPassSize = highpass.is_none() ? 0 : WholeNumber(highpass, "highpass", odd);
  if (!highpass.is_none() && s.highPassSize == 0)
    throw std::invalid_argument("highpass must be an odd whole number of pixels from 3 to 999 (got 0)");
  s.capIntensity = cap;

  const Image16 first = ImageFromArray(ToArray(frameA), "frame_a");
  const Image16 second = ImageFromArray(ToArray(frameB), "frame_b");
  std::unique_ptr<MaskImage> flow;
  if (!mask.is_none()) flow = std::make_unique<MaskImage>(MaskFromArray(ToArray(mask), first.width, first.height));
  const BackgroundRequest request = Background(background, backgroundImages);
  s.subtractBackground = request.kind != BackgroundRequest::Kind::None;
  return AnalyseInterruptibly(s, first, second, flow.get(), request);
}

// A read-only (rows, columns) array of one value per grid point.
template <typename T, typename Value>
py::array_t<T> GridArray(const FieldResult& f, Value value) {
  py::array_t<T> array({static_cast<py::ssize_t>(f.Rows()), static_cast<py::ssize_t>(f.Columns())});
  T* out = array.mutable_data();
  const std::vector<VectorRecord>& records = f.Records();
  for (size_t k = 0; k < records.size() && k < static_cast<size_t>(array.size()); ++k) out[k] = value(records[k]);
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

// A read-only (rows, columns) array of one uncertainty per grid point, or None for a field
// without them.
py::object UncertaintyArray(const FieldResult& f, const std::vector<float>& sigma) {
  if (!f.HasUncertainties()) return py::none();
  py::array_t<double> array({static_cast<py::ssize_t>(f.Rows()), static_cast<py::ssize_t>(f.Columns())});
  double* out = array.mutable_data();
  for (size_t k = 0; k < sigma.size() && k < static_cast<size_t>(array.size()); ++k) out[k] = sigma[k];
  array.attr("setflags")(py::arg("write") = false);
  return std::move(array);
}

// The getter of a grid array.
template <typename T, typename Value>
auto GridProperty(Value value) {
  return [value](const FieldResult& f) { return GridArray<T>(f, value); };
}

// The ids asked for: none for every image, one whole number, or a sequence of them (an empty
// one asks for no image).
std::optional<std::vector<int>> ImageIds(const py::object& images) {
  if (images.is_none()) return std::nullopt;
  const std::string what = "images must be None, an image id or a sequence of image ids";
  if (!py::isinstance<py::sequence>(images) || py::isinstance<py::str>(images))
    return std::vector<int>{WholeNumber(images, "images", what)};
  std::vector<int> ids;
  for (const py::handle id : images) ids.push_back(WholeNumber(id, "image id", what));
  return ids;
}

py::array_t<uint16_t> StackArray(const ImageStack& stack) {
  return ArrayFromImages(stack.count, stack.width, stack.height, stack.pixels);
}

// A region option's numbers, "A,B,C...", from a sequence of numbers.
std::string NumberList(const py::handle& value, const std::string& keyword) {
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value))
    throw py::type_error(keyword + " must be a sequence of numbers, or a list of them");
  std::string text;
  for (const py::handle item : value.cast<py::sequence>())
    text += (text.empty() ? "" : ",") + FormatNumber(Number(item, keyword));
  return text;
}

// The regions of a repeatable option: one sequence of numbers, or a list of them.
std::vector<std::string> Regions(const py::handle& value, const std::string& keyword) {
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value))
    throw py::type_error(keyword + " must be a sequence of numbers, or a list of them");
  const py::sequence items = value.cast<py::sequence>();
  const bool several = py::len(items) > 0 && py::isinstance<py::sequence>(items[0]);
  if (!several) return {NumberList(value, keyword)};
  std::vector<std::string> regions;
  for (const py::handle region : items) regions.push_back(NumberList(region, keyword));
  return regions;
}

// pivsynth's options from the keywords given (an underscore for a dash): numbers in the
// shortest form that reads back as the same double, so that the truth is exactly the one
// asked for.
SynthSettings PivsynthSettings(const py::dict& given) {
  SynthSettings settings;
  for (const auto& item : given) {
    const std::string keyword = item.first.cast<std::string>();
    std::string name = "--" + keyword;
    std::replace(name.begin(), name.end(), '_', '-');
    const py::handle value = item.second;
    if (value.is_none()) continue;
    std::string text;
    if (name == "--band" || name == "--row-pattern" || name == "--dim") {
      for (const std::string& region : Regions(value, keyword)) settings.emplace_back(name, region);
      continue;
    }
    if (name == "--size" || name == "--center") {
      const auto pair = NumberPair(py::reinterpret_borrow<py::object>(value), name.substr(2));
      text = FormatNumber(pair.first) + (name == "--size" ? "x" : ",") + FormatNumber(pair.second);
    } else if (py::isinstance<py::str>(value)) {
      text = value.cast<std::string>();
    } else if (py::isinstance<py::int_>(value)) {
      text = py::str(value).cast<std::string>();
    } else {
      text = FormatNumber(Number(value, name.substr(2)));
    }
    settings.emplace_back(name, text);
  }
  return settings;
}

// The displacement at a point: the field as the truth file gives it, or referred to a point
// of the particle's path (NaN where the steps do not converge).
Displacement TrueDisplacement(const TruthRecord& truth, const std::optional<ReferencePoint>& reference, double x,
                              double y) {
  if (!reference) return DisplacementAt(truth.field, x, y);
  Displacement d;
  if (!ReferredDisplacement(truth.field, truth.scheme, *reference, x, y, d)) d.dx = d.dy = std::nan("");
  return d;
}

py::object Displacements(const TruthRecord& truth, const py::object& x, const py::object& y,
                         const py::object& referenceName) {
  std::optional<ReferencePoint> reference;
  if (!referenceName.is_none()) {
    ReferencePoint r = ReferencePoint::Midpoint;
    if (!py::isinstance<py::str>(referenceName) || !ParseReferencePoint(referenceName.cast<std::string>(), r))
      throw std::invalid_argument("reference must be None, \"midpoint\" or \"first\"");
    reference = r;
  }
  const py::tuple both = py::module_::import("numpy").attr("broadcast_arrays")(x, y);
  using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
  const Doubles xs(both[0]), ys(both[1]);
  std::vector<py::ssize_t> shape(xs.shape(), xs.shape() + xs.ndim());
  Doubles dx(shape), dy(shape);
  for (py::ssize_t k = 0; k < xs.size(); ++k) {
    const Displacement d = TrueDisplacement(truth, reference, xs.data()[k], ys.data()[k]);
    dx.mutable_data()[k] = d.dx;
    dy.mutable_data()[k] = d.dy;
  }
  if (xs.ndim() == 0) return py::make_tuple(dx.data()[0], dy.data()[0]);
  return py::make_tuple(dx, dy);
}

}  // namespace

}  // namespace tarvex

using namespace tarvex;

PYBIND11_MODULE(tarvex, m) {
  m.doc() = docs::kModule;
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const FileError& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    }
  });

  py::class_<FieldResult>(m, "Field", docs::kField)
      .def_property_readonly("x", GridProperty<double>([](const VectorRecord& r) { return r.x; }))
      .def_property_readonly("y", GridProperty<double>([](const VectorRecord& r) { return r.y; }))
      .def_property_readonly("u", GridProperty<double>([](const VectorRecord& r) { return r.u; }))
      .def_property_readonly("v", GridProperty<double>([](const VectorRecord& r) { return r.v; }))
      .def_property_readonly("peak", GridProperty<double>([](const VectorRecord& r) { return r.peak; }))
      .def_property_readonly("flag", GridProperty<bool>([](const VectorRecord& r) { return r.valid; }))
      .def_property_readonly("sigma_u", [](const FieldResult& f) { return UncertaintyArray(f, f.SigmaU()); })
      .def_property_readonly("sigma_v", [](const FieldResult& f) { return UncertaintyArray(f, f.SigmaV()); })
      .def_property_readonly("xc",
                             [](const FieldResult& f) {
                               const int w = f.WindowWidth();
                               return GridArray<double>(
                                   f, [w](const VectorRecord& r) { return WindowCentre(r.x, w); });
                             })
      .def_property_readonly("yc",
                             [](const FieldResult& f) {
                               const int h = f.WindowHeight();
                               return GridArray<double>(
                                   f, [h](const VectorRecord& r) { return WindowCentre(r.y, h); });
                             })
      .def_property_readonly("shape", [](const FieldResult& f) { return py::make_tuple(f.Rows(), f.Columns()); })
      .def_property_readonly("window",
                             [](const FieldResult& f) { return py::make_tuple(f.WindowWidth(), f.WindowHeight()); })
      .def_property_readonly("smoothed", &FieldResult::Smoothed)
      .def_property_readonly("valid", &FieldResult::ValidCount, "number of valid vectors")
      .def_property_readonly("log", &FieldResult::Log)
      .def("write_dpiv", [](const FieldResult& f, const py::object& path) { f.WriteDpiv(PathText(path)); },
           py::arg("path"), docs::kWriteDpiv)
      .def("write_tecplot",
           [](const FieldResult& f, const py::object& path, const py::object& keepRejected) {
             f.WriteTecplot(PathText(path), keepRejected.is_none() ? f.Smoothed() : keepRejected.cast<bool>());
           },
           py::arg("path"), py::arg("keep_rejected") = py::none(), docs::kWriteTecplot)
      .def("__repr__", [](const FieldResult& f) {
        return "<tarvex.Field " + std::to_string(f.Columns()) + " x " + std::to_string(f.Rows()) + " points, " +
               std::to_string(f.ValidCount()) + " valid, window " + std::to_string(f.WindowWidth()) + " x " +
               std::to_string(f.WindowHeight()) + ">";
      });

  py::class_<TruthRecord>(m, "Truth", docs::kTruth)
      .def("displacement", &Displacements, py::arg("x"), py::arg("y"), py::arg("reference") = py::none(),
           docs::kDisplacement)
      .def_property_readonly("field", [](const TruthRecord& t) { return FieldKindName(t.field.kind); })
      .def_property_readonly("scheme", [](const TruthRecord& t) { return SynthSchemeName(t.scheme); })
      .def_readonly("loss", &TruthRecord::loss)
      .def_property_readonly("size", [](const TruthRecord& t) { return py::make_tuple(t.width, t.height); })
      .def_readonly("pairs", &TruthRecord::pairs)
      .def_readonly("diameter", &TruthRecord::diameter)
      .def_readonly("density", &TruthRecord::density)
      .def_readonly("noise", &TruthRecord::noise)
      .def_readonly("seed", &TruthRecord::seed)
      .def_property_readonly("text", &TruthText, "the truth file's text")
      .def("write",
           [](const TruthRecord& t, const py::object& path) {
             std::string error;
             if (!WriteTextFile(PathText(path), TruthText(t), error)) throw FileError(error);
           },
           py::arg("path"), "Writes the truth file.")
      .def("__repr__", [](const TruthRecord& t) { return "<tarvex.Truth\n" + TruthText(t) + ">"; });

  m.def("analyse", &Analyse, py::arg("frame_a"), py::arg("frame_b"), py::kw_only(), py::arg("window") = 32,
        py::arg("spacing") = py::none(), py::arg("subpix") = py::none(), py::arg("meansub") = false,
        py::arg("two_pass") = false, py::arg("min_rho") = py::none(), py::arg("max_velocity_ratio") = py::none(),
        py::arg("global_histogram") = py::none(), py::arg("median") = py::none(),
        py::arg("dynamic_mean") = py::none(), py::arg("smooth") = false, py::arg("threads") = 1,
        py::arg("deform") = 0, py::arg("first_window") = 0, py::arg("deform_reference") = "midpoint",
        py::arg("uncertainty") = false, py::arg("mask") = py::none(), py::arg("background") = py::none(),
        py::arg("background_images") = py::none(), py::arg("highpass") = py::none(), py::arg("cap") = false,
        docs::kAnalyse);

  m.def("background", &BackgroundArray, py::arg("images"), py::arg("statistic") = "min", py::arg("mask") = py::none(),
        docs::kBackground);

  m.def("read_dpiv", [](const py::object& path) { return FieldResult::FromDpivFile(PathText(path)); },
        py::arg("path"), docs::kReadDpiv);

  m.def("read_pair_file",
        [](const py::object& path, const py::object& images) {
          return StackArray(ReadImageStack(PathText(path), ImageIds(images)));
        },
        py::arg("path"), py::arg("images") = py::none(), docs::kReadPairFile);

  m.def("write_pair_file",
        [](const py::object& path, const py::object& images) {
          WriteImageStack(PathText(path), ImagesFromObject(images, "images"));
        },
        py::arg("path"), py::arg("images"), docs::kWritePairFile);

  m.def("synth",
        [](const py::object& size, int pairs, const std::string& field, const py::object& dx, const py::object& dy,
           const py::object& omega, const py::object& center, const py::object& profile, const py::object& gamma,
           const py::object& core, const py::object& shear, const py::object& amplitude,
           const py::object& wavelength, const py::object& direction, const std::string& scheme, double diameter,
           double density, double loss, double noise, double glow, const py::object& band,
           const py::object& rowPattern, const py::object& dim, const py::object& seed) {
          const py::dict given("size"_a = size, "pairs"_a = pairs, "field"_a = field, "dx"_a = dx, "dy"_a = dy,
                               "omega"_a = omega, "center"_a = center, "profile"_a = profile, "gamma"_a = gamma,
                               "core"_a = core, "shear"_a = shear, "amplitude"_a = amplitude,
                               "wavelength"_a = wavelength, "direction"_a = direction, "scheme"_a = scheme,
                               "diameter"_a = diameter, "density"_a = density, "loss"_a = loss, "noise"_a = noise,
                               "glow"_a = glow, "band"_a = band, "row_pattern"_a = rowPattern, "dim"_a = dim,
                               "seed"_a = seed);
          const SynthImages made = SynthesizeImages(PivsynthSettings(given));
          return py::make_tuple(StackArray(made.images), made.truth);
        },
        py::kw_only(), py::arg("size") = py::make_tuple(256, 256), py::arg("pairs") = 1, py::arg("field") = "uniform",
        py::arg("dx") = py::none(), py::arg("dy") = py::none(), py::arg("omega") = py::none(),
        py::arg("center") = py::none(), py::arg("profile") = py::none(), py::arg("gamma") = py::none(),
        py::arg("core") = py::none(), py::arg("shear") = py::none(), py::arg("amplitude") = py::none(),
        py::arg("wavelength") = py::none(), py::arg("direction") = py::none(), py::arg("scheme") = "first",
        py::arg("diameter") = 2.5, py::arg("density") = 0.02, py::arg("loss") = 0.0, py::arg("noise") = 0.0,
        py::arg("glow") = 0.0, py::arg("band") = py::none(), py::arg("row_pattern") = py::none(),
        py::arg("dim") = py::none(), py::arg("seed") = 1, docs::kSynth);

  m.def("read_truth",
        [](const py::object& path) {
          TruthRecord truth;
          std::string error;
          if (!ReadTruthFile(PathText(path), truth, error)) throw FileError(error);
          return truth;
        },
        py::arg("path"), docs::kReadTruth);
}
