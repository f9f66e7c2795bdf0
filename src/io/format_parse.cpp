// Parsing a format text into its list of descriptors.
#include <cctype>
#include <stdexcept>

#include "io/format_node.h"

namespace nlf {

namespace {

using Node = Format::Node;
using K = Format::Node::K;
using format_detail::kMaxDepth;

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

}  // namespace

Format::Format(std::string_view text) {
  std::string lits;
  Parser p(text, nodes_, lits);
  reversion_ = p.parse();
  text_ = std::move(lits);
  for (std::size_t i = static_cast<std::size_t>(reversion_); i < nodes_.size(); ++i)
    if (nodes_[i].is_data()) reversion_has_data_ = true;
}

Format::~Format() = default;
Format::Format(const Format&) = default;
Format::Format(Format&&) noexcept = default;
Format& Format::operator=(const Format&) = default;
Format& Format::operator=(Format&&) noexcept = default;

}  // namespace nlf
