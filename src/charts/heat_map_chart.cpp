// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/heat_map_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "charts/figure_text.h"

namespace vireltan {

namespace {

// Layout units: 1/96 inch, as the network and the other charts; texts in
// points.
constexpr double kUnitsPerPoint = 96.0 / 72.0;
constexpr double kUnitsPerMm = 96.0 / 25.4;
// Average advance of a character of a sans-serif face, in ems, a little
// wide so that nothing overflows (texts are measured without a font engine).
constexpr double kCharEms = 0.6;
// A line's box around its baseline, in ems: ascent above, descent below.
constexpr double kAscentEms = 0.75, kDescentEms = 0.25;
// Names shrink down to this size before every other one is left out;
// values and marks in the cells down to it before they are left out.
constexpr double kSmallestNamePoints = 5;
constexpr double kSmallestValuePoints = 5;
// Where the ink of an asterisk lies (DejaVu Sans, in ems above the
// baseline): 0.29 to 0.74; a mark of asterisks alone is centred on it.
constexpr double kStarLowEms = 0.29, kStarHighEms = 0.74;
// No more of a name is ever laid out (in characters), however long it is.
constexpr size_t kLongestName = 40;
// Cells are never larger than this (mm) on either side, so that a few
// groups on a page do not make posters of single values.
constexpr double kLargestCellMm = 25;

// ColorBrewer's YlGnBu: light yellow (low) to dark blue (high), sequential
// and readable under the common colour blindnesses; interpolated linearly
// between its nine steps.
constexpr unsigned char kRamp[][3] = {{255, 255, 217}, {237, 248, 177}, {199, 233, 180},
                                      {127, 205, 187}, {65, 182, 196},  {29, 145, 192},
                                      {34, 94, 168},   {37, 52, 148},   {8, 29, 88}};
constexpr int kRampSteps = 9;
constexpr const char* kUndefinedFill = "#E6E6E6";
constexpr const char* kUndefinedHatch = "#B3B3B3";

std::string Num(double v) {
  if (!std::isfinite(v)) v = 0;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return std::strcmp(buffer, "-0.00") == 0 ? "0.00" : buffer;
}

// A cell's value: three significant digits, at most three decimals
// ("0.085", "0.12", "1.23"), trailing zeros dropped.
std::string CellNumber(double v) {
  const double magnitude = std::fabs(v);
  const int decimals =
      magnitude > 0 ? std::clamp(2 - static_cast<int>(std::floor(std::log10(magnitude))), 0, 3) : 0;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  std::string s = buffer;
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

// The first `chars` characters (code points) of UTF-8 `text`, reading no
// further than them.
std::string Prefix(const std::string& text, size_t chars) {
  size_t end = 0, count = 0;
  while (end < text.size()) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && count++ == chars) break;
    ++end;
  }
  return text.substr(0, end);
}

// The last `chars` characters of UTF-8 `text`, reading no further back.
std::string Suffix(const std::string& text, size_t chars) {
  size_t start = text.size(), count = 0;
  while (start > 0 && count < chars) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) ++count;
  }
  return text.substr(start);
}

// A group's name as far as it is ever drawn: its first and last characters
// (both the whole name when it is short), read once however long it is.
struct Name {
  std::string head, tail;
  bool whole = true;  // head is the whole name
  explicit Name(const std::string& raw) {
    head = Prefix(XmlSafeText(Prefix(raw, 4 * kLongestName)), kLongestName + 1);
    whole = Utf8Length(head) <= kLongestName && raw.size() <= 4 * kLongestName;
    if (!whole) {
      head = Prefix(head, kLongestName);
      tail = Suffix(XmlSafeText(Suffix(raw, 4 * kLongestName)), kLongestName);
    }
  }
  // In at most `chars` characters: its start and its end about an "…",
  // which keeps "Meadow…plot 1" and "Meadow…plot 2" apart.
  std::string Shown(size_t chars) const {
    if (whole && Utf8Length(head) <= chars) return head;
    const std::string& end = whole ? head : tail;
    chars = std::max<size_t>(chars, 3);
    const size_t back = (chars - 1) / 2, front = chars - 1 - back;
    return Prefix(head, front) + "\u2026" + Suffix(end, back);
  }
};

