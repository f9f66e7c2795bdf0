// The edit-descriptor interpreter. Digits come from std::to_chars with an
// explicit precision, which rounds the exact binary value to nearest with
// ties to even, so every field is correctly rounded.
#include "io/format.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace nlf {

struct Format::Node {
  enum class K : std::uint8_t { I, F, E, D, G, A, P, X, Lit, Slash, Colon, Open, Close };
  K k;
  int repeat = 1;   // data descriptors, '/' and groups
  int w = 0;        // field width; the k of kP; the n of nX; -1 for a bare A
  int d = 0;        // decimals or digits; the m of Iw.m (-1 when absent)
  int match = 0;    // the partner of a group parenthesis
  std::uint32_t off = 0, len = 0;  // literal text inside text_
  bool is_data() const { return k <= K::A; }
};

namespace {

using Node = Format::Node;
using K = Format::Node::K;

constexpr int kMaxDepth = 16;
constexpr int kMaxNumber = 999;  // widths, decimals, counts

[[noreturn]] void bad_format(std::string_view text, std::size_t pos, const char* what) {
  throw std::invalid_argument("format " + std::string(text) + ": " + what + " at position " +
                              std::to_string(pos + 1));
}

class Parser {
 public:
  Parser(std::string_view src, std::vector<Node>& nodes, std::string& lits)
      : s_(src), nodes_(nodes), lits_(lits) {}

  int parse() {  // returns the reversion point
    skip();
    if (!eat('(')) bad_format(s_, p_, "expected '('");
    list(1);
    if (!eat(')')) bad_format(s_, p_, "expected ')'");
    skip();
    if (p_ != s_.size()) bad_format(s_, p_, "text after the closing ')'");
    return reversion_;
  }

