// nlframe-export: the results of a finished nlframe run as CSV tables.
#include <iostream>
#include <string>
#include <vector>

#include "export/app.h"
#include "io/stop.h"

int main(int argc, char** argv) {
  return nlf::guarded_main("nlframe-export", [&] {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return nlf::exporter::run(args, std::cout, std::cerr);
  });
}
