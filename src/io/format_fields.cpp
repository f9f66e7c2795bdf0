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

#include "io/format_node.h"

namespace nlf::format_detail {

namespace {

using K = Format::Node::K;

// ---- field editing ----------------------------------------------------


inline void fill(char*& o, int n, char c) {
  for (; n > 0; --n) *o++ = c;
}

inline void copy(char*& o, const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) *o++ = s[i];
}

void stars(char*& o, int w) { fill(o, w, '*'); }

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

// Two decimal digits at a time: "00" to "99".
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void put_pair(char*& p, unsigned r) {
  p -= 2;
  std::memcpy(p, kPairs + 2 * r, 2);
}

// The decimal digits of v written backwards, ending at p; p moves to the
// first.
template <class U>
inline void put_digits(char*& p, U v) {
  while (v >= 100) {
    put_pair(p, static_cast<unsigned>(v % 100));
    v /= 100;
  }
  if (v >= 10)
    put_pair(p, static_cast<unsigned>(v));
  else
    *--p = static_cast<char>('0' + v);
}

// The last n decimal digits of v written backwards, ending at p (leading
// zeros included); p moves to the first and v loses them.
inline void put_exact(char*& p, std::uint64_t& v, int n) {
  for (; n >= 2; n -= 2, v /= 100) put_pair(p, static_cast<unsigned>(v % 100));
  if (n == 1) {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

// A short field is made right-aligned in a row of blanks and copied out as
// one block of kWindow characters: the field and blanks or digits beyond
// its end, which the record's slack takes.
constexpr int kWindow = 32;
static_assert(kWindow <= static_cast<int>(kSlack));

struct Window {
  char b[2 * kWindow];
  Window() { std::memset(b, ' ', sizeof b); }
  char* end() { return b + kWindow; }  // where the field's text ends
  // Writes the field of width w whose text starts at p (and ends at end()).
  void put(char*& o, int w, const char* p) {
    if (w <= kWindow) {
      std::memcpy(o, end() - w, kWindow);
      o += w;
    } else {
      fill(o, w - static_cast<int>(end() - p), ' ');
      copy(o, p, static_cast<std::size_t>(end() - p));
    }
  }
};

// The usual short integer field (no minimum digits, below 10^9 in size),
// kept small enough to be written in place by its callers; false for any
// other.
inline bool edit_short_int(char*& o, int w, int m, std::int64_t v) {
  if (m >= 0 || v <= -1000000000 || v >= 1000000000) return false;
  Window win;
  char* p = win.end();
  put_digits(p, static_cast<std::uint32_t>(v < 0 ? -v : v));
  if (v < 0) *--p = '-';
  if (win.end() - p > w) {
    stars(o, w);
    return true;
  }
  win.put(o, w, p);
  return true;
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

// ---- the fast way to the digits --------------------------------------
//
// Most values the program prints have a handful of digits. For them the
// digits come from one scaling by an exact power of ten and one integer
// conversion: the scaled value is below 2^40, so it is within 2^-13 of the
// exact product, and unless it lies within 2^-12 of a rounding tie its
// rounding is the rounding of the exact product. Every other value (ties,
// huge or tiny values, many digits) takes the exact conversion of to_chars.

constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// ax * 10^n rounded to the nearest integer, when that is sure; false when
// the exact conversion must decide.
inline bool round_scaled(double ax, int n, std::uint64_t& out) {
  if (n > 22 || n < -22) return false;
  const double p = n >= 0 ? ax * kPow10[n] : ax / kPow10[-n];
  if (!(p < 1099511627776.0)) return false;  // 2^40
  const std::uint64_t q = static_cast<std::uint64_t>(p);  // p >= 0: the integer part
  const double frac = p - static_cast<double>(q);          // exact
  if (std::fabs(frac - 0.5) < 1.0 / 4096) return false;
  out = q + (frac > 0.5 ? 1 : 0);
  return true;
}

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

// The first nsig significant digits of ax, rounded, and the decimal exponent
// of the first (ax = 0 gives zeros and exponent 0).
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

// The usual short F field (no scale factor, a value of a handful of
// digits), written from its last digit backwards and kept small enough to
// be written in place by its callers; false for any other.
inline bool edit_short_f(char*& o, int w, int d, int scale, double x) {
  std::uint64_t v;
  const double ax = std::fabs(x);
  if (scale != 0 || d > 15 || !round_scaled(ax, d, v)) return false;  // also NaN and infinities
  const bool neg = std::signbit(x);
  Window win;
  char* p = win.end();
  put_exact(p, v, d);
  *--p = '.';
  const bool zero_int = v == 0;
  if (!zero_int) put_digits(p, v);
  int len = static_cast<int>(win.end() - p) + (zero_int ? 1 : 0) + (neg ? 1 : 0);
  const bool drop_zero = len > w && zero_int && d > 0;
  if (drop_zero) --len;
  if (len > w) {
    stars(o, w);
    return true;
  }
  if (zero_int && !drop_zero) *--p = '0';
  if (neg) *--p = '-';
  win.put(o, w, p);
  return true;
}

[[gnu::noinline]] void edit_f(char*& o, int w, int d, int scale, double x) {
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

[[noreturn]] void bad_item(const char* what) {
  throw std::invalid_argument(std::string("format item: ") + what);
}

double real_of(const Item& it) {
  if (it.kind == Item::Kind::Real) return it.d;
  if (it.kind == Item::Kind::Int) return static_cast<double>(it.i);
  bad_item("a text given to a numeric descriptor");
}

}  // namespace

namespace {

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

void edit_run(char*& o, const Format::Node& n, const Item* it, int count, int scale) {
  switch (n.k) {  // the common repeated fields without the general dispatch
    case K::I:
      if (n.d < 0 && n.w >= 1 && n.w <= 9) {
        // Values that surely fit are written in place over a row of
        // blanks; the rest go the usual way.
        constexpr char blanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                     ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
        static_assert(sizeof blanks <= kSlack);
        const auto hi = static_cast<std::int64_t>(kPow10[n.w]);
        const auto lo = -static_cast<std::int64_t>(kPow10[n.w - 1]);
        for (int c = 0; c < count; ++c) {
          if (it[c].kind != Item::Kind::Int) bad_item("an I descriptor needs an integer");
          const std::int64_t v = it[c].i;
          if (v > lo && v < hi) {
            std::memcpy(o, blanks, sizeof blanks);
            char* p = o + n.w;
            put_digits(p, static_cast<std::uint32_t>(v < 0 ? -v : v));
            if (v < 0) *--p = '-';
            o += n.w;
          } else if (!edit_short_int(o, n.w, n.d, v)) {
            edit_int(o, n.w, n.d, v);
          }
        }
        return;
      }
      for (int c = 0; c < count; ++c) {
        if (it[c].kind != Item::Kind::Int) bad_item("an I descriptor needs an integer");
        if (!edit_short_int(o, n.w, n.d, it[c].i)) edit_int(o, n.w, n.d, it[c].i);
      }
      return;
    case K::F:
      for (int c = 0; c < count; ++c) {
        const double x = real_of(it[c]);
        if (!edit_short_f(o, n.w, n.d, scale, x)) edit_f(o, n.w, n.d, scale, x);
      }
      return;
    case K::A:
      if (n.w == 1) {
        for (int c = 0; c < count; ++c) {
          if (it[c].kind != Item::Kind::Text) bad_item("an A descriptor needs a text");
          *o++ = it[c].s.empty() ? ' ' : it[c].s[0];
        }
        return;
      }
      break;
    default:
      break;
  }
  for (int c = 0; c < count; ++c) edit_one(o, n, it[c], scale);
}

}  // namespace nlf::format_detail
