// nlframe-plot: SVG pictures of a finished nlframe run.
#include <iostream>
#include <string>
#include <vector>

#include "io/stop.h"
#include "plot/app.h"

int main(int argc, char** argv) {
  return nlf::guarded_main("nlframe-plot", [&] {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return nlf::plot::run(args, std::cout, std::cerr);
  });
}
