#include "PairWriter.h"

#include <string>

#include "FieldFileMetadata.h"
#include "FieldNetcdf.h"

namespace tarvex {

namespace {

const char* const kRunSeparator =
    "========================================================================================";

}  // namespace

void PairWriter::Start(const TarvexSettings& s, PairAnalysis& analysis, const PairJob& job) {
  writing_.Wait();
  if (settings_ != &s && s.netcdf) metadata_ = RunFieldMetadata(s);
  settings_ = &s;
  job_ = job;
  nx_ = analysis.Grid().NX();
  ny_ = analysis.Grid().NY();
  const bool smooth = (s.pflag & PFLAG_SMOOTH) != 0;
  // The record buffers are kept from pair to pair.
  if (s.pflag & PFLAG_TECPLOT) analysis.Records(smooth, tecplot_);
  analysis.Records(true, dpiv_);
  extras_.clear();
  if (s.netcdf && analysis.Uncertainties(sigmaU_, sigmaV_)) {
    extras_.push_back({"sigma_u", "standard uncertainty of u", true, "", {sigmaU_.begin(), sigmaU_.end()}});
    extras_.push_back({"sigma_v", "standard uncertainty of v", true, "", {sigmaV_.begin(), sigmaV_.end()}});
  }
  console_.HoldBack();
  console_.TakeHeld();
  written_ = true;
  writing_.Start([this] { Write(); });
}

void PairWriter::Write() {
  std::string error;
  if (settings_->pflag & PFLAG_TECPLOT) {
    console_.Printf("Writing out tecplot file: %s, please wait ....\n", job_.names.tecplot);
    const Status tecplot = WriteTecplotRecords(job_.names.tecplot, nx_, ny_, tecplot_, console_);
    if (!tecplot) {
      console_.ErrorPrintf("tarvex: %s\n", tecplot.message());
      written_ = false;
    }
  }
  console_.Printf("Writing out DPIV file: %s, please wait ....\n", job_.names.dpiv);
  const Status dpiv = WriteDpivRecords(job_.names.dpiv, dpiv_, console_);
  if (!dpiv) {
    console_.ErrorPrintf("tarvex: %s\n", dpiv.message());
    written_ = false;
  }
  if (settings_->netcdf) {
    console_.Printf("Writing out NetCDF file: %s, please wait ....\n", job_.names.netcdf);
    if (WriteFieldFile(job_.names.netcdf, dpiv_, nx_, ny_, metadata_, error, extras_) != WriteStatus::Ok) {
      console_.ErrorPrintf("tarvex: %s\n", error.c_str());  // the message names the file
      written_ = false;
    }
  }
  console_.Printf("%s\n\n", kRunSeparator);
}

bool PairWriter::Finish(std::vector<ConsoleChunk>& text) {
  if (!writing_.Pending()) return true;
  writing_.Wait();
  for (ConsoleChunk& chunk : console_.TakeHeld()) text.push_back(std::move(chunk));
  return written_;
}

}  // namespace tarvex