// Lines of `text` wrapped at `chars` characters, at most `maxLines` of
// them, the last shortened with "…" when there is more. Only the start of
// a long text is read.
std::vector<std::string> WrapLines(const std::string& text, double chars, size_t maxLines) {
  chars = std::max(4.0, std::floor(chars));
  const size_t room = static_cast<size_t>(chars) * (maxLines + 1);
  std::vector<std::string> lines = WrapText(XmlSafeText(Prefix(text, room)), chars);
  if (lines.size() > maxLines) {
    lines.resize(maxLines);
    std::string& last = lines.back();
    if (Utf8Length(last) + 1 > chars) last = Prefix(last, static_cast<size_t>(chars) - 1);
    last += "\u2026";
  }
  return lines;
}

// Advances of the printable ASCII characters (space to tilde) in DejaVu
// Sans, the widest of the faces the drawing names, in thousandths of an em.
constexpr short kAsciiAdvance[95] = {
    318, 403, 460, 838, 637, 950, 780, 275, 390, 390, 500, 838, 318, 362,  318, 335, 637, 637, 637,
    637, 637, 637, 637, 637, 637, 637, 335, 335, 838, 838, 838, 532, 1000, 713, 688, 698, 770, 630,
    575, 775, 750, 295, 295, 657, 557, 863, 747, 787, 603, 787, 695, 635,  595, 730, 685, 990, 685,
    613, 685, 390, 335, 390, 838, 500, 500, 613, 635, 550, 635, 615, 350,  635, 635, 277, 277, 580,
    277, 975, 635, 610, 635, 635, 395, 522, 392, 635, 590, 818, 590, 590,  525, 637, 335, 637, 838,
};

// Width of a line of text from its characters' advances, 2% wider for
// safety (texts are measured without a font engine): other characters
// 0.7 em up to U+0FFF, a full em from U+1000 on (CJK, and the ellipsis
// that ends a shortened name).
double TextWidth(const std::string& text, double points) {
  double ems = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c < 0x7F)
      ems += kAsciiAdvance[c - 0x20] / 1000.0;
    else if (c >= 0xE1)  // U+1000 and on
      ems += 1;
    else if (c >= 0xC0)  // U+0080 to U+0FFF
      ems += 0.7;
  }
  return 1.02 * ems * points * kUnitsPerPoint;
}

// `text` as drawn at `points` within `room`: whole when it fits, else as
// much of its start as does, ended by "…".
std::string Fitted(const std::string& text, double points, double room) {
  room += 1e-9 * (1 + room);  // (the room may be the text's width give or take rounding)
  if (TextWidth(text, points) <= room) return text;
  for (size_t chars = Utf8Length(text); chars-- > 0;) {
    const std::string cut = Prefix(text, chars) + "\u2026";
    if (chars == 0 || TextWidth(cut, points) <= room) return cut;
  }
  return "\u2026";
}

struct Rgb {
  double r, g, b;  // 0..255
};

Rgb RampColour(double t) {
  if (!std::isfinite(t)) t = 0;
  const double at = std::clamp(t, 0.0, 1.0) * (kRampSteps - 1);
  const int k = std::min(kRampSteps - 2, static_cast<int>(at));
  const double f = at - k;
  auto mix = [&](int c) { return kRamp[k][c] + (kRamp[k + 1][c] - kRamp[k][c]) * f; };
  return {mix(0), mix(1), mix(2)};
}

std::string Hex(const Rgb& c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", static_cast<int>(std::lround(c.r)),
                static_cast<int>(std::lround(c.g)), static_cast<int>(std::lround(c.b)));
  return buffer;
}

