// Stores that follow the model: the same files as the fixed stores where
// those hold the model, frames past their 333 joints up to 999, the fibre
// state of many members in memory (the same files as in scratch files, on
// any number of threads), a large run saved and continued, and a line on
// standard error for every capacity stop.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run/engine.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::card;
using test::read_file;
using test::read_lines;
using test::TempDir;

// Keeps the console and standard-error lines of a run.
class Kept : public RunOutput {
 public:
  void console(std::string_view line) override { out += std::string(line) + "\n"; }
  void error(std::string_view line) override { err += std::string(line) + "\n"; }
  std::string out, err;
};

struct Ran {
  int status = -1;
  std::string out, err;
};

Ran run(const fs::path& dir, const std::string& deck, const Capacity& cap = {}, int threads = 1,
        bool scratch = false) {
  fs::create_directories(dir);
  test::write_file(dir / "deck.dat", deck);
  RunRequest req;
  req.deck = "deck.dat";
  req.folder = dir;
  req.threads = threads;
  req.force_scratch = scratch;
  req.capacity = cap;
  Kept kept;
  const RunResult r = run_deck(req, kept);
  return {r.status, kept.out, kept.err};
}

// A frame of `bays` bays and `storeys` storeys (600 cm by 350 cm), its
// joints numbered floor by floor, under gravity at every joint and a lateral
// load growing over `steps` load-control steps, both times `scale`; `yield`
// 2.4 t/cm2 makes it yield, a large one keeps it elastic. `restart_out`
// saves the state at the F card; `history_only` makes the deck a
// continuation from unit 30 with those cards before its load history.
std::string frame(int bays, int storeys, int steps, double yield, int restart_out = 0,
                  const std::string& history_only = "", double scale = 1) {
  char head[64];
  std::snprintf(head, sizeof head, "   0%3d  1     FRAME %dx%d\n", restart_out, bays, storeys);
  std::string d = head;
  const auto joint = [&](int f, int c) { return f * (bays + 1) + c + 1; };
  if (history_only.empty()) {
    d += card('P', 0, 0, 0, {2100, 21, 21});
    d += card('I', 1, 0, 0, {30, 15, 0.71, 1.07, 1.5, yield});
    for (int f = 0; f <= storeys; ++f)
      for (int c = 0; c <= bays; ++c) d += card('J', joint(f, c), 0, 0, {600.0 * c, 350.0 * f});
    for (int f = 1; f <= storeys; ++f) {
      for (int c = 0; c <= bays; ++c) d += card('M', joint(f - 1, c), joint(f, c), 1, {0.2, 0.4, 0.6, 0.8});
      for (int c = 0; c < bays; ++c) d += card('M', joint(f, c), joint(f, c + 1), 1, {0.2, 0.4, 0.6, 0.8});
    }
    d += card('W', 0, 0, 0, {joint(storeys, 0) + 0.21, 1.11});
    d += card('L', 30, 1);
  } else {
    d = "  30  0  1     CONTINUED\n" + history_only;
  }
  for (int c = 0; c <= bays; ++c) d += card('B', joint(0, c), 111);
  for (int f = 1; f <= storeys; ++f) {
    d += card('B', joint(f, 0), 0, 0, {0.4 * scale, -2 * scale});
    for (int c = 1; c <= bays; ++c) d += card('B', joint(f, c), 0, 0, {0, -2 * scale});
  }
  return d + card('E', 0, steps, 1, {1e-9}) + "F\n";
}

// The files of a run folder but the deck, each as its lines; the lines
// that report the stores (and the scratch-file notice) left out.
std::map<std::string, std::vector<std::string>> files(const fs::path& dir) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name == "deck.dat") continue;
    auto& lines = out[name];
    for (const std::string& l : read_lines(e.path()))
      if (l.rfind(" INTEGER LAST/IMAX =", 0) != 0 && l.rfind(" KLAST /NSYMAX =", 0) != 0 &&
          l != " ***ERR MEMORY NOT ENOUGH, SAVE DATA IN HARD DISK*")
        lines.push_back(l);
  }
  return out;
}

// The line of the listing that starts with `lead`.
std::string line_of(const fs::path& listing, const std::string& lead) {
  for (const std::string& l : read_lines(listing))
    if (l.rfind(lead, 0) == 0) return l;
  return {};
}

