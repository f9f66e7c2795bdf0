#include "plot/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nlf::plot {

std::string xml_escape(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') r += c;
    }
  }
  return r;
}

std::string num(double v) {
  if (!std::isfinite(v)) return "0";
  char b[64];
  std::snprintf(b, sizeof b, "%.2f", v);
  std::string s = b;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

Svg::Svg(double width, double height) {
  out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  start("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                {"width", num(width)},
                {"height", num(height)},
                {"viewBox", "0 0 " + num(width) + " " + num(height)},
                {"font-family", "sans-serif"},
                {"font-size", "12"}});
  out_ += ">\n";
  stack_.push_back("svg");
}

void Svg::start(std::string_view tag, const Attrs& attrs) {
  out_ += std::string(2 * stack_.size(), ' ');
  out_ += '<';
  out_ += tag;
  for (const auto& [k, v] : attrs) {
    out_ += ' ';
    out_ += k;
    out_ += "=\"";
    out_ += xml_escape(v);
    out_ += '"';
  }
}

void Svg::open(std::string_view tag, const Attrs& attrs) {
  start(tag, attrs);
  out_ += ">\n";
  stack_.emplace_back(tag);
}

void Svg::close() {
  if (stack_.empty()) return;
  const std::string tag = stack_.back();
  stack_.pop_back();
  out_ += std::string(2 * stack_.size(), ' ') + "</" + tag + ">\n";
}

void Svg::leaf(std::string_view tag, const Attrs& attrs) {
  start(tag, attrs);
  out_ += "/>\n";
}

void Svg::text(double x, double y, std::string_view content, const Attrs& attrs) {
  Attrs a{{"x", num(x)}, {"y", num(y)}};
  a.insert(a.end(), attrs.begin(), attrs.end());
  start("text", a);
  out_ += '>' + xml_escape(content) + "</text>\n";
}

void Svg::title(std::string_view content) {
  out_ += std::string(2 * stack_.size(), ' ') + "<title>" + xml_escape(content) + "</title>\n";
}

std::string Svg::str() {
  while (!stack_.empty()) close();
  return out_;
}

double nice_number(double v) {
  const double p = std::pow(10.0, std::floor(std::log10(v)));
  const double m = v / p;
  return (m < 1.5 ? 1 : m < 3.5 ? 2 : m < 7.5 ? 5 : 10) * p;
}

Ticks nice_ticks(double lo, double hi, int target, bool integer) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0;
  if (lo > hi) std::swap(lo, hi);
  if (hi - lo <= 1e-12 * std::max(std::fabs(lo), std::fabs(hi))) {
    const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.1;
    lo -= pad;
    hi += pad;
  }
  Ticks t;
  // The smallest round step that needs no more than `target` intervals.
  const double raw = (hi - lo) / std::max(target, 1);
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / p;
  t.step = (m <= 1 + 1e-9 ? 1 : m <= 2 + 1e-9 ? 2 : m <= 5 + 1e-9 ? 5 : 10) * p;
  if (integer) t.step = std::max(t.step, 1.0);
  t.lo = std::floor(lo / t.step + 1e-9) * t.step;
  t.hi = std::ceil(hi / t.step - 1e-9) * t.step;
  const long n = std::lround((t.hi - t.lo) / t.step);
  for (long i = 0; i <= n; ++i) {
    double v = t.lo + static_cast<double>(i) * t.step;
    if (std::fabs(v) < t.step * 1e-9) v = 0;
    t.values.push_back(v);
  }
  return t;
}

std::string tick_label(double v, const Ticks& t) {
  char b[64];
  const double mag = std::max(std::fabs(t.lo), std::fabs(t.hi));
  if (v == 0) return "0";
  if (mag >= 1e6 || mag < 1e-3) {
    std::snprintf(b, sizeof b, "%.3g", v);
    return b;
  }
  const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(t.step) - 1e-9)));
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  return b;
}

std::string heading(const std::string& what, const std::string& run_title) {
  return run_title.empty() ? what : what + " \u2014 " + run_title;
}

std::string plain_number(double v) {
  if (!std::isfinite(v)) return "-";
  if (v == 0) return "0";
  const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(v))));
  const int decimals = std::clamp(3 - magnitude, 0, 6);
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  std::string t = b;
  if (t.find('.') != std::string::npos) {
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
  }
  if (t == "-0" || t == "0") return "0";  // rounds to zero
  return t;
}

}  // namespace nlf::plot
