// The report page of a run, index.html beside its pictures: the title, the
// summary, the pictures and the largest results of the last step. The page
// is well-formed XML as well as HTML, so that any XML tool reads it.
#pragma once

#include <string>
#include <vector>

#include "plot/summary.h"

namespace nlf::plot {

struct Picture {
  std::string file;     // beside the page: "curve-61.svg"
  std::string caption;  // "Response curve fort.61"
};

std::string html_page(const std::string& title, const std::string& deck, const RunSummary& s,
                      const std::vector<Picture>& pictures);

}  // namespace nlf::plot
