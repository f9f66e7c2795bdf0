// nlframe: nonlinear static analysis of plane frames.
#include "io/stop.h"
#include "run/command_line.h"

int main(int argc, char** argv) {
  return nlf::guarded_main("nlframe", [&] { return nlf::program_main(argc, argv); });
}
