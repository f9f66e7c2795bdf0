// Rejecting a deck: the one way the input readers end the run on a card they
// cannot accept.
#pragma once

#include <string>

namespace nlf {

class Units;

// Writes `listing_text` in free format (one blank, then the text) to the
// listing and to the console, then one line on standard error naming the
// deck file, the line and the columns of the offending field:
//   nlframe: deck.dat: line 12, columns 2-4: <detail>
// A col_first of 0 or less leaves the columns out (the card as a whole is at
// fault); col_first == col_last names a single column. Then stops the run
// with status 1.
[[noreturn]] void deck_error(Units& units, const std::string& listing_text, long line,
                             int col_first, int col_last, const std::string& detail);

}  // namespace nlf
