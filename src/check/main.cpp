// nlframe-check: the deck check before a run.
#include "check/check.h"
#include "io/stop.h"

int main(int argc, char** argv) {
  return nlf::guarded_main("nlframe-check", [&] { return nlf::check_main(argc, argv); });
}
