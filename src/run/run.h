// The run sequence: from reading the deck name to closing the files.
#pragma once

namespace nlf {

// Runs the whole program and returns its exit status.
int run_program();

}  // namespace nlf
