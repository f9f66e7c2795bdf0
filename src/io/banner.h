// The title banner at the head of every text file the run writes.
#pragma once

#include "io/units.h"

namespace nlf {

void write_banner(TextOut& out);

}  // namespace nlf
