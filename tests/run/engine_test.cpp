// The engine as a library: runs in folders of their own, two at once in one
// process writing what the program writes, a cancelled run, and the
// messages of a run that stops.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "run/engine.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempDir;

const fs::path kRegress = NLFRAME_REGRESS;

// The deck of a stored case, as the program's run folder holds it.
std::string deck_of(const std::string& name) {
  std::string d = read_file(kRegress / "cases" / name / "1" / ".stdin");
  while (!d.empty() && (d.back() == '\n' || d.back() == ' ')) d.pop_back();
  return d;
}

RunResult run_case(const std::string& name, const fs::path& folder, int threads,
                   const std::atomic<bool>* cancel = nullptr) {
  fs::create_directories(folder);
  fs::copy_file(kRegress / "cases" / name / "1" / deck_of(name), folder / deck_of(name));
  RunRequest req;
  req.deck = deck_of(name);
  req.folder = folder;
  req.threads = threads;
  req.cancel = cancel;
  QuietOutput quiet;
  return run_deck(req, quiet);
}

void same_as_the_program(const std::string& name, const fs::path& folder) {
  for (const auto& e : fs::directory_iterator(kRegress / "expected" / name / "1")) {
    const std::string f = e.path().filename().string();
    if (f.front() == '.') continue;
    EXPECT_EQ(read_file(folder / f), read_file(e.path())) << name << ": " << f;
  }
}

TEST(Engine, TwoRunsAtOnceInFoldersOfTheirOwn) {
  TempDir dir;
  RunResult a, b;
  std::thread other([&] { a = run_case("frame-110-arc", dir / "a", 2); });
  b = run_case("example-pushover", dir / "b", 1);
  other.join();
  ASSERT_EQ(a.status, 0) << a.message;
  ASSERT_EQ(b.status, 0) << b.message;
  same_as_the_program("frame-110-arc", dir / "a");
  same_as_the_program("example-pushover", dir / "b");
  EXPECT_EQ(a.summary.steps, 15);
  EXPECT_EQ(a.message, summary_text(a.summary));
  ASSERT_EQ(a.messages.size(), 1u);  // the summary line with its time
  EXPECT_EQ(a.messages[0].rfind("nlframe: " + a.message + ", ", 0), 0u);
  EXPECT_FALSE(fs::exists("R.rst"));  // nothing in the process's own folder
}

TEST(Engine, CancelledAndStoppedRunsSayWhy) {
  TempDir dir;
  std::atomic<bool> cancel{true};
  const RunResult c = run_case("example-portal", dir / "c", 1, &cancel);
  EXPECT_EQ(c.status, kCancelled);
  EXPECT_TRUE(c.started);
  EXPECT_EQ(c.message, "the run was cancelled in step 1, iteration 1");
  EXPECT_FALSE(read_file(dir / "c" / "Jdis.rst").empty());  // closed with its banner

  const RunResult d = run_case("member-undefined-section", dir / "d", 1);
  EXPECT_EQ(d.status, 1);
  EXPECT_FALSE(d.started);
  EXPECT_EQ("nlframe: " + d.message + "\n", read_file(kRegress / "expected" / "member-undefined-section" / "1" / ".stderr"));

  RunRequest missing;
  missing.deck = "none.dat";
  missing.folder = dir / "e";
  QuietOutput quiet;
  const RunResult e = run_deck(missing, quiet);
  EXPECT_EQ(e.status, 2);
  EXPECT_EQ(e.message.rfind("none.dat: cannot open the deck", 0), 0u) << e.message;
  EXPECT_FALSE(c.internal_error || d.internal_error || e.internal_error);
}

// An exception that none of the run's stops expects (here from a progress
// function that breaks its promise not to throw) ends the run like a stop:
// status 1, the files closed, one line that calls it an internal error.
TEST(Engine, AnUnexpectedExceptionIsAnInternalError) {
  TempDir dir;
  fs::copy_file(kRegress / "cases" / "example-portal" / "1" / deck_of("example-portal"),
                dir / deck_of("example-portal"));
  RunRequest req;
  req.deck = deck_of("example-portal");
  req.folder = dir.path();
  req.progress = [](int, double) { throw std::runtime_error("broken promise"); };
  QuietOutput quiet;
  const RunResult r = run_deck(req, quiet);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.internal_error);
  EXPECT_EQ(r.message, "internal error: broken promise");
  ASSERT_FALSE(r.messages.empty());
  EXPECT_EQ(r.messages.back(), "nlframe: internal error: broken promise");
  EXPECT_FALSE(read_file(dir / "Jdis.rst").empty());
}

TEST(Engine, AFolderHoldsOneRunAtATime) {
  TempDir dir;
  const std::string name = deck_of("example-portal");
  fs::copy_file(kRegress / "cases" / "example-portal" / "1" / name, dir / name);
  RunRequest req;
  req.deck = name;
  req.folder = dir.path();
  QuietOutput quiet;
  // A second run into the folder while the first goes on (started from the
  // first one's progress) is refused and touches nothing.
  RunResult second;
  RunRequest first = req;
  first.progress = [&](int step, double) {
    if (step == 3) second = run_deck(req, quiet);
  };
  const RunResult a = run_deck(first, quiet);
  EXPECT_EQ(a.status, 0) << a.message;
  EXPECT_EQ(second.status, 2);
  EXPECT_EQ(second.message, dir.path().string() + ": another run is going on in this folder");
  same_as_the_program("example-portal", dir.path());
  // Once it has ended, the folder takes the next run.
  EXPECT_EQ(run_deck(req, quiet).status, 0);
}

}  // namespace
}  // namespace nlf
