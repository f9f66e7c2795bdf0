#include "io/banner.h"

#include <array>
#include <string_view>

namespace nlf {

namespace {

// Fifteen box lines, each 51 characters wide.
constexpr std::array<std::string_view, 15> kBox = {
    "***************************************************",
    "***************************************************",
    "**                                               **",
    "**  NONLINEAR ANALYSIS OF PLANE FRAME STRUCTURE  **",
    "**                                               **",
    "**                 VERSION 2.0                   **",
    "**                                               **",
    "**                                               **",
    "**   FIBRE SECTIONS, FIVE SEGMENTS PER MEMBER    **",
    "**   LOAD CONTROL AND ARC-LENGTH CONTROL         **",
    "**                                               **",
    "**   NLFRAME                                     **",
    "**                                               **",
    "***************************************************",
    "***************************************************",
};

constexpr bool all_51_wide() {
  for (auto s : kBox)
    if (s.size() != 51) return false;
  return true;
}
static_assert(all_51_wide(), "every banner line is 51 characters wide");

}  // namespace

void write_banner(TextOut& out) {
  static const Format line("(10X,A)");
  for (auto s : kBox) out.write(line, {s});
}

}  // namespace nlf
