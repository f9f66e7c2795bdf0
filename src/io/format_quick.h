// The quick way to the usual short fields, and the runs of fields that a
// format's repeated descriptors make, written in place without a call per
// field. Any other value goes through edit (format_fields.cpp), which gives
// the same characters the long way.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "io/format_node.h"

namespace nlf::format_detail {

// Throws std::invalid_argument for an item of the wrong kind.
[[noreturn]] void bad_item(const char* what);

inline double real_of(const Item& it) {
  if (it.kind == Item::Kind::Real) return it.d;
  if (it.kind == Item::Kind::Int) return static_cast<double>(it.i);
  bad_item("a text given to a numeric descriptor");
}

inline void fill(char*& o, int n, char c) {
  for (; n > 0; --n) *o++ = c;
}

inline void copy(char*& o, const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) *o++ = s[i];
}

inline void stars(char*& o, int w) { fill(o, w, '*'); }

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

// The same as edit for `count` items in a row, all with descriptor n (a
// data descriptor with a width): room for count * n.w + kSlack characters
// at o.
inline void edit_run(char*& o, const Format::Node& n, const Item* it, int count, int scale) {
  switch (n.k) {  // the common repeated fields without the general dispatch
    case Format::Node::K::I:
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
            edit(o, n, it[c], scale);
          }
        }
        return;
      }
      for (int c = 0; c < count; ++c) {
        if (it[c].kind != Item::Kind::Int) bad_item("an I descriptor needs an integer");
        if (!edit_short_int(o, n.w, n.d, it[c].i)) edit(o, n, it[c], scale);
      }
      return;
    case Format::Node::K::F:
      for (int c = 0; c < count; ++c) {
        const double x = real_of(it[c]);
        if (!edit_short_f(o, n.w, n.d, scale, x)) edit(o, n, it[c], scale);
      }
      return;
    case Format::Node::K::A:
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
  for (int c = 0; c < count; ++c) edit(o, n, it[c], scale);
}

}  // namespace nlf::format_detail
