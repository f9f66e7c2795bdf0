// The program's files are safe from its own hands: a signal ends a run with
// every file whole and the record written, a deck that a run would
// overwrite is refused untouched, and a bad environment is refused like a
// bad command line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempDir;
using test::write_file;

const fs::path kCases = fs::path(NLFRAME_TEST_DATA) / ".." / "regress" / "cases";

test::RunResult run_in(const fs::path& dir, const std::string& args, const std::string& env = "") {
  const std::string cmd = "cd '" + dir.string() + "' && " + env + " '" + std::string(NLFRAME_BINARY) + "' " +
                          args + " < /dev/null > .stdout 2> .stderr";
  const int rc = std::system(cmd.c_str());
  test::RunResult r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.err = read_file(dir / ".stderr");
  return r;
}

// The frame of 110 members under a push of 999 arc-length steps: seconds
// of work, long enough to be interrupted.
std::string long_deck() {
  std::string deck = read_file(kCases / "frame-110-arc" / "1" / "frame.dat");
  const std::size_t at = deck.find("E  0 12  4   1.0E-08     1.000");
  EXPECT_NE(at, std::string::npos);
  deck.replace(at, 30, "E  0999  4   1.0E-08     0.050");
  return deck;
}

std::string last_line(const std::string& text) {
  const std::size_t end = text.find_last_not_of('\n');
  const std::size_t begin = text.rfind('\n', end);
  return text.substr(begin == std::string::npos ? 0 : begin + 1, end - (begin == std::string::npos ? 0 : begin + 1) + 1);
}

TEST(Interrupt, FirstSignalEndsTheRunWithItsFilesWholeAndItsRecord) {
  const std::string deck = long_deck();
  for (const int sig : {SIGINT, SIGTERM}) {
    TempDir dir;
    write_file(dir / "frame.dat", deck);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(99);
      if (!freopen(".stdout", "w", stdout) || !freopen(".stderr", "w", stderr)) _exit(99);
      execl(NLFRAME_BINARY, "nlframe", "frame.dat", static_cast<char*>(nullptr));
      _exit(99);
    }
    // Under way: some tens of steps in the joint table.
    const auto written = [&] {
      std::error_code ec;
      const auto n = fs::file_size(dir / "Jdis.rst", ec);
      return ec ? 0 : n;
    };
    for (int k = 0; k < 3000 && written() < 100000; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, sig);
    int rc = 0;
    ASSERT_EQ(waitpid(pid, &rc, 0), pid);
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), 128 + sig);
    const std::string err = read_file(dir / ".stderr");
    const std::string name = sig == SIGINT ? "SIGINT" : "SIGTERM";
    const std::size_t at = err.find("the run was interrupted by " + name + " in step ");
    ASSERT_NE(at, std::string::npos) << err;
    const int stopped = std::stoi(err.substr(at + 35 + name.size()));
    EXPECT_NE(err.find("nlframe: before the stop: " + std::to_string(stopped - 1) + " steps"), std::string::npos)
        << err;
    EXPECT_NE(err.find("group 2 load factor"), std::string::npos) << err;
    // Every file ends with a whole line; the curve with a step before the stop.
    for (const char* f : {"R.rst", "Jdis.rst", "Jfor.rst", "Mdis.rst", "Mfor.rst", "Mstr.rst", "fort.61"}) {
      const std::string text = read_file(dir / f);
      ASSERT_FALSE(text.empty()) << f;
      EXPECT_EQ(text.back(), '\n') << f;
    }
    const int curve_step = std::stoi(last_line(read_file(dir / "fort.61")));
    EXPECT_GT(curve_step, 3);
    EXPECT_LT(curve_step, stopped);
    const std::string record = read_file(dir / ".nlframe-run.json");
    EXPECT_NE(record.find("\"status\": 3,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"steps\": " + std::to_string(stopped - 1) + ","), std::string::npos) << record;
    // The folder is free: the next run goes ahead.
    write_file(dir / "frame.dat", read_file(fs::path(NLFRAME_EXAMPLES) / "cantilever.dat"));
    EXPECT_EQ(run_in(dir.path(), "frame.dat").status, 0);
  }
}

