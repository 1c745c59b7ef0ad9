// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/spatial_sheets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vireltan {

std::string CoordinateUnitText(const std::string& unit) {
  return unit.empty() ? "coordinate units" : unit;
}

std::string DistanceClassAxisTitle(const std::string& unit) {
  return "Average distance of the class (" + CoordinateUnitText(unit) + ")";
}

std::string GeographicDistanceTitle(bool logDistance, const std::string& unit) {
  const std::string inUnit = unit.empty() ? "file units" : unit;
  return logDistance ? "ln geographic distance (ln of " + inUnit + ")"
                     : "Geographic distance (" + inUnit + ")";
}

std::string DistanceUnitNote(const std::string& unit) {
  return unit.empty() ? "" : "distances in " + unit;
}

std::string FormatIndexValue(double value) {
  if (!std::isfinite(value)) return "";
  // The decimal exponent after rounding to 5 significant digits (rounding
  // can carry into a new digit: 9.99996 becomes 10.000).
  char scientific[64];
  std::snprintf(scientific, sizeof scientific, "%.4e", value);
  const char* e = std::strchr(scientific, 'e');
  const int exponent = e ? std::atoi(e + 1) : 0;
  // Places kept after the point: 4 below 10, fewer above, negative (tens,
  // hundreds...) from 100,000 on.
  const int decimals = exponent <= 0 ? 4 : 4 - exponent;
  std::string text;
  if (decimals >= 0) {
    // A value exactly halfway between two shown values (p = 1/32 = 0.03125)
    // rounds away from zero, as fixed notation does by hand; printf would
    // round it to even. The exact expansion tells a true half from a value
    // merely close to it, and a nudge of one unit in the last place settles
    // it.
    char exact[400];
    std::snprintf(exact, sizeof exact, "%.*f", decimals + 30, value);
    const char* point = std::strchr(exact, '.');
    if (point && point[decimals + 1] == '5' &&
        std::strspn(point + decimals + 2, "0") == std::strlen(point + decimals + 2)) {
      value = std::nextafter(value, value > 0 ? HUGE_VAL : -HUGE_VAL);
    }
    char fixed[400];
    std::snprintf(fixed, sizeof fixed, "%.*f", decimals, value);
    text = fixed;
    if (decimals == 0) text += '.';
    text.append(4 - decimals, '0');
  } else {
    const double unit = std::pow(10.0, -decimals);
    char fixed[400];
    std::snprintf(fixed, sizeof fixed, "%.0f", std::round(value / unit) * unit);
    text = std::string(fixed) + ".0000";
  }
  // -0.00001 rounds to zero: no sign on zero.
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

namespace {

// The value rounded to four decimals, as FormatIndexValue writes it (no
// negative zero).
double RoundedIndexValue(double value) {
  const double rounded = std::round(value * 1e4) / 1e4;
  return rounded == 0 ? 0.0 : rounded;
}

// A p value at four decimals too, except one so small that four decimals
// would write 0 (P of 20,000 and more): a permutation p is never 0, so that
// one keeps four significant digits.
double RoundedPValue(double p) {
  const double rounded = RoundedIndexValue(p);
  if (rounded != 0 || !(p > 0)) return rounded;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3e", p);
  return std::strtod(buffer, nullptr);
}

Sheet IndexSheet(const std::string& title, const std::string& indexName, double index,
                 const std::string& pName, double p, int permutations) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, title);
  sheet.SetTextAt(2, 1, indexName);
  sheet.SetTextAt(2, 2, pName);
  // An index that could not be computed leaves both cells empty: its p
  // value would claim a test that never took place.
  // Numbers as numeric cells (a spreadsheet computes with them), at the four
  // decimals the index has always been reported with.
  if (std::isfinite(index)) {
    sheet.SetNumberAt(3, 1, RoundedIndexValue(index));
    sheet.SetNumberAt(3, 2, RoundedPValue(p));
  }
  sheet.SetTextAt(2, 3, "Nb perm");
  sheet.SetNumberAt(3, 3, permutations);
  return sheet;
}

}  // namespace

Sheet AggregationIndexSheet(const AggregationResult& result) {
  return IndexSheet(kAggregationSheetName, "Ac", result.ac, "p (Ac)", result.pValue,
                    result.permutations);
}

Sheet EdgeEffectSheet(const EdgeEffectResult& result, const std::string& unit) {
  Sheet sheet = IndexSheet(kEdgeEffectSheetName, "Ee", result.ee, "p (Ee)", result.pValue,
                           result.permutations);
  // The distances Ee compares, after the columns the sheet always had.
  const std::string inUnit = " (" + CoordinateUnitText(unit) + ")";
  sheet.SetTextAt(2, 4, "mean distance to the centre, single-unit MLGs" + inUnit);
  sheet.SetTextAt(2, 5, "mean distance to the centre, all units" + inUnit);
  if (std::isfinite(result.ee)) {
    if (std::isfinite(result.meanSingle)) sheet.SetNumberAt(3, 4, result.meanSingle);
    if (std::isfinite(result.meanAll)) sheet.SetNumberAt(3, 5, result.meanAll);
  }
  return sheet;
}

Sheet ClonalSubrangeSheet(const ClonalSubrangeResult& result, bool fixedClasses,
                          const std::string& unit) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, fixedClasses ? "CLONAL SUBRANGE" : "CLONAL SUBRANGE ");
  sheet.SetTextAt(1, 2, fixedClasses ? "Defined distance classes" : "N. distance classes ");
  if (!unit.empty()) sheet.SetTextAt(1, 3, DistanceUnitNote(unit));
  const char* headings[] = {"clonal subrange",
                            "minimum distance",
                            "average distance",
                            "maximum distance",
                            "p(genotypic identity)/ F(r)",
                            "log [F(r)]",
                            "nb pairs"};
  for (int col = 1; col <= 7; ++col) sheet.SetTextAt(2, col, headings[col - 1]);
  sheet.SetNumberAt(3, 1, result.subrange);
  int row = 3;
  for (const SubrangeClass& cls : result.classes) {
    sheet.SetNumberAt(row, 2, cls.minimum);
    sheet.SetNumberAt(row, 3, cls.average);
    sheet.SetNumberAt(row, 4, cls.maximum);
    sheet.SetNumberAt(row, 5, cls.same);
    // No logarithm of 0: a class without same-MLG pairs shows the text "0".
    if (cls.same > 0) {
      sheet.SetNumberAt(row, 6, std::log10(cls.same));
    } else {
      sheet.SetTextAt(row, 6, "0");
    }
    sheet.SetNumberAt(row, 7, static_cast<double>(cls.pairs));
    ++row;
  }
  return sheet;
}

}  // namespace vireltan
