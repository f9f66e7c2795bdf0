// Helpers shared by the test programs: temporary folders, whole-file reads
// and running the built program on a deck.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/card.h"

namespace nlf::test {

// A fresh empty folder under the system's temporary folder, removed when the
// object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Makes the folder the working folder while the object lives.
class InDir {
 public:
  explicit InDir(const std::filesystem::path& dir);
  ~InDir();

 private:
  std::filesystem::path old_;
};

std::string read_file(const std::filesystem::path& p);
std::vector<std::string> read_lines(const std::filesystem::path& p);
void write_file(const std::filesystem::path& p, const std::string& text);

struct RunResult {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Writes `deck` as deck.dat into `dir` and runs the built program there with
// "deck.dat" on its standard input.
RunResult run_program(const std::filesystem::path& dir, const std::string& deck);
// Runs the built program in `dir` with `stdin_text` as its standard input.
RunResult run_program_stdin(const std::filesystem::path& dir, const std::string& stdin_text);


}  // namespace nlf::test