TEST(Safety, ADeckTheRunWouldOverwriteIsRefusedUntouched) {
  const std::string plain = read_file(fs::path(NLFRAME_EXAMPLES) / "cantilever.dat");
  for (const std::string name : {"R.rst", "Jfor.rst", "Mstr.rst", "fort.61", "fort.9"}) {
    TempDir dir;
    std::string deck = read_file(kCases / "example-pushover" / "1" / "pushover.dat");
    if (name == "fort.9") {
      // Saves its restart file on unit 9 (columns 5-7 of the control card).
      std::size_t c = 0;
      while (deck[c] == '$') c = deck.find('\n', c) + 1;
      deck.replace(c + 4, 3, "  9");
    }
    write_file(dir / name, deck);
    const test::RunResult r = run_in(dir.path(), "'" + name + "'");
    EXPECT_EQ(r.status, 2) << name;
    EXPECT_NE(r.err.find(name + ": the deck is the file " + name + " that its run writes"), std::string::npos)
        << r.err;
    EXPECT_EQ(read_file(dir / name), deck) << name;
    EXPECT_FALSE(fs::exists(dir / (name == "R.rst" ? "Jdis.rst" : "R.rst"))) << name;
  }
  // The same file under another name, in the folder given with -o.
  TempDir dir;
  write_file(dir / "deck.dat", plain);
  fs::create_directories(dir / "out");
  fs::create_hard_link(dir / "deck.dat", dir / "out" / "Jdis.rst");
  const test::RunResult r = run_in(dir.path(), "-o out deck.dat");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("deck.dat: the deck is the file Jdis.rst"), std::string::npos) << r.err;
  EXPECT_EQ(read_file(dir / "deck.dat"), plain);
  // Named like a curve it does not write, a deck runs.
  write_file(dir / "fort.62", plain);
  EXPECT_EQ(run_in(dir.path(), "fort.62").status, 0);
}

TEST(Safety, BadThreadCountAndBadOptionShareTheUsageStatus) {
  TempDir dir;
  write_file(dir / "deck.dat", read_file(fs::path(NLFRAME_EXAMPLES) / "cantilever.dat"));
  const test::RunResult threads = run_in(dir.path(), "deck.dat", "NLFRAME_THREADS=two");
  EXPECT_EQ(threads.status, 2);
  EXPECT_NE(threads.err.find("NLFRAME_THREADS=two"), std::string::npos) << threads.err;
  EXPECT_EQ(run_in(dir.path(), "--frobnicate deck.dat").status, 2);
  EXPECT_FALSE(fs::exists(dir / "R.rst"));
}

// A full disk, as /dev/full gives it to every write: each file that could
// not be written is named, the summary says the results are incomplete, and
// the other files are whole.
TEST(Safety, FilesThatCannotBeWrittenAreNamedAndTheSummarySaysSo) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  TempDir dir;
  write_file(dir / "deck.dat", read_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat"));
  for (const char* f : {"Jdis.rst", "fort.61"}) fs::create_symlink("/dev/full", dir / f);
  const test::RunResult r = run_in(dir.path(), "deck.dat");
  EXPECT_EQ(r.status, 2);
  for (const char* f : {"Jdis.rst", "fort.61"})
    EXPECT_NE(r.err.find(std::string("nlframe: ") + f + ": cannot write: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nlframe: incomplete results: 40 steps"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the results are incomplete: Jdis.rst, fort.61 could not be written whole"),
            std::string::npos)
      << r.err;
  const std::string jfor = read_file(dir / "Jfor.rst");
  EXPECT_TRUE(!jfor.empty() && jfor.back() == '\n');
}

}  // namespace
}  // namespace nlf
