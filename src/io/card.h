// Card input: the fixed-column fields of the 80-column deck and the one
// free-format read of the deck name.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace nlf {

// The comment character of a deck: a card with it in column 1 is skipped.
inline constexpr char kComment = '$';

// Where a field came from, for the file layer's error report.
struct FieldSource {
  std::string_view file;
  long line = 0;
};

// One data card in the general layout: CH (column 1), I1-I3 (columns 2-10,
// three digits each), X1-X7 (columns 11-80, ten each).
struct Card {
  char ch = ' ';
  int i1 = 0, i2 = 0, i3 = 0;
  std::array<double, 7> x{};  // x[0] is X1
  double X(int k) const { return x[k - 1]; }
};

// The 80 columns of a line: a shorter line is padded with blanks, columns
// past 80 are dropped, a carriage return before the end is ignored.
std::string card_columns(std::string_view line);

// Integer field (Iw with blanks ignored; an all-blank field is 0). `col` is
// the 1-based first column of the field within the card. Throws FileError
// naming file, line and columns for a field that is not an integer.
int read_int_field(std::string_view field, const FieldSource& src, int col);
// Real field (Fw.0 with blanks ignored; no decimal point reads the integer
// value; exponent forms E, D or a bare sign). NaN, infinities and values that
// overflow are refused as malformed. Throws FileError.
double read_real_field(std::string_view field, const FieldSource& src, int col);

// Decodes a card by the general layout (columns as card_columns gives them).
Card decode_card(std::string_view line, const FieldSource& src);

// The control card.
struct ControlCard {
  int iresin = 0;    // columns 2-4
  int iresout = 0;   // columns 5-7
  int nprint = 0;    // columns 8-10 (as read; the caller turns 0 into 1)
  double rctl = 0;   // columns 11-14
  std::string title; // columns 16-79, 64 characters
};
ControlCard decode_control_card(std::string_view line, const FieldSource& src);

// One list-directed read of a character item of length 16 from the whole
// standard-input text: returns the value padded or cut to 16 characters, or
// `initial` when the item is null. Throws FileError on end of file or on an
// invalid string.
std::string read_name_item(std::string_view input, std::string_view initial);

}  // namespace nlf