// Black or white, whichever contrasts more with `fill` (WCAG's relative
// luminance and contrast ratio).
const char* TextColourOn(const Rgb& fill) {
  auto linear = [](double c) {
    c /= 255;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  const double l = 0.2126 * linear(fill.r) + 0.7152 * linear(fill.g) + 0.0722 * linear(fill.b);
  return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? "black" : "white";
}

// The box a line of text covers around its anchor, turned by `angle`
// degrees: its extent across (x) and down (y).
struct Extent {
  double x0, x1, y0, y1;
};
Extent TurnedExtent(double start, double width, double em, double angle) {
  const double a = angle * M_PI / 180, c = std::cos(a), s = std::sin(a);
  Extent e{1e300, -1e300, 1e300, -1e300};
  for (double lx : {start, start + width})
    for (double ly : {-kAscentEms * em, kDescentEms * em}) {
      const double x = lx * c - ly * s, y = lx * s + ly * c;
      e = {std::min(e.x0, x), std::max(e.x1, x), std::min(e.y0, y), std::max(e.y1, y)};
    }
  return e;
}

double AnchorStart(const char* anchor, double width) {
  return std::strcmp(anchor, "middle") == 0 ? -width / 2
         : std::strcmp(anchor, "end") == 0  ? -width
                                            : 0;
}

class SvgWriter {
 public:
  explicit SvgWriter(std::vector<NetworkText>* texts) : texts_(texts) {}
  std::string svg;

  // A line of text with its baseline's anchor at (x, y), turned by `angle`
  // degrees about it; recorded as covering `ascent` ems above the baseline
  // down to `descent` ems below it.
  void Text(double x, double y, const std::string& text, double points, const char* anchor,
            bool bold = false, const char* fill = "black", double angle = 0,
            double ascent = kAscentEms, double descent = kDescentEms) {
    svg += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" +
           Num(points * kUnitsPerPoint) + "\" text-anchor=\"" + anchor + "\" fill=\"" + fill +
           "\"" + (bold ? " font-weight=\"bold\"" : "") +
           (angle != 0 ? " transform=\"rotate(" + Num(angle) + " " + Num(x) + " " + Num(y) + ")\""
                       : "") +
           ">" + XmlEscapedText(text) + "</text>\n";
    if (!texts_) return;
    const std::string safe = XmlSafeText(text);
    const double em = points * kUnitsPerPoint, width = TextWidth(safe, points);
    const double a = angle * M_PI / 180, c = std::cos(a), s = std::sin(a);
    const double lx = AnchorStart(anchor, width), ly = -ascent * em;
    texts_->push_back({safe, points, (x + lx * c - ly * s) / kUnitsPerMm,
                       (y + lx * s + ly * c) / kUnitsPerMm, width / kUnitsPerMm,
                       (ascent + descent) * em / kUnitsPerMm, angle});
  }
  void Rect(double x, double y, double w, double h, const std::string& fill,
            const std::string& stroke = "", double strokeWidth = 0) {
    svg +=
        "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(std::max(0.0, w)) +
        "\" height=\"" + Num(std::max(0.0, h)) + "\" fill=\"" + fill + "\"" +
        (stroke.empty() ? ""
                        : " stroke=\"" + stroke + "\" stroke-width=\"" + Num(strokeWidth) + "\"") +
        "/>\n";
  }
  void Line(double x1, double y1, double x2, double y2, const char* stroke, double width) {
    svg += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
           Num(y2) + "\" stroke=\"" + stroke + "\" stroke-width=\"" + Num(width) + "\"/>\n";
  }
  // Light grey with thin diagonal lines: a pair whose value is undefined.
  // The lines are clipped by hand (no <pattern>, which not every SVG
  // renderer draws).
  void Hatched(double x, double y, double w, double h) {
    Rect(x, y, w, h, kUndefinedFill);
    const double spacing = 3 * kUnitsPerPoint;
    for (double t = -h + spacing / 2; t < w; t += spacing) {
      const double a0 = std::max(0.0, -t), a1 = std::min(h, w - t);
      if (a1 > a0)
        Line(x + t + a0, y + h - a0, x + t + a1, y + h - a1, kUndefinedHatch, 0.4 * kUnitsPerPoint);
    }
  }

 private:
  std::vector<NetworkText>* texts_;
};

// The colour scale's ticks and their labels.
struct Ticks {
  double step = 0;
  std::vector<double> values;
  std::vector<std::string> labels;
};

// `value` with `decimals` decimals at most, trailing zeros dropped ("0.06",
// "0", "-0.03").
std::string TickLabel(double value, int decimals) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string s = buffer;
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

// Every set of round ticks within lo..hi in the order they are preferred:
// 3 to 5 multiples of a step of 1, 2 or 5 times a power of ten, then of 3
// or 4 times one (-0.03, 0, 0.03, 0.06, 0.09 between -0.038 and 0.099, where
// steps of 0.02 give six ticks and of 0.05 two), then two multiples of a
// step of 1, 2 or 5 times one; each kind the finest step first. Labelled
// with the decimals of the step's power of ten.
std::vector<Ticks> RoundTicks(double lo, double hi) {
  std::vector<Ticks> all;
  const double range = hi - lo;
  if (!(range > 0) || !std::isfinite(range)) return all;
  const int decade = static_cast<int>(std::floor(std::log10(range)));
  auto add = [&](std::initializer_list<double> multiples, int fewest, int most) {
    for (int e = decade - 2; e <= decade + 1; ++e)
      for (double multiple : multiples) {
        const double power = std::pow(10.0, e), step = multiple * power;
        const double first = std::ceil(lo / step - 1e-9), last = std::floor(hi / step + 1e-9);
        const int count = static_cast<int>(last - first) + 1;
        if (count < fewest || count > most) continue;
        Ticks ticks;
        ticks.step = step;
        for (int k = 0; k < count; ++k) {
          // From the integer multiple of the power of ten, which keeps 0.3
          // from reading 0.30000000000000004.
          const double units = std::round((first + k) * multiple);
          ticks.values.push_back(e >= 0 ? units * power : units / std::pow(10.0, -e));
          ticks.labels.push_back(TickLabel(ticks.values.back(), std::max(0, -e)));
        }
        all.push_back(std::move(ticks));
      }
  };
  add({1, 2, 5}, 3, 5);
  add({3, 4}, 3, 5);
  add({1, 2, 5}, 2, 2);
  return all;
}

// The ticks of a scale from lo to hi, at least `least` apart so that their
// labels stay apart: the first round ones that are, else (a bar too short)
// lo, the middle and hi.
Ticks ScaleTicks(double lo, double hi, double least) {
  for (Ticks& ticks : RoundTicks(lo, hi))
    if (ticks.step >= least) return ticks;
  Ticks ends;
  for (double t : {lo, (lo + hi) / 2, hi}) {
    ends.values.push_back(t);
    ends.labels.push_back(FigureNumber(t));
  }
  return ends;
}

}  // namespace

