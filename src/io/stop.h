// The ways a run ends early. A stop is an exception carrying the exit status;
// main catches it, closes the files and returns the status.
#pragma once

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace nlf {

// The program's own stop after an error it detected itself. Its message has
// already been written where the run writes it (listing or console), or it
// is `message`, a line for standard error that the catcher writes; the exit
// status is 1. A normal end is not a Stop.
struct Stop {
  Stop() = default;
  Stop(int s, std::string m = {}) : status(s), message(std::move(m)) {}
  int status = 1;
  std::string message;
};

// A failure of the file layer: a missing file, an end of file in the middle
// of a read, a field that is not a number, a record of the wrong length.
// main prints what() as one line on standard error and exits with status 2.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& msg) : std::runtime_error(msg) {}
};

// The body of a program's main: any exception that escapes `body` (none
// should) becomes one line on standard error, "PROGRAM: internal error:
// WHAT", and exit status 1, instead of an abort.
template <class Body>
int guarded_main(const char* program, Body body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: internal error: %s\n", program, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s: internal error: an exception of unknown type\n", program);
  }
  return 1;
}

}  // namespace nlf
