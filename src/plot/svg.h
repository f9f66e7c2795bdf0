// A small SVG writer and the axis arithmetic of the charts.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nlf::plot {

using Attrs = std::vector<std::pair<std::string, std::string>>;

// Text for XML character data and attribute values (& < > " escaped;
// control characters other than tab and newline dropped).
std::string xml_escape(std::string_view s);
// A coordinate: two decimals, no trailing zeros, never "-0".
std::string num(double v);

// Builds one SVG document. Elements must be closed in order; str() closes
// whatever is still open.
class Svg {
 public:
  Svg(double width, double height);
  void open(std::string_view tag, const Attrs& attrs = {});
  void close();
  void leaf(std::string_view tag, const Attrs& attrs);
  void text(double x, double y, std::string_view content, const Attrs& attrs = {});
  // A <title> child: the tooltip a browser shows for the enclosing element.
  void title(std::string_view content);
  std::string str();

 private:
  void start(std::string_view tag, const Attrs& attrs);
  std::string out_;
  std::vector<std::string> stack_;
};

// Axis ticks at 1, 2 or 5 times a power of ten covering [lo, hi].
struct Ticks {
  double lo = 0, hi = 1;  // the axis range, widened to whole ticks
  double step = 1;
  std::vector<double> values;
};
// `target` is the wished number of intervals; `integer` keeps the step at
// least 1 (step numbers). An empty or single-valued range is widened.
Ticks nice_ticks(double lo, double hi, int target = 6, bool integer = false);
// A tick value printed with as many decimals as the step needs, or in
// exponent form for very large or small magnitudes.
std::string tick_label(double v, const Ticks& t);
// 1, 2 or 5 times a power of ten, nearest to v (v > 0).
double nice_number(double v);

// A value as an engineer reads it: plain decimals, four significant digits
// (at most six decimals) without trailing zeros, "-" for a value that is not
// a number: 176.9, 3.271, 0.01235, 12346, 2.4.
std::string plain_number(double v);

// A picture's title: what it shows and the run's title, when there is one.
std::string heading(const std::string& what, const std::string& run_title);

}  // namespace nlf::plot