TEST(Capacity, WithinTheFixedStoresTheFilesAreTheSame) {
  TempDir dir;
  const std::string deck = frame(2, 4, 4, 2.4);  // yields
  const Ran fixed = run(dir / "fixed", deck);
  const Ran follows = run(dir / "auto", deck, Capacity::following());
  ASSERT_EQ(fixed.status, 0) << fixed.err;
  ASSERT_EQ(follows.status, 0) << follows.err;
  EXPECT_EQ(files(dir / "fixed"), files(dir / "auto"));
  // Only the stores' sizes differ: the fixed ones, and the model's own.
  EXPECT_EQ(line_of(dir / "fixed" / "R.rst", " INTEGER LAST/IMAX ="), " INTEGER LAST/IMAX = 236 / 30000");
  EXPECT_EQ(line_of(dir / "auto" / "R.rst", " INTEGER LAST/IMAX ="), " INTEGER LAST/IMAX = 236 / 236");
  EXPECT_EQ(line_of(dir / "auto" / "R.rst", " KLAST /NSYMAX ="), " KLAST /NSYMAX = 32000 / 32001");
  EXPECT_NE(follows.out.find("/1X"), std::string::npos);
}

TEST(Capacity, FramesPastTheFixedJointsUpToNineHundredNinetyNine) {
  TempDir dir;
  {  // 83 storeys, 3 bays: 336 joints
    const std::string deck = frame(3, 83, 1, 1e6);
    const Ran fixed = run(dir / "336", deck);
    EXPECT_EQ(fixed.status, 1);
    EXPECT_EQ(read_lines(dir / "336" / "R.rst").back(), " ERROR ... NUMBER OF POINTS GT 333");
    EXPECT_NE(fixed.err.find("more than 333 joints"), std::string::npos) << fixed.err;
    EXPECT_NE(fixed.err.find("--capacity auto"), std::string::npos) << fixed.err;
    const Ran follows = run(dir / "336auto", deck, Capacity::following());
    EXPECT_EQ(follows.status, 0) << follows.err;
    EXPECT_EQ(line_of(dir / "336auto" / "R.rst", " KLAST /NSYMAX ="), " KLAST /NSYMAX = 929600 / 929601");
  }
  // A cantilever of 998 members (999 joints), elastic, two steps; and one
  // joint more.
  const auto cantilever = [](int joints) {
    std::string d = "   0  0  1     CANTILEVER\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                    card('I', 1, 0, 0, {30, 15, 0.71, 1.07, 1.5, 1e6});
    // (The 1000th card repeats a number: the count stops the run first.)
    for (int j = 1; j <= joints; ++j) d += card('J', j <= 999 ? j : 1, 0, 0, {10.0 * j, 0});
    for (int j = 1; j < std::min(joints, 999); ++j) d += card('M', j, j + 1, 1, {0.2, 0.4, 0.6, 0.8});
    return d + card('L', 10, 1) + card('B', 1, 111) + card('B', 999, 0, 0, {0, -1e-4}) +
           card('E', 0, 2, 1, {1e-8}) + "F\n";
  };
  const Ran full = run(dir / "999", cantilever(999), Capacity::following());
  EXPECT_EQ(full.status, 0) << full.err;
  EXPECT_EQ(read_lines(dir / "999" / "R.rst")[18], "   998  999    5   20    0    1    6    0");
  const Ran over = run(dir / "1000", cantilever(1000), Capacity::following());
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(read_lines(dir / "1000" / "R.rst").back(), " ERROR ... NUMBER OF POINTS GT 999");
  EXPECT_EQ(over.err, "nlframe: the deck has more than 999 joints, the most a joint number of three columns "
                      "allows\n");
}

