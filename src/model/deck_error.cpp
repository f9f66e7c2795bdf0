#include "model/deck_error.h"

#include <cstdio>

#include "io/stop.h"
#include "io/units.h"

namespace nlf {

void deck_error(Units& units, const std::string& listing_text, long line, int col_first,
                int col_last, const std::string& detail) {
  units.listing().message({listing_text});
  units.console().message({listing_text});
  units.console().flush();

  std::string where = "line " + std::to_string(line);
  if (col_first > 0) {
    if (col_last > col_first)
      where += ", columns " + std::to_string(col_first) + "-" + std::to_string(col_last);
    else
      where += ", column " + std::to_string(col_first);
  }
  std::fprintf(stderr, "nlframe: %s: %s: %s\n", units.deck().name().c_str(), where.c_str(),
               detail.c_str());
  std::fflush(stderr);
  throw Stop{1};
}

}  // namespace nlf