 private:
  void skip() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t')) ++p_;
  }
  bool eat(char c) {
    skip();
    if (p_ < s_.size() && s_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  char peek() {
    skip();
    return p_ < s_.size() ? s_[p_] : '\0';
  }
  static bool digit(char c) { return c >= '0' && c <= '9'; }
  // An unsigned number; -1 when there is none.
  int number() {
    skip();
    if (p_ >= s_.size() || !digit(s_[p_])) return -1;
    long v = 0;
    while (p_ < s_.size() && digit(s_[p_])) {
      v = v * 10 + (s_[p_++] - '0');
      if (v > kMaxNumber) bad_format(s_, p_, "number too large");
    }
    return static_cast<int>(v);
  }

  void list(int depth) {
    if (depth > kMaxDepth) bad_format(s_, p_, "groups nested too deeply");
    for (;;) {
      char c = peek();
      if (c == ')' || c == '\0') return;
      if (c == ',') {
        ++p_;
        continue;
      }
      item(depth);
    }
  }

  void item(int depth) {
    skip();
    std::size_t start = p_;
    bool neg = false;
    if (peek() == '-' || peek() == '+') {
      neg = s_[p_] == '-';
      ++p_;
    }
    int num = number();
    bool signed_num = p_ > start && (s_[start] == '-' || s_[start] == '+');
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
    if (c == '\0') bad_format(s_, p_, "unexpected end");
    if (signed_num && c != 'P') bad_format(s_, start, "sign before a descriptor");
    if (num == 0 && c != 'P') bad_format(s_, start, "zero count");
    int rep = num < 0 ? 1 : num;
    ++p_;
    Node n{};
    n.repeat = rep;
    switch (c) {
      case 'P':
        if (num < 0) bad_format(s_, start, "kP needs k");
        n.k = K::P;
        n.w = neg ? -num : num;
        n.repeat = 1;
        nodes_.push_back(n);
        return;
      case 'X':
        n.k = K::X;
        n.w = rep;
        n.repeat = 1;
        nodes_.push_back(n);
        return;
      case '/':
        n.k = K::Slash;
        nodes_.push_back(n);
        return;
      case ':':
        if (num >= 0) bad_format(s_, start, "count before ':'");
        n.k = K::Colon;
        nodes_.push_back(n);
        return;
      case '\'':
      case '"':
        if (num >= 0) bad_format(s_, start, "count before a literal");
        literal(c, start);
        return;
      case '(': {
        n.k = K::Open;
        if (depth == 1) reversion_ = static_cast<int>(nodes_.size());
        std::size_t open = nodes_.size();
        nodes_.push_back(n);
        list(depth + 1);
        if (!eat(')')) bad_format(s_, p_, "expected ')'");
        Node close{};
        close.k = K::Close;
        close.match = static_cast<int>(open);
        nodes_[open].match = static_cast<int>(nodes_.size());
        nodes_.push_back(close);
        return;
      }
      case 'I':
        n.k = K::I;
        n.w = width(start);
        n.d = -1;
        if (eat('.')) {
          n.d = number();
          if (n.d < 0) bad_format(s_, p_, "expected digits after '.'");
        }
        nodes_.push_back(n);
        return;
      case 'F':
      case 'E':
      case 'D':
      case 'G':
        n.k = c == 'F' ? K::F : c == 'E' ? K::E : c == 'D' ? K::D : K::G;
        n.w = width(start);
        if (!eat('.')) bad_format(s_, p_, "expected '.'");
        n.d = number();
        if (n.d < 0) bad_format(s_, p_, "expected digits after '.'");
        if (n.k != K::F && n.d == 0) bad_format(s_, p_, "exponent form needs digits");
        nodes_.push_back(n);
        return;
      case 'A':
        n.k = K::A;
        n.w = number();  // -1: the item's own length
        if (n.w == 0) bad_format(s_, p_, "zero width");
        nodes_.push_back(n);
        return;
      default:
        bad_format(s_, start, "unknown descriptor");
    }
  }

  int width(std::size_t start) {
    int w = number();
    if (w <= 0) bad_format(s_, start, "missing width");
    return w;
  }

  void literal(char q, std::size_t start) {
    Node n{};
    n.k = K::Lit;
    n.off = static_cast<std::uint32_t>(lits_.size());
    for (;;) {
      if (p_ >= s_.size()) bad_format(s_, start, "unterminated literal");
      char c = s_[p_++];
      if (c == q) {
        if (p_ < s_.size() && s_[p_] == q) {
          lits_.push_back(q);
          ++p_;
          continue;
        }
        break;
      }
      lits_.push_back(c);
    }
    n.len = static_cast<std::uint32_t>(lits_.size() - n.off);
    nodes_.push_back(n);
  }

  std::string_view s_;
  std::size_t p_ = 0;
  std::vector<Node>& nodes_;
  std::string& lits_;
  int reversion_ = 0;
};

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

void edit(std::string& r, const Node& n, const Item& it, int scale) {
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

class Collect : public RecordSink {
 public:
  std::vector<std::string> out;
  void record(std::string_view text) override { out.emplace_back(text); }
};

}  // namespace

Format::Format(std::string_view text) {
  std::string lits;
  Parser p(text, nodes_, lits);
  reversion_ = p.parse();
  text_ = std::move(lits);
  for (std::size_t i = static_cast<std::size_t>(reversion_); i < nodes_.size(); ++i)
    if (nodes_[i].is_data()) reversion_has_data_ = true;
  rec_.reserve(256);
}

Format::~Format() = default;
Format::Format(const Format&) = default;
Format::Format(Format&&) noexcept = default;
Format& Format::operator=(const Format&) = default;
Format& Format::operator=(Format&&) noexcept = default;

void Format::apply(std::span<const Item> items, RecordSink& out) const {
  struct Frame {
    int open;
    int left;
  };
  std::array<Frame, kMaxDepth + 1> stack;
  int sp = 0;
  std::size_t next = 0;
  int scale = 0;    // every application starts at 0P
  int pending = 0;  // blanks from nX, written only when something follows
  const int end = static_cast<int>(nodes_.size());
  rec_.clear();
  auto emit = [&] {
    out.record(rec_);
    rec_.clear();
    pending = 0;
  };
  auto settle = [&] {
    if (pending > 0) rec_.append(static_cast<std::size_t>(pending), ' ');
    pending = 0;
  };
  int pc = 0;
  for (;;) {
    if (pc == end) {
      if (next >= items.size()) break;
      if (!reversion_has_data_)
        throw std::invalid_argument("format " + text_ + ": items left but no data descriptor");
      emit();  // format reversion starts a new record
      pc = reversion_;
      sp = 0;
      continue;
    }
    const Node& n = nodes_[static_cast<std::size_t>(pc)];
    switch (n.k) {
      case K::Open:
        stack[static_cast<std::size_t>(sp++)] = Frame{pc, n.repeat};
        ++pc;
        break;
      case K::Close: {
        Frame& f = stack[static_cast<std::size_t>(sp - 1)];
        if (--f.left > 0) {
          pc = f.open + 1;
        } else {
          --sp;
          ++pc;
        }
        break;
      }
      case K::P:
        scale = n.w;
        ++pc;
        break;
      case K::X:
        pending += n.w;
        ++pc;
        break;
      case K::Lit:
        settle();
        rec_.append(text_, n.off, n.len);
        ++pc;
        break;
      case K::Slash:
        for (int i = 0; i < n.repeat; ++i) emit();
        ++pc;
        break;
      case K::Colon:
        if (next >= items.size()) goto done;
        ++pc;
        break;
      default:  // data descriptors
        for (int i = 0; i < n.repeat; ++i) {
          if (next >= items.size()) goto done;
          settle();
          edit(rec_, n, items[next++], scale);
        }
        ++pc;
        break;
    }
  }
done:
  out.record(rec_);
  rec_.clear();
}

std::vector<std::string> Format::lines(std::span<const Item> items) const {
  Collect c;
  apply(items, c);
  return std::move(c.out);
}

std::string free_format(std::initializer_list<Item> items) {
  std::string s;
  for (const Item& it : items) {
    s.push_back(' ');
    switch (it.kind) {
      case Item::Kind::Int:
        s += std::to_string(it.i);
        break;
      case Item::Kind::Text:
        s.append(it.s);
        break;
      case Item::Kind::Real: {
        if (std::isnan(it.d)) {
          s += "NaN";
        } else if (std::isinf(it.d)) {
          s += it.d > 0 ? "Infinity" : "-Infinity";
        } else {
          std::array<char, 64> b;
          auto res = std::to_chars(b.data(), b.data() + b.size(), it.d);
          s.append(b.data(), res.ptr);
        }
        break;
      }
    }
  }
  return s;
}

}  // namespace nlf
