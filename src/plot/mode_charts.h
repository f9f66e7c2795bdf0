// The buckling modes of a run drawn over its frame: one picture per mode of
// the run's first V card, the mode scaled to about a tenth of the frame.
#pragma once

#include <string>
#include <vector>

#include "plot/common.h"
#include "results/modes.h"

namespace nlf::plot {

struct ModePicture {
  std::string file;     // "mode-1.svg"
  std::string caption;  // "Buckling mode 1, critical factor 6.81 (elastic stiffness)"
  std::string svg;
};

// The first `most` modes of analysis `b`. Throws PlotError when the modes
// are not of the deck's frame (other joints or members).
std::vector<ModePicture> mode_pictures(const Frame& frame, const BucklingAnalysis& b, int most);

// "6.81" for a factor: four significant digits.
std::string factor_text(double f);

}  // namespace nlf::plot
