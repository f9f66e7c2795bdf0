// One structure card being handled, for the structure input's card
// readers: where it stands in the deck and the error reports that name it.
#pragma once

#include <string>

#include "io/units.h"
#include "model/deck_error.h"
#include "store/model.h"

namespace nlf::structure_input {

inline std::string str(long v) { return std::to_string(v); }

// Columns of the fields of the general card layout.
inline constexpr int I_COL[4] = {0, 2, 5, 8};
inline int x_first(int k) { return 11 + 10 * (k - 1); }
inline int x_last(int k) { return 10 + 10 * k; }

// One structure card being handled: where it is, for the error reports.
struct CardContext {
  Units& units;
  long line;
  char ch;

  // "ERROR IN M CARD AT LINE 12: <what>" on listing and console, `detail`
  // on standard error; the run stops.
  [[noreturn]] void fail(int col_first, int col_last, const std::string& what,
                         const std::string& detail) const {
    deck_error(units, std::string("ERROR IN ") + ch + " CARD AT LINE " + str(line) + ": " + what,
               line, col_first, col_last, std::string(1, ch) + " card " + detail);
  }

  // The joint named by field `f` (1: I1, 2: I2) must have been defined.
  int joint(const Model& md, int f, int number) const {
    const int j = md.jmap(number);
    if (j == 0)
      fail(I_COL[f], I_COL[f] + 2, "JOINT " + str(number) + " NOT DEFINED",
           "names joint " + str(number) + ", which is not defined");
    return j;
  }

  void section(const Model& md, int f, int s) const {
    if (s < 1 || s > md.sz.MUMS)
      fail(I_COL[f], I_COL[f] + 2,
           "SECTION " + str(s) + " OUT OF RANGE 1 TO " + str(md.sz.MUMS),
           "names section " + str(s) + ", outside 1 to " + str(md.sz.MUMS));
  }

  // Room for one more entry of a table whose capacity is `cap`.
  void room(int count, int cap, const char* what, const char* noun, const char* cap_name) const {
    if (count >= cap)
      fail(0, 0, std::string("MORE THAN ") + str(cap) + " " + what + " (" + cap_name + ")",
           std::string("goes beyond the capacity of ") + str(cap) + " " + noun + " (" + cap_name +
               ")");
  }
};

}  // namespace nlf::structure_input
