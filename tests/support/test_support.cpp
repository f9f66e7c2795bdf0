#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace nlf::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() / ("nlframe-test-" + std::to_string(rd()));
    if (fs::create_directory(p)) {
      path_ = p;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

InDir::InDir(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
InDir::~InDir() {
  std::error_code ec;
  fs::current_path(old_, ec);
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> read_lines(const fs::path& p) {
  std::vector<std::string> lines;
  std::ifstream in(p);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

RunResult run_program_stdin(const fs::path& dir, const std::string& stdin_text) {
  write_file(dir / ".stdin", stdin_text);
  std::string cmd = "cd '" + dir.string() + "' && '" + std::string(NLFRAME_BINARY) +
                    "' < .stdin > .stdout 2> .stderr";
  int rc = std::system(cmd.c_str());
  RunResult r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = read_file(dir / ".stdout");
  r.err = read_file(dir / ".stderr");
  return r;
}

RunResult run_program(const fs::path& dir, const std::string& deck) {
  write_file(dir / "deck.dat", deck);
  return run_program_stdin(dir, "deck.dat\n");
}

}  // namespace nlf::test
