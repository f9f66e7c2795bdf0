// The parsed form of a format, shared by the parser and the interpreter
// that applies it, and the editing of one value into one field.
#pragma once

#include <cstdint>
#include <string>

#include "io/format.h"

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

namespace format_detail {

constexpr int kMaxDepth = 16;

// A field may scribble up to kSlack characters past its end (a row of
// blanks written in one go); whatever follows overwrites them or lies past
// the end of the record, which keeps that much room beyond its last field.
constexpr std::size_t kSlack = 32;

// The most characters that data descriptor n writes for item it.
inline std::size_t field_room(const Format::Node& n, const Item& it) {
  return n.w >= 0 ? static_cast<std::size_t>(n.w) : it.s.size();
}

// Edits one item into the field described by data descriptor n, with scale
// factor `scale` in force, writing at o (room for field_room characters
// plus kSlack) and advancing o past the field. Throws std::invalid_argument
// for an item of the wrong kind.
void edit(char*& o, const Format::Node& n, const Item& it, int scale);

}  // namespace format_detail
}  // namespace nlf
