// What the plot program takes from the shared readers of a run's files.
#pragma once

#include "results/curves.h"
#include "results/deck.h"
#include "results/member_tables.h"
#include "results/text.h"

namespace nlf::plot {

using namespace nlf::results;

// Anything the plot program cannot read or draw; the message names the file
// and, where it helps, the line.
using PlotError = results::ResultError;

}  // namespace nlf::plot
