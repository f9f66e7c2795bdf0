// Editing one value into one field. Digits come from std::to_chars with an
// explicit precision, which rounds the exact binary value to nearest with
// ties to even, so every field is correctly rounded.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "io/format_node.h"

namespace nlf::format_detail {

namespace {

using K = Format::Node::K;

// ---- field editing ----------------------------------------------------

void stars(std::string& r, int w) { r.append(static_cast<std::size_t>(w), '*'); }

void right(std::string& r, int w, std::string_view s) {
  if (static_cast<int>(s.size()) > w) return stars(r, w);
  r.append(static_cast<std::size_t>(w) - s.size(), ' ');
  r.append(s);
}

void edit_nonfinite(std::string& r, int w, double x) {
  if (std::isnan(x)) return right(r, w, "NaN");
  if (x > 0) return right(r, w, w >= 8 ? "Infinity" : "Inf");
  right(r, w, w >= 9 ? "-Infinity" : "-Inf");
}

void edit_int(std::string& r, int w, int m, std::int64_t v) {
  std::array<char, 32> b;
  char* e = b.data() + b.size();
  char* p = e;
  std::uint64_t a = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  int nd = 0;
  while (a != 0) {
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
    ++nd;
  }
  int minimum = m < 0 ? 1 : m;
  if (minimum > 20) return stars(r, w);
  for (; nd < minimum; ++nd) *--p = '0';
  if (v < 0) *--p = '-';
  right(r, w, std::string_view(p, static_cast<std::size_t>(e - p)));
}

// The decimal exponent that to_chars wrote after 'e' (text is not terminated).
int exponent_of(const char* e, const char* end) {
  int sign = 1, v = 0;
  for (++e; e < end; ++e) {
    if (*e == '-')
      sign = -1;
    else if (*e >= '0' && *e <= '9')
      v = v * 10 + (*e - '0');
  }
  return sign * v;
}

// Room for 309 integer digits of the largest double plus the decimals.
constexpr int kDigitBuf = 2400;

void edit_f(std::string& r, int w, int d, int scale, double x) {
  if (!std::isfinite(x)) return edit_nonfinite(r, w, x);
  bool neg = std::signbit(x);
  double ax = std::fabs(x);
  int prec = d + scale;
  if (prec < 0) {  // a large negative scale: scale the value itself
    ax *= std::pow(10.0, scale);
    prec = d;
    scale = 0;
  }
  std::array<char, kDigitBuf> b;
  auto res = std::to_chars(b.data(), b.data() + b.size(), ax, std::chars_format::fixed, prec);
  // All digits in a row, and where the point falls among them.
  std::array<char, kDigitBuf> dg;
  int nd = 0, intlen = -1;
  for (char* q = b.data(); q != res.ptr; ++q) {
    if (*q == '.')
      intlen = nd;
    else
      dg[nd++] = *q;
  }
  if (intlen < 0) intlen = nd;
  int point = intlen + scale;  // scaling by 10^k moves the point k places
  // Integer part without leading zeros; fraction exactly d digits.
  int lead = 0;
  while (lead < point && lead < nd && dg[lead] == '0') ++lead;
  int ilen = point - lead;  // may be <= 0 when the integer part is zero
  bool zero_int = ilen <= 0;
  int len = (neg ? 1 : 0) + (zero_int ? 1 : ilen) + 1 + d;
  bool drop_zero = false;
  if (len > w && zero_int && d > 0) {
    drop_zero = true;
    --len;
  }
  if (len > w) return stars(r, w);
  r.append(static_cast<std::size_t>(w - len), ' ');
  if (neg) r.push_back('-');
  if (zero_int) {
    if (!drop_zero) r.push_back('0');
  } else {
    r.append(dg.data() + lead, static_cast<std::size_t>(ilen));
  }
  r.push_back('.');
  for (int i = 0; i < d; ++i) {
    int pos = point + i;
    r.push_back(pos >= 0 && pos < nd ? dg[pos] : '0');
  }
}

void edit_e(std::string& r, int w, int d, int scale, double x, char letter) {
  if (!std::isfinite(x)) return edit_nonfinite(r, w, x);
  int k = scale;
  if (k <= -d || k > d + 1) return stars(r, w);
  bool neg = std::signbit(x);
  double ax = std::fabs(x);
  int nsig = k > 0 ? d + 1 : d + k;
  std::array<char, 1100> b;
  auto res = std::to_chars(b.data(), b.data() + b.size(), ax, std::chars_format::scientific,
                           nsig - 1);
  std::array<char, 1100> dg;
  int nd = 0;
  char* q = b.data();
  for (; q != res.ptr && *q != 'e'; ++q)
    if (*q != '.') dg[nd++] = *q;
  int e10 = exponent_of(q, res.ptr);
  int expo = ax == 0 ? 0 : e10 + 1 - k;
  int aexp = std::abs(expo);
  if (aexp > 999) return stars(r, w);
  int mant = k > 0 ? nsig + 1 : 2 - k + nsig;  // digits and point, "0." form for k <= 0
  int len = (neg ? 1 : 0) + mant + 4;
  bool drop_zero = false;
  if (len > w && k <= 0) {
    drop_zero = true;
    --len;
  }
  if (len > w) return stars(r, w);
  r.append(static_cast<std::size_t>(w - len), ' ');
  if (neg) r.push_back('-');
  if (k > 0) {
    r.append(dg.data(), static_cast<std::size_t>(k));
    r.push_back('.');
    r.append(dg.data() + k, static_cast<std::size_t>(nsig - k));
  } else {
    if (!drop_zero) r.push_back('0');
    r.push_back('.');
    r.append(static_cast<std::size_t>(-k), '0');
    r.append(dg.data(), static_cast<std::size_t>(nsig));
  }
  if (aexp <= 99) {
    r.push_back(letter);
    r.push_back(expo < 0 ? '-' : '+');
    r.push_back(static_cast<char>('0' + aexp / 10));
    r.push_back(static_cast<char>('0' + aexp % 10));
  } else {  // three exponent digits take the letter's place
    r.push_back(expo < 0 ? '-' : '+');
    r.push_back(static_cast<char>('0' + aexp / 100));
    r.push_back(static_cast<char>('0' + aexp / 10 % 10));
    r.push_back(static_cast<char>('0' + aexp % 10));
  }
}

void edit_g(std::string& r, int w, int d, int scale, double x) {
  if (!std::isfinite(x)) return edit_nonfinite(r, w, x);
  int n = 1;  // decimal exponent of the value rounded to d digits; zero counts as 1
  if (x != 0) {
    std::array<char, 1100> b;
    auto res = std::to_chars(b.data(), b.data() + b.size(), std::fabs(x),
                             std::chars_format::scientific, d - 1);
    const char* e = b.data();
    while (e != res.ptr && *e != 'e') ++e;
    n = exponent_of(e, res.ptr) + 1;
  }
  if (n < 0 || n > d || w <= 4) return edit_e(r, w, d, scale, x, 'E');
  edit_f(r, w - 4, d - n, 0, x);
  r.append(4, ' ');
}

[[noreturn]] void bad_item(const char* what) {
  throw std::invalid_argument(std::string("format item: ") + what);
}

double real_of(const Item& it) {
  if (it.kind == Item::Kind::Real) return it.d;
  if (it.kind == Item::Kind::Int) return static_cast<double>(it.i);
  bad_item("a text given to a numeric descriptor");
}

}  // namespace

void edit(std::string& r, const Format::Node& n, const Item& it, int scale) {
  switch (n.k) {
    case K::I:
      if (it.kind != Item::Kind::Int) bad_item("an I descriptor needs an integer");
      return edit_int(r, n.w, n.d, it.i);
    case K::F:
      return edit_f(r, n.w, n.d, scale, real_of(it));
    case K::E:
      return edit_e(r, n.w, n.d, scale, real_of(it), 'E');
    case K::D:
      return edit_e(r, n.w, n.d, scale, real_of(it), 'D');
    case K::G:
      return edit_g(r, n.w, n.d, scale, real_of(it));
    case K::A:
      if (it.kind != Item::Kind::Text) bad_item("an A descriptor needs a text");
      if (n.w < 0) {
        r.append(it.s);
      } else if (it.s.size() >= static_cast<std::size_t>(n.w)) {
        r.append(it.s.substr(0, static_cast<std::size_t>(n.w)));
      } else {
        r.append(static_cast<std::size_t>(n.w) - it.s.size(), ' ');
        r.append(it.s);
      }
      return;
    default:
      return;
  }
}

}  // namespace nlf::format_detail
