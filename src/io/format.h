// The edit-descriptor interpreter. A format such as
//   (1X,I5,1X,3(2X,3F12.3))
// is parsed once into a list of descriptors and then applied to lists of
// values, producing one or more records (lines without the newline).
//
// Supported: Iw, Fw.d, Ew.d, Dw.d, Gw.d, kP (in force for later E, F, G of
// the same application), nX, Aw and A, 'text' and "text", '/', n( ... )
// groups, ':' and format reversion to the last top-level group. A value too
// wide for its field prints as w asterisks. An integer item given to F, E, D
// or G prints as its real value.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nlf {

// One value handed to a format: an integer, a real or a text.
struct Item {
  enum class Kind : std::uint8_t { Int, Real, Text };
  Kind kind;
  std::int64_t i = 0;
  double d = 0.0;
  std::string_view s;

  Item(int v) : kind(Kind::Int), i(v) {}
  Item(long v) : kind(Kind::Int), i(v) {}
  Item(long long v) : kind(Kind::Int), i(v) {}
  Item(double v) : kind(Kind::Real), d(v) {}
  Item(std::string_view v) : kind(Kind::Text), s(v) {}
  Item(const char* v) : kind(Kind::Text), s(v) {}
  Item(const std::string& v) : kind(Kind::Text), s(v) {}
};

// Receives the records that a format produces.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual void record(std::string_view text) = 0;
};

class Format {
 public:
  // Parses the format text, outer parentheses included. Throws
  // std::invalid_argument on a malformed format (a programming error).
  explicit Format(std::string_view text);
  ~Format();
  Format(const Format&);
  Format(Format&&) noexcept;
  Format& operator=(const Format&);
  Format& operator=(Format&&) noexcept;

  // Applies the format to the items and hands every record to the sink.
  void apply(std::span<const Item> items, RecordSink& out) const;
  void apply(std::initializer_list<Item> items, RecordSink& out) const {
    apply(std::span<const Item>(items.begin(), items.size()), out);
  }

  // Convenience for tests and small callers: all records as strings.
  std::vector<std::string> lines(std::span<const Item> items) const;
  std::vector<std::string> lines(std::initializer_list<Item> items) const {
    return lines(std::span<const Item>(items.begin(), items.size()));
  }

  struct Node;  // parsed descriptor (defined in format_node.h)

 private:
  std::vector<Node> nodes_;
  std::string text_;
  int reversion_ = 0;  // where format reversion restarts
  bool reversion_has_data_ = false;  // a data descriptor follows reversion_
};

// Free-format (list-directed) output of a message: one blank, then the items
// separated by blanks, as the program's messages are written. Texts are
// written as they stand, integers without padding.
std::string free_format(std::initializer_list<Item> items);

// A real inside the text of a message (deck errors, the deck check's
// summary): six significant digits without trailing zeros, in exponent form
// (2.1E+07) only when very large or small, so that a value prints the same
// whichever card or program shows it.
std::string message_number(double v);

}  // namespace nlf
