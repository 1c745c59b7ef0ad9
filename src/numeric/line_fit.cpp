// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/line_fit.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace vireltan {

LineFit FitStraightLine(const std::vector<double>& x, const std::vector<double>& y) {
  assert(x.size() == y.size());
  const std::size_t count = x.size() < y.size() ? x.size() : y.size();
  LineFit fit{0.0, 0.0, 0.0, 0.0, 0.0, 1.0, false};
  if (count == 0) return fit;
  const double n = static_cast<double>(count);

  double sx = 0.0;
  double sy = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    sx += x[i];
    sy += y[i];
  }
  // Centring x on its mean makes the slope a single well-conditioned ratio.
  const double mean_x = sx / n;
  double stt = 0.0;
  double sty = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double t = x[i] - mean_x;
    stt += t * t;
    sty += t * y[i];
  }

  if (stt == 0.0) {
    // All points share one x: any line through their mean y fits as well as
    // any other, so report the flat one.
    fit.a = sy / n;
  } else {
    fit.b = sty / stt;
    fit.a = (sy - sx * fit.b) / n;
  }

  double chi2 = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double residual = y[i] - fit.a - fit.b * x[i];
    chi2 += residual * residual;
  }
  fit.chiSquared = chi2;

  if (stt != 0.0 && count > 2) {
    // Standard errors for unit point errors, rescaled by the observed scatter.
    const double sigma_a0 = std::sqrt((1.0 + sx * sx / (n * stt)) / n);
    const double sigma_b0 = std::sqrt(1.0 / stt);
    const double scale = std::sqrt(chi2 / (n - 2.0));
    fit.sigmaA = sigma_a0 * scale;
    fit.sigmaB = sigma_b0 * scale;
    fit.sigmasDefined = true;
  }
  return fit;
}

}  // namespace vireltan