// 4 bays, 14 storeys: 126 members, one past what the fixed store holds in
// memory.
TEST(Capacity, ManyMembersInMemoryWriteWhatScratchFilesWriteOnAnyThreads) {
  TempDir dir;
  const std::string deck = frame(4, 14, 3, 2.4);
  const Ran scratch = run(dir / "scratch", deck);
  const Ran one = run(dir / "one", deck, Capacity::following());
  const Ran two = run(dir / "two", deck, Capacity::following(), 2);
  ASSERT_EQ(scratch.status, 0) << scratch.err;
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_NE(scratch.out.find("SAVE DATA IN HARD DISK"), std::string::npos);
  EXPECT_EQ(one.out.find("SAVE DATA IN HARD DISK"), std::string::npos);
  EXPECT_EQ(files(dir / "scratch"), files(dir / "one"));
  for (const char* f : {"R.rst", "Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst", "fort.61"})
    EXPECT_EQ(read_file(dir / "one" / f), read_file(dir / "two" / f)) << f;
  // A fibre budget below the model's state: scratch files again, the same files.
  const Ran budget = run(dir / "budget", deck, Capacity::following(1 << 20));
  ASSERT_EQ(budget.status, 0) << budget.err;
  EXPECT_NE(budget.out.find("SAVE DATA IN HARD DISK"), std::string::npos);
  EXPECT_EQ(files(dir / "scratch"), files(dir / "budget"));
}

TEST(Capacity, ALargeRunSavesAndContinuesByteForByte) {
  TempDir dir;
  // 84 storeys of 3 bays: 340 joints, 588 members, yielding.
  const Capacity cap = Capacity::following();
  const double scale = 0.02;
  const Ran whole = run(dir / "whole", frame(3, 84, 3, 2.4, 0, "", scale), cap);
  ASSERT_EQ(whole.status, 0) << whole.err;
  const fs::path split = dir / "split";
  ASSERT_EQ(run(split, frame(3, 84, 2, 2.4, 30, "", scale), cap).status, 0);
  const std::string saved = read_file(split / "fort.30");
  // Continued without the capacity: the fixed stores cannot hold it.
  const Ran refused = run(split, frame(3, 84, 1, 2.4, 0, card('L', -30, -1), scale));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("fort.30: the restart file holds 340 joints, more than the 333"), std::string::npos)
      << refused.err;
  const Ran more =
      run(split, frame(3, 84, 1, 2.4, 0, card('W', 0, 0, 0, {337.21, 1.11}) + card('L', -30, -1), scale), cap);
  ASSERT_EQ(more.status, 0) << more.err;
  EXPECT_EQ(read_file(split / "fort.30"), saved);  // read, not written
  // Step 3 of the continued run is step 3 of the whole run.
  for (const char* f : {"Jfor.rst", "Jdis.rst", "Mfor.rst", "Mstr.rst"}) {
    const auto a = read_lines(dir / "whole" / f), b = read_lines(split / f);
    ASSERT_GE(a.size(), b.size()) << f;
    const auto tail = [](const std::vector<std::string>& v, std::size_t n) {
      return std::vector<std::string>(v.end() - static_cast<std::ptrdiff_t>(n), v.end());
    };
    std::size_t n = 0;  // the lines of the last step
    for (std::size_t k = b.size(); k-- > 0;)
      if (b[k].rfind(" STEP", 0) == 0) {
        n = b.size() - k;
        break;
      }
    ASSERT_GT(n, 0u) << f;
    EXPECT_EQ(tail(a, n), tail(b, n)) << f;
  }
}

TEST(Capacity, EveryCapacityStopSaysSoOnStandardError) {
  TempDir dir;
  const std::string joints2 = card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {100, 0});
  {  // the integer workspace
    std::string deck = "  0  0  1\n" + joints2;
    for (int m = 0; m < 7500; ++m) deck += card('M', 1, 2, 1);
    const Ran r = run(dir / "int", deck + "L\nF\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nlframe: the model needs 30065 places of the integer workspace, which holds 30000\n");
  }
  {  // the real workspace: 333 joints and a band of 999
    std::string deck = "  0  0  1\n";
    for (int j = 1; j <= 333; ++j) deck += card('J', j, 0, 0, {100.0 * j, 0});
    const Ran r = run(dir / "real", deck + card('M', 1, 333, 1) + "L\nF\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("places of the real workspace, which holds 600000"), std::string::npos) << r.err;
    // Stores that follow the model hold it.
    const Ran follows = run(dir / "real-auto", deck + card('M', 1, 333, 1) + "L\nF\n", Capacity::following());
    EXPECT_EQ(follows.err.find("workspace"), std::string::npos) << follows.err;
  }
}

}  // namespace
}  // namespace nlf
