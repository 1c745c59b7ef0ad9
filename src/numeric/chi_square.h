// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The upper tail of the χ² distribution, P(X ≥ x) for df degrees of
// freedom, as R's pchisq(x, df, lower.tail = FALSE): the regularised upper
// incomplete gamma function Q(df/2, x/2), by its series below a + 1 and its
// continued fraction above (relative error about 1e-15).

namespace vireltan {

// Q(a, x) for a > 0, x >= 0.
double UpperIncompleteGamma(double a, double x);
// P(χ²_df ≥ x); 1 for x <= 0. df >= 1.
double ChiSquareUpperTail(double x, int df);

}  // namespace vireltan
