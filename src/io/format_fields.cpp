// Editing one value into one field. Every field is correctly rounded: the
// digits come from std::to_chars with an explicit precision, which rounds the
// exact binary value to nearest with ties to even, or for the common short
// fields from a scaled integer whose rounding is sure to be the same.
// Fields are a few characters wide: their padding and digit loops stay
// loops rather than becoming calls of memset and memcpy.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-loop-distribute-patterns")
#endif

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "io/format_quick.h"

namespace nlf::format_detail {

namespace {

using K = Format::Node::K;

// ---- field editing ----------------------------------------------------

void right(char*& o, int w, std::string_view s) {
  if (static_cast<int>(s.size()) > w) return stars(o, w);
  fill(o, w - static_cast<int>(s.size()), ' ');
  copy(o, s.data(), s.size());
}

void edit_nonfinite(char*& o, int w, double x) {
  if (std::isnan(x)) return right(o, w, "NaN");
  if (x > 0) return right(o, w, w >= 8 ? "Infinity" : "Inf");
  right(o, w, w >= 9 ? "-Infinity" : "-Inf");
}

void edit_int(char*& o, int w, int m, std::int64_t v) {
  if (edit_short_int(o, w, m, v)) return;
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
  if (minimum > 20) return stars(o, w);
  for (; nd < minimum; ++nd) *--p = '0';
  if (v < 0) *--p = '-';
  const int len = static_cast<int>(e - p);
  if (len > w) return stars(o, w);
  fill(o, w - len, ' ');
  for (; p != e; ++p) *o++ = *p;
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

// ---- digits -----------------------------------------------------------

// The decimal digits of v, at least `min` of them (leading zeros added);
// returns their count.
int integer_digits(std::uint64_t v, int min, char* dg) {
  char t[24];
  int n = 0;
  do {
    t[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < min) t[n++] = '0';
  for (int i = 0; i < n; ++i) dg[i] = t[n - 1 - i];
  return n;
}

// Fixed-point digits of ax with prec decimals: all digits in a row, and how
// many of them stand before the point.
void fixed_digits(double ax, int prec, char* dg, int& nd, int& intlen) {
  std::uint64_t v;
  if (prec <= 15 && round_scaled(ax, prec, v)) {
    nd = integer_digits(v, prec + 1, dg);
    intlen = nd - prec;
    return;
  }
  std::array<char, kDigitBuf> b;
  auto res = std::to_chars(b.data(), b.data() + b.size(), ax, std::chars_format::fixed, prec);
  nd = 0;
  intlen = -1;
  for (char* q = b.data(); q != res.ptr; ++q) {
    if (*q == '.')
      intlen = nd;
    else
      dg[nd++] = *q;
  }
  if (intlen < 0) intlen = nd;
}

// The first nsig significant digits of ax (ax > 0, nsig <= 15) as the
// integer v, 10^(nsig-1) <= v < 10^nsig, and the decimal exponent e of the
// first, when the quick way is sure of them.
bool scaled_digits(double ax, int nsig, std::uint64_t& v, int& e) {
  // First guess of the decimal exponent from the binary one (e2 log10 2,
  // rounded down); the loop corrects it by one either way.
  std::uint64_t bits;
  std::memcpy(&bits, &ax, sizeof bits);
  const int e2 = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
  e = (e2 * 78913) >> 18;
  const std::uint64_t lo = static_cast<std::uint64_t>(kPow10[nsig - 1]);
  for (int tries = 0; tries < 4; ++tries) {
    if (!round_scaled(ax, nsig - 1 - e, v)) return false;
    if (v >= lo * 10) {
      ++e;
    } else if (v < lo) {
      --e;
    } else {
      return true;
    }
  }
  return false;
}

// The first nsig significant digits of ax, rounded, and the decimal exponent
// of the first (ax = 0 gives zeros and exponent 0).
int exponent_digits(double ax, int nsig, char* dg) {
  std::uint64_t v;
  int e;
  if (ax > 0 && nsig <= 15 && scaled_digits(ax, nsig, v, e)) {
    integer_digits(v, nsig, dg);
    return e;
  }
  std::array<char, 1100> b;
  auto res = std::to_chars(b.data(), b.data() + b.size(), ax, std::chars_format::scientific,
                           nsig - 1);
  int nd = 0;
  char* q = b.data();
  for (; q != res.ptr && *q != 'e'; ++q)
    if (*q != '.') dg[nd++] = *q;
  return exponent_of(q, res.ptr);
}

// ---- F and E ----------------------------------------------------------

void edit_f(char*& o, int w, int d, int scale, double x) {
  if (edit_short_f(o, w, d, scale, x)) return;
  if (!std::isfinite(x)) return edit_nonfinite(o, w, x);
  bool neg = std::signbit(x);
  double ax = std::fabs(x);
  int prec = d + scale;
  if (prec < 0) {  // a large negative scale: scale the value itself
    ax *= std::pow(10.0, scale);
    prec = d;
    scale = 0;
  }
  std::array<char, kDigitBuf> dg;
  int nd = 0, intlen = 0;
  fixed_digits(ax, prec, dg.data(), nd, intlen);
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
  if (len > w) return stars(o, w);
  fill(o, w - len, ' ');
  if (neg) *o++ = '-';
  if (zero_int) {
    if (!drop_zero) *o++ = '0';
  } else {
    copy(o, dg.data() + lead, static_cast<std::size_t>(ilen));
  }
  *o++ = '.';
  for (int i = 0; i < d; ++i) {
    int pos = point + i;
    *o++ = pos >= 0 && pos < nd ? dg[pos] : '0';
  }
}

void edit_e(char*& o, int w, int d, int scale, double x, char letter) {
  if (!std::isfinite(x)) return edit_nonfinite(o, w, x);
  int k = scale;
  if (k <= -d || k > d + 1) return stars(o, w);
  bool neg = std::signbit(x);
  double ax = std::fabs(x);
  int nsig = k > 0 ? d + 1 : d + k;
  std::uint64_t v;
  int e;
  if (ax > 0 && nsig <= 15 && (k > 0 || 7 - k + nsig <= kWindow) &&
      scaled_digits(ax, nsig, v, e) && std::abs(e + 1 - k) <= 99) {
    // The usual short field, written from its last digit backwards.
    const int expo = e + 1 - k, aexp = std::abs(expo);
    int len = (neg ? 1 : 0) + (k > 0 ? nsig + 1 : 2 - k + nsig) + 4;
    const bool drop_zero = len > w && k <= 0;
    if (drop_zero) --len;
    if (len > w) return stars(o, w);
    Window win;
    char* p = win.end();
    put_pair(p, static_cast<unsigned>(aexp));
    *--p = expo < 0 ? '-' : '+';
    *--p = letter;
    if (k > 0) {
      put_exact(p, v, nsig - k);
      *--p = '.';
      put_exact(p, v, k);
    } else {
      put_exact(p, v, nsig);
      for (int i = 0; i < -k; ++i) *--p = '0';
      *--p = '.';
      if (!drop_zero) *--p = '0';
    }
    if (neg) *--p = '-';
    win.put(o, w, p);
    return;
  }
  std::array<char, 1100> dg;
  int e10 = exponent_digits(ax, nsig, dg.data());
  int expo = ax == 0 ? 0 : e10 + 1 - k;
  int aexp = std::abs(expo);
  if (aexp > 999) return stars(o, w);
  int mant = k > 0 ? nsig + 1 : 2 - k + nsig;  // digits and point, "0." form for k <= 0
  int len = (neg ? 1 : 0) + mant + 4;
  bool drop_zero = false;
  if (len > w && k <= 0) {
    drop_zero = true;
    --len;
  }
  if (len > w) return stars(o, w);
  fill(o, w - len, ' ');
  if (neg) *o++ = '-';
  if (k > 0) {
    copy(o, dg.data(), static_cast<std::size_t>(k));
    *o++ = '.';
    copy(o, dg.data() + k, static_cast<std::size_t>(nsig - k));
  } else {
    if (!drop_zero) *o++ = '0';
    *o++ = '.';
    fill(o, -k, '0');
    copy(o, dg.data(), static_cast<std::size_t>(nsig));
  }
  if (aexp <= 99) {
    *o++ = letter;
    *o++ = expo < 0 ? '-' : '+';
    *o++ = static_cast<char>('0' + aexp / 10);
    *o++ = static_cast<char>('0' + aexp % 10);
  } else {  // three exponent digits take the letter's place
    *o++ = expo < 0 ? '-' : '+';
    *o++ = static_cast<char>('0' + aexp / 100);
    *o++ = static_cast<char>('0' + aexp / 10 % 10);
    *o++ = static_cast<char>('0' + aexp % 10);
  }
}

void edit_g(char*& o, int w, int d, int scale, double x) {
  if (!std::isfinite(x)) return edit_nonfinite(o, w, x);
  int n = 1;  // decimal exponent of the value rounded to d digits; zero counts as 1
  if (x != 0) {
    std::array<char, 1100> b;
    auto res = std::to_chars(b.data(), b.data() + b.size(), std::fabs(x),
                             std::chars_format::scientific, d - 1);
    const char* e = b.data();
    while (e != res.ptr && *e != 'e') ++e;
    n = exponent_of(e, res.ptr) + 1;
  }
  if (n < 0 || n > d || w <= 4) return edit_e(o, w, d, scale, x, 'E');
  edit_f(o, w - 4, d - n, 0, x);
  fill(o, 4, ' ');
}

inline void edit_one(char*& o, const Format::Node& n, const Item& it, int scale) {
  switch (n.k) {
    case K::I:
      if (it.kind != Item::Kind::Int) bad_item("an I descriptor needs an integer");
      return edit_int(o, n.w, n.d, it.i);
    case K::F:
      return edit_f(o, n.w, n.d, scale, real_of(it));
    case K::E:
      return edit_e(o, n.w, n.d, scale, real_of(it), 'E');
    case K::D:
      return edit_e(o, n.w, n.d, scale, real_of(it), 'D');
    case K::G:
      return edit_g(o, n.w, n.d, scale, real_of(it));
    case K::A:
      if (it.kind != Item::Kind::Text) bad_item("an A descriptor needs a text");
      if (n.w < 0) {
        copy(o, it.s.data(), it.s.size());
      } else if (it.s.size() >= static_cast<std::size_t>(n.w)) {
        copy(o, it.s.data(), static_cast<std::size_t>(n.w));
      } else {
        fill(o, n.w - static_cast<int>(it.s.size()), ' ');
        copy(o, it.s.data(), it.s.size());
      }
      return;
    default:
      return;
  }
}

}  // namespace

void edit(char*& o, const Format::Node& n, const Item& it, int scale) { edit_one(o, n, it, scale); }

void bad_item(const char* what) {
  throw std::invalid_argument(std::string("format item: ") + what);
}

}  // namespace nlf::format_detail
