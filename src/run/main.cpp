// nlframe: nonlinear static analysis of plane frames.
#include "run/run.h"

int main() { return nlf::run_program(); }
