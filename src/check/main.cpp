// nlframe-check: the deck check before a run.
#include "check/check.h"

int main(int argc, char** argv) { return nlf::check_main(argc, argv); }
