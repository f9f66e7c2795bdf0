// nlframe: nonlinear static analysis of plane frames.
#include "run/command_line.h"

int main(int argc, char** argv) { return nlf::program_main(argc, argv); }