std::string HeatMapSvg(const HeatMapChart& chart, const FigureOptions& options,
                       std::vector<NetworkText>* texts) {
  const double W = options.widthMm * kUnitsPerMm, H = options.heightMm * kUnitsPerMm;
  const double u = kUnitsPerPoint;
  const double font = options.fontPoints * u, titleFont = options.titlePoints * u;
  const double pad = 4 * u, gap = 0.4 * font;
  SvgWriter out(texts);
  out.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out.svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(options.widthMm) +
             "mm\" height=\"" + Num(options.heightMm) + "mm\" viewBox=\"0 0 " + Num(W) + " " +
             Num(H) + "\">\n";
  out.svg += "<title>" + XmlEscapedText(Prefix(chart.title, 1000)) + "</title>\n";
  out.svg += "<rect width=\"" + Num(W) + "\" height=\"" + Num(H) + "\" fill=\"white\"/>\n";

  // Title, centred and wrapped (three lines at most).
  double top = pad;
  if (options.showTitle && !chart.title.empty()) {
    for (const std::string& line :
         WrapLines(chart.title, (W - 2 * pad) / (titleFont * kCharEms), 3)) {
      top += titleFont;
      out.Text(W / 2, top, line, options.titlePoints, "middle", true);
      top += titleFont * 0.25;
    }
    top += pad;
  }
  // The foot, one line (wrapped if it must be) at the bottom.
  double bottom = H - pad;
  if (!chart.foot.empty()) {
    const std::vector<std::string> lines =
        WrapLines(chart.foot, (W - 2 * pad) / (font * kCharEms), 3);
    bottom -= lines.size() * font * 1.2;
    for (size_t k = 0; k < lines.size(); ++k)
      out.Text(pad, bottom + (k + kAscentEms) * font * 1.2, lines[k], options.fontPoints, "start");
    bottom -= pad;
  }

  const int n = static_cast<int>(chart.groups.size());
  if (n < 2) {
    out.Text(W / 2, (top + bottom) / 2, "no pairs of populations", options.fontPoints, "middle");
    out.svg += "</svg>\n";
    return out.svg;
  }
  const int m = n - 1;  // rows: groups 2..n; columns: groups 1..n-1

  // Values, undefined where missing or not finite, and the colour scale.
  auto valueAt = [&](int i, int j) -> std::optional<double> {
    const size_t at = static_cast<size_t>(i) * (i - 1) / 2 + j;
    if (at >= chart.values.size() || !chart.values[at] || !std::isfinite(*chart.values[at]))
      return std::nullopt;
    return chart.values[at];
  };
  auto markAt = [&](int i, int j) -> std::string {
    const size_t at = static_cast<size_t>(i) * (i - 1) / 2 + j;
    return at < chart.marks.size() ? Prefix(chart.marks[at], 3) : std::string();
  };
  double lo = 0, hi = 0;
  bool anyValue = false, anyUndefined = false, starsOnly = true;
  // The widest value with its mark and the widest mark alone, per point.
  double widestValue = 0, widestMark = 0;
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const std::optional<double> v = valueAt(i, j);
      if (!v) {
        anyUndefined = true;
        continue;
      }
      lo = std::min(lo, *v);
      hi = anyValue ? std::max(hi, *v) : *v;
      anyValue = true;
      const std::string mark = XmlSafeText(markAt(i, j));
      widestValue = std::max(widestValue, TextWidth(CellNumber(*v) + mark, 1));
      widestMark = std::max(widestMark, TextWidth(mark, 1));
      starsOnly = starsOnly && mark.find_first_not_of('*') == std::string::npos;
    }
  hi = std::max(hi, lo);
  // All values alike: a tiny range, every cell the lightest colour.
  const bool flat = !(hi - lo > 1e-12 * std::max(1.0, std::fabs(hi)));
  const double span = flat ? std::max(1e-12, std::fabs(lo) * 1e-9) : hi - lo;
  auto position = [&](double v) { return std::clamp((v - lo) / span, 0.0, 1.0); };

  // The names, read once (a long name costs only its first characters).
  std::vector<Name> names;
  names.reserve(n);
  for (const std::string& group : chart.groups) names.emplace_back(group);

  // The legend: its title, a bar with ticks, and a swatch for undefined
  // pairs. Its width is at most a quarter of the figure's.
  const double legendMaxWidth = W / 4;
  const std::vector<std::string> legendTitle =
      chart.legendTitle.empty()
          ? std::vector<std::string>{}
          : WrapLines(chart.legendTitle, legendMaxWidth / (font * kCharEms), 2);
  const double barWidth = 0.9 * font;
  const std::string undefinedText = "undefined";
  double legendWidth = barWidth + gap;
  if (flat) {
    legendWidth += TextWidth(FigureNumber(lo), options.fontPoints);
  } else {
    // Room for the labels of whichever round ticks the bar's length allows.
    for (const Ticks& ticks : RoundTicks(lo, hi))
      for (const std::string& label : ticks.labels)
        legendWidth = std::max(legendWidth, barWidth + gap + TextWidth(label, options.fontPoints));
  }
  for (const std::string& line : legendTitle)
    legendWidth = std::max(legendWidth, TextWidth(line, options.fontPoints));
  if (anyUndefined)
    legendWidth =
        std::max(legendWidth, barWidth + gap + TextWidth(undefinedText, options.fontPoints));
  legendWidth = std::min(legendWidth, legendMaxWidth);
  const double legendFixed =
      legendTitle.size() * font * 1.2 + 0.5 * font + 0.5 * font + (anyUndefined ? 1.6 * font : 0);
  // The bar is long enough for 3 or more round ticks with their labels apart
  // (the coarsest such ticks, up to 8 lines), and never shorter than 2.4.
  const double tickSpacing = 1.15 * font;
  double smallestBar = flat ? font : 2.4 * font;
  if (!flat) {
    double enough = 8 * font;
    for (const Ticks& ticks : RoundTicks(lo, hi))
      if (ticks.values.size() >= 3) enough = std::min(enough, tickSpacing * (hi - lo) / ticks.step);
    smallestBar = std::max(smallestBar, enough);
  }

  struct Layout {
    double namePoints = 0;
    int step = 1;
    bool corner = false;
    double angle = 0;
    double x0 = 0, y0 = 0, cellW = 0, cellH = 0;
    double legendX = 0, legendY = 0, barHeight = 0;
    double valuePoints = 0;          // values (with their marks) in the cells, 0: none
    double markPoints = 0;           // marks alone in the cells (no values), 0: none
    std::vector<std::string> shown;  // names as drawn
  };
  // Lays the grid out with names at `points`, every `step`-th name shown,
  // the legend in the empty corner above the diagonal or beside the grid;
  // false when something does not fit (unless `force`).
  auto attempt = [&](double points, int step, bool corner, bool force, Layout& l) {
    l = Layout{};
    l.namePoints = points;
    l.step = step;
    l.corner = corner;
    const double em = points * u, line = 1.1 * em, nameGap = 0.4 * em;
    const size_t chars = static_cast<size_t>(
        std::clamp(std::floor(0.3 * std::min(W, H) / (em * kCharEms)), 4.0, double(kLongestName)));
    l.shown.resize(n);
    for (int i = 0; i < n; ++i) l.shown[i] = names[i].Shown(chars);
    auto rowShown = [&](int r) { return r % step == 0; };
    double rowWidth = 0, colWidth = 0;
    for (int r = 0; r < m; ++r)
      if (rowShown(r)) {
        rowWidth = std::max(rowWidth, TextWidth(l.shown[r + 1], points));
        colWidth = std::max(colWidth, TextWidth(l.shown[r], points));
      }
    double x0 = pad + rowWidth + nameGap;
    const double x1 = W - pad - (corner ? 0 : legendWidth + 2 * gap);
    const double largest = kLargestCellMm * kUnitsPerMm;
    double cellW = std::min(largest, (x1 - x0) / m);
    if (!(cellW > 0) && !force) return false;
    cellW = std::max(cellW, 0.01);
    // Column names: level if they fit their column, else turned by 45 degrees
    // (if they stay on the page) or 90.
    double colHeight = 0;
    bool fits = false;
    for (double angle : {0.0, -45.0, -90.0}) {
      if (angle == 0 && colWidth + nameGap > step * cellW) continue;
      if (angle == -45 && line > step * cellW * M_SQRT1_2) continue;
      if (angle == -90 && line > step * cellW && !force) continue;
      double left = 1e300;
      colHeight = 0;
      for (int c = 0; c < m; c += step) {
        const double w = TextWidth(l.shown[c], points);
        const Extent e = TurnedExtent(angle == 0 ? -w / 2 : -w, w, em, angle);
        const double shift = angle == 0 ? 0 : 0.25 * em * std::sin(angle * M_PI / 180);
        left = std::min(left, x0 + (c + 0.5) * cellW - shift + e.x0);
        colHeight = std::max(colHeight, e.y1 - e.y0);
      }
      if (angle == -45 && left < pad) {
        // Move the grid right so that the first names stay on the page.
        x0 += pad - left;
        cellW = std::max(0.01, std::min(largest, (x1 - x0) / m));
        if (line > step * cellW * M_SQRT1_2) continue;
      }
      l.angle = angle;
      fits = true;
      break;
    }
    if (!fits && !force) return false;
    colHeight += nameGap;
    double cellH = std::min(largest, (bottom - colHeight - top) / m);
    if (!(cellH > 0) && !force) return false;
    cellH = std::max(cellH, 0.01);
    if (line > step * cellH && !force) return false;
    // The legend: in the corner the triangle leaves empty, or beside it.
    if (corner) {
      // Right-aligned with the grid, it spans the last `columns` columns,
      // which are empty down to row m - columns.
      const int columns = static_cast<int>(std::ceil((legendWidth + gap) / cellW));
      const double roomH = (m - columns) * cellH - gap;
      if (columns >= m || legendFixed + smallestBar > roomH) return false;
      l.barHeight = std::min(roomH - legendFixed, 10 * font);
    } else {
      const double room = bottom - top;
      if (legendFixed + smallestBar > room && !force) return false;
      l.barHeight = std::clamp(m * cellH - legendFixed, smallestBar,
                               std::max(smallestBar, std::min(10 * font, room - legendFixed)));
    }
    if (flat) l.barHeight = std::min(l.barHeight, font);
    // What is left over is shared on both sides.
    l.x0 = x0 + std::max(0.0, (x1 - x0 - m * cellW) / 2);
    l.y0 = top + std::max(0.0, (bottom - colHeight - top - m * cellH) / 2);
    l.cellW = cellW;
    l.cellH = cellH;
    l.legendX = corner ? l.x0 + m * cellW - legendWidth : l.x0 + m * cellW + 2 * gap;
    l.legendY = l.y0;
    // The values as large as the cells let them be, down to 5 points; else
    // the marks alone.
    const double smallest = std::min(kSmallestValuePoints, options.fontPoints);
    auto fitting = [&](double perPoint, double tallEms) {
      const double fit = std::min(cellW / (perPoint + 0.1 * u), cellH / (tallEms * u));
      const double points =
          fit >= options.fontPoints ? options.fontPoints : std::floor(2 * fit + 1e-9) / 2;
      return points >= smallest - 1e-9 ? points : 0.0;
    };
    if (anyValue) l.valuePoints = fitting(widestValue, 1.1);
    if (anyValue && l.valuePoints == 0 && widestMark > 0)
      l.markPoints = fitting(widestMark, starsOnly ? 1.1 * (kStarHighEms - kStarLowEms) : 1.1);
    return true;
  };
  // Largest names first, all of them shown if they can be; the legend in
  // the corner if it fits there.
  Layout layout;
  bool found = false;
  for (int step = 1; step <= m && !found; ++step)
    for (double points = options.fontPoints; !found; points -= 0.5) {
      for (bool corner : {true, false})
        if (!found && attempt(points, step, corner, false, layout)) found = true;
      if (points - 0.5 < std::min(kSmallestNamePoints, options.fontPoints) - 1e-9) break;
    }
  if (!found) attempt(std::min(kSmallestNamePoints, options.fontPoints), m, false, true, layout);

  // Cells.
  const double em = layout.namePoints * u;
  const double stroke = std::min(0.5 * u, 0.08 * std::min(layout.cellW, layout.cellH));
  for (int r = 0; r < m; ++r)
    for (int c = 0; c <= r; ++c) {
      const double x = layout.x0 + c * layout.cellW, y = layout.y0 + r * layout.cellH;
      const std::optional<double> v = valueAt(r + 1, c);
      if (!v) {
        out.Hatched(x, y, layout.cellW, layout.cellH);
        continue;
      }
      const Rgb fill = RampColour(position(*v));
      out.Rect(x, y, layout.cellW, layout.cellH, Hex(fill), "white", stroke);
      const double cx = x + layout.cellW / 2, cy = y + layout.cellH / 2;
      if (layout.valuePoints > 0) {
        out.Text(cx, cy + 0.3 * layout.valuePoints * u, CellNumber(*v) + markAt(r + 1, c),
                 layout.valuePoints, "middle", false, TextColourOn(fill));
      } else if (layout.markPoints > 0 && !markAt(r + 1, c).empty()) {
        // The mark alone, its ink (asterisks) or its line centred in the cell.
        const double markEm = layout.markPoints * u;
        if (starsOnly)
          out.Text(cx, cy + 0.5 * (kStarLowEms + kStarHighEms) * markEm, markAt(r + 1, c),
                   layout.markPoints, "middle", false, TextColourOn(fill), 0, kStarHighEms + 0.02,
                   -kStarLowEms + 0.02);
        else
          out.Text(cx, cy + 0.3 * markEm, markAt(r + 1, c), layout.markPoints, "middle", false,
                   TextColourOn(fill));
      }
    }
  // Names: rows at the left, columns below.
  for (int r = 0; r < m; r += layout.step)
    out.Text(layout.x0 - 0.4 * em, layout.y0 + (r + 0.5) * layout.cellH + 0.3 * em,
             layout.shown[r + 1], layout.namePoints, "end");
  const double gridBottom = layout.y0 + m * layout.cellH + 0.4 * em;
  for (int c = 0; c < m; c += layout.step) {
    const double cx = layout.x0 + (c + 0.5) * layout.cellW;
    const std::string& name = layout.shown[c];
    if (layout.angle == 0) {
      out.Text(cx, gridBottom + kAscentEms * em, name, layout.namePoints, "middle");
      continue;
    }
    const double w = TextWidth(name, layout.namePoints);
    const Extent e = TurnedExtent(-w, w, em, layout.angle);
    out.Text(cx - 0.25 * em * std::sin(layout.angle * M_PI / 180), gridBottom - e.y0, name,
             layout.namePoints, "end", false, "black", layout.angle);
  }

  // The legend: title, the bar (low at the bottom) with its ticks, the
  // undefined swatch.
  double y = layout.legendY;
  const double lx = layout.legendX;
  for (const std::string& line : legendTitle) {
    out.Text(lx, y + kAscentEms * font, line, options.fontPoints, "start");
    y += 1.2 * font;
  }
  y += 0.5 * font;
  const double barTop = y, barHeight = layout.barHeight;
  const double labelRoom = legendWidth - barWidth - gap;
  const auto tickText = [&](const std::string& label) {
    return Fitted(label, options.fontPoints, labelRoom);
  };
  if (flat) {
    out.Rect(lx, barTop, barWidth, barHeight, Hex(RampColour(0)), "black", 0.3 * u);
    out.Text(lx + barWidth + gap, barTop + barHeight / 2 + 0.3 * font, tickText(FigureNumber(lo)),
             options.fontPoints, "start");
  } else {
    out.svg +=
        "<defs><linearGradient id=\"vireltan-heat-scale\" x1=\"0\" y1=\"1\" x2=\"0\" y2=\"0\">";
    for (int k = 0; k < kRampSteps; ++k)
      out.svg += "<stop offset=\"" + Num(k / double(kRampSteps - 1)) + "\" stop-color=\"" +
                 Hex({double(kRamp[k][0]), double(kRamp[k][1]), double(kRamp[k][2])}) + "\"/>";
    out.svg += "</linearGradient></defs>\n";
    out.Rect(lx, barTop, barWidth, barHeight, "url(#vireltan-heat-scale)", "black", 0.3 * u);
    const Ticks ticks = ScaleTicks(lo, hi, (1 - 1e-9) * tickSpacing * (hi - lo) / barHeight);
    for (size_t k = 0; k < ticks.values.size(); ++k) {
      const double ty = barTop + barHeight * (1 - position(ticks.values[k]));
      out.Line(lx + barWidth, ty, lx + barWidth + 0.25 * gap + 0.1 * font, ty, "black", 0.3 * u);
      out.Text(lx + barWidth + gap, ty + 0.3 * font, tickText(ticks.labels[k]), options.fontPoints,
               "start");
    }
  }
  y = barTop + barHeight + 0.5 * font;
  if (anyUndefined) {
    y += 0.3 * font;
    out.Hatched(lx, y, barWidth, font);
    out.Text(lx + barWidth + gap, y + 0.8 * font,
             Fitted(undefinedText, options.fontPoints, labelRoom), options.fontPoints, "start");
  }
  out.svg += "</svg>\n";
  return out.svg;
}

}  // namespace vireltan
