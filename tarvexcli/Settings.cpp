#include "Settings.h"

#include <cstring>

namespace tarvex {

AnalysisSettings ToAnalysisSettings(const TarvexSettings& s) {
  AnalysisSettings a;
  a.windowWidth = s.fftx;
  a.windowHeight = s.ffty;
  a.spacingX = s.Delx;
  a.spacingY = s.Dely;
  a.offsetX = s.Xoff;
  a.offsetY = s.Yoff;
  a.twoPass = (s.pflag & PFLAG_ITERATE) != 0;
  a.checkMinRho = (s.cflag & CFLAG_MINRHO) != 0;
  a.minRho = s.MinRho;
  a.checkMaxVelocity = (s.cflag & CFLAG_MAXVEL) != 0;
  a.maxVelocityRatio = s.MaxVelRatio;
  a.checkGlobalHistogram = (s.cflag & CFLAG_GLOBALHIST) != 0;
  a.histogramDeviations = s.C3;
  a.checkMedian = (s.cflag & CFLAG_MEDIAN) != 0;
  a.medianThreshold = s.C4;
  a.checkDynamicMean = (s.cflag & CFLAG_DYNMEAN) != 0;
  a.dynamicMeanC1 = s.C1;
  a.dynamicMeanC2 = s.C2;
  a.smooth = (s.pflag & PFLAG_SMOOTH) != 0;
  a.subpix = s.subpix;
  a.meanSubtraction = s.meansub;
  a.threads = s.threads;
  a.deformPasses = s.deform;
  a.firstWindow = s.firstWindow;
  a.deformReference = s.deformReference;
  // The field files of a deformation analysis carry each vector's uncertainty.
  if (s.netcdf && s.deform > 0) a.uncertainty = UncertaintyMethod::CorrelationStatistics;
  a.subtractBackground = SubtractsBackground(s);
  a.highPassSize = s.highpass;
  a.capIntensity = s.cap;
  return a;
}

bool SubtractsBackground(const TarvexSettings& s) { return s.background[0] != '\0'; }

bool BackgroundOverSeries(const TarvexSettings& s, BackgroundStatistic* statistic) {
  if (std::strcmp(s.background, "min") == 0) {
    *statistic = BackgroundStatistic::Minimum;
    return true;
  }
  if (std::strcmp(s.background, "mean") == 0) {
    *statistic = BackgroundStatistic::Mean;
    return true;
  }
  return false;
}

bool BackgroundFromFile(const TarvexSettings& s) {
  BackgroundStatistic statistic;
  return SubtractsBackground(s) && !BackgroundOverSeries(s, &statistic);
}

}  // namespace tarvex
