// Card fields of the deck and the free-format read of the deck name.
#include "io/card.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "io/stop.h"

namespace nlf {

namespace {

constexpr int kCardWidth = 80;

bool blank(char c) { return c == ' '; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// The field as it stands, without surrounding blanks and with bytes that
// would garble a one-line report shown as '?'.
std::string shown(std::string_view f) {
  std::size_t a = 0, b = f.size();
  while (a < b && blank(f[a])) ++a;
  while (b > a && blank(f[b - 1])) --b;
  std::string s(f.substr(a, b - a));
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return s;
}

[[noreturn]] void field_error(std::string_view field, const FieldSource& src, int col,
                              const char* what) {
  int last = col + static_cast<int>(field.size()) - 1;
  std::string where = last > col ? "columns " + std::to_string(col) + "-" + std::to_string(last)
                                 : "column " + std::to_string(col);
  throw FileError(std::string(src.file) + ": line " + std::to_string(src.line) + ", " + where +
                  ": '" + shown(field) + "' " + what);
}

// The field without its blanks, into a fixed buffer (fields are at most 80
// columns wide). Returns the length, or -1 when the field is too long.
int squeeze(std::string_view field, std::array<char, 96>& buf) {
  int n = 0;
  for (char c : field) {
    if (blank(c)) continue;
    if (n >= static_cast<int>(buf.size())) return -1;
    buf[static_cast<std::size_t>(n++)] = c;
  }
  return n;
}

}  // namespace

std::string card_columns(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string s(line.substr(0, kCardWidth));
  s.resize(kCardWidth, ' ');
  return s;
}

int read_int_field(std::string_view field, const FieldSource& src, int col) {
  std::array<char, 96> b;
  int n = squeeze(field, b);
  if (n < 0) field_error(field, src, col, "is not an integer");
  if (n == 0) return 0;
  int i = 0;
  bool neg = false;
  if (b[0] == '+' || b[0] == '-') {
    neg = b[0] == '-';
    i = 1;
  }
  if (i == n) field_error(field, src, col, "is not an integer");
  long long v = 0;
  for (; i < n; ++i) {
    char c = b[static_cast<std::size_t>(i)];
    if (!digit(c)) field_error(field, src, col, "is not an integer");
    v = v * 10 + (c - '0');
    if (v > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
      field_error(field, src, col, "is out of the integer range");
  }
  if (neg) v = -v;
  if (v > std::numeric_limits<int>::max()) field_error(field, src, col, "is out of the integer range");
  return static_cast<int>(v);
}

double read_real_field(std::string_view field, const FieldSource& src, int col) {
  std::array<char, 96> b;
  int n = squeeze(field, b);
  if (n < 0) field_error(field, src, col, "is not a number");
  if (n == 0) return 0.0;
  // Normalised copy for from_chars: [-]mantissa[e[-]digits].
  std::array<char, 112> t;
  int m = 0, i = 0;
  bool neg = false;
  if (b[0] == '+' || b[0] == '-') {
    neg = b[0] == '-';
    i = 1;
  }
  if (i == n) return 0.0;  // a sign alone reads as zero
  if (neg) t[static_cast<std::size_t>(m++)] = '-';
  int mdigits = 0, points = 0;
  for (; i < n; ++i) {
    char c = b[static_cast<std::size_t>(i)];
    if (digit(c)) {
      ++mdigits;
    } else if (c == '.') {
      if (++points > 1) field_error(field, src, col, "is not a number");
    } else {
      break;
    }
    t[static_cast<std::size_t>(m++)] = c;
  }
  if (mdigits == 0) field_error(field, src, col, "is not a number");
  if (i < n) {  // exponent: a letter E or D with an optional sign, or a sign alone
    char c = b[static_cast<std::size_t>(i)];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++i;
      if (i < n && (b[static_cast<std::size_t>(i)] == '+' || b[static_cast<std::size_t>(i)] == '-'))
        c = b[static_cast<std::size_t>(i++)];
    } else if (c == '+' || c == '-') {
      ++i;
    } else {
      field_error(field, src, col, "is not a number");
    }
    t[static_cast<std::size_t>(m++)] = 'e';
    if (c == '-') t[static_cast<std::size_t>(m++)] = '-';
    int edigits = 0;
    for (; i < n; ++i) {
      char e = b[static_cast<std::size_t>(i)];
      if (!digit(e)) field_error(field, src, col, "is not a number");
      t[static_cast<std::size_t>(m++)] = e;
      ++edigits;
    }
    if (edigits == 0) field_error(field, src, col, "is not a number");
  }
  double v = 0.0;
  auto [p, ec] = std::from_chars(t.data(), t.data() + m, v);
  if (ec == std::errc::result_out_of_range) {
    // An underflow reads as a (signed) zero or subnormal; an overflow is refused.
    t[static_cast<std::size_t>(m)] = '\0';
    v = std::strtod(t.data(), nullptr);
    if (std::isinf(v)) field_error(field, src, col, "is out of range");
  } else if (ec != std::errc() || p != t.data() + m) {
    field_error(field, src, col, "is not a number");
  }
  return v;
}

Card decode_card(std::string_view line, const FieldSource& src) {
  std::string c = card_columns(line);
  std::string_view s(c);
  Card card;
  card.ch = s[0];
  card.i1 = read_int_field(s.substr(1, 3), src, 2);
  card.i2 = read_int_field(s.substr(4, 3), src, 5);
  card.i3 = read_int_field(s.substr(7, 3), src, 8);
  for (int k = 0; k < 7; ++k)
    card.x[static_cast<std::size_t>(k)] =
        read_real_field(s.substr(static_cast<std::size_t>(10 + 10 * k), 10), src, 11 + 10 * k);
  return card;
}

ControlCard decode_control_card(std::string_view line, const FieldSource& src) {
  std::string c = card_columns(line);
  std::string_view s(c);
  ControlCard cc;
  cc.iresin = read_int_field(s.substr(1, 3), src, 2);
  cc.iresout = read_int_field(s.substr(4, 3), src, 5);
  cc.nprint = read_int_field(s.substr(7, 3), src, 8);
  cc.rctl = read_real_field(s.substr(10, 4), src, 11);
  cc.title = std::string(s.substr(15, 64));
  return cc;
}

// ---- list-directed read of the deck name --------------------------------

namespace {

constexpr std::size_t kNameLength = 16;

std::string fit16(std::string_view v) {
  std::string s(v.substr(0, kNameLength));
  s.resize(kNameLength, ' ');
  return s;
}

bool white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// Characters that end an undelimited value.
bool ends_value(char c) { return white(c) || c == ',' || c == '/' || c == ';'; }

[[noreturn]] void name_eof() {
  throw FileError("standard input: end of file while reading the deck name");
}

}  // namespace

std::string read_name_item(std::string_view in, std::string_view initial) {
  std::size_t p = 0;
  while (p < in.size() && white(in[p])) ++p;
  if (p == in.size()) name_eof();
  // A null value or the end of the list leaves the name as it was.
  if (in[p] == ',' || in[p] == ';' || in[p] == '/') return fit16(initial);
  // A repeat count r*: r*value is the value, r* alone a null value.
  std::size_t q = p;
  while (q < in.size() && digit(in[q])) ++q;
  if (q > p && q < in.size() && in[q] == '*') {
    bool zero = true;
    for (std::size_t k = p; k < q; ++k) zero = zero && in[k] == '0';
    if (zero) throw FileError("standard input: zero repeat count in the deck name");
    p = q + 1;
    if (p == in.size() || ends_value(in[p])) return fit16(initial);
  }
  std::string v;
  char quote = in[p];
  if (quote == '\'' || quote == '"') {
    ++p;
    // An unclosed quote takes the rest of the input as the value.
    while (p < in.size()) {
      char c = in[p++];
      if (c == quote) {
        if (p < in.size() && in[p] == quote) {
          v.push_back(quote);
          ++p;
          continue;
        }
        break;
      }
      if (c == '\n') continue;  // the value goes on in the next line
      if (c == '\r' && p < in.size() && in[p] == '\n') continue;
      v.push_back(c);
    }
    if (p < in.size() && !ends_value(in[p]))
      throw FileError("standard input: invalid deck name: text follows the closing quote");
  } else {
    while (p < in.size() && !ends_value(in[p])) v.push_back(in[p++]);
  }
  return fit16(v);
}

}  // namespace nlf
