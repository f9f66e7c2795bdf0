#include "plot/app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "plot/plot_test_util.h"
#include "support/test_support.h"

namespace nlf::plot {
namespace {

namespace fs = std::filesystem;
using nlf::test::card;
using nlf::test::read_file;
using nlf::test::write_file;
using test::count_class;
using test::xml_problem;

TEST(Options, CommonForms) {
  const Options o =
      parse_options({"--step=12", "--scale", "50", "-o", "pics", "--xy", "2,1", "-drun", "--html", "deck.dat"});
  EXPECT_TRUE(o.html);
  EXPECT_EQ(o.deck, "deck.dat");
  EXPECT_EQ(*o.step, 12);
  EXPECT_EQ(*o.scale, 50);
  EXPECT_EQ(*o.out_dir, "pics");
  EXPECT_EQ(*o.run_dir, "run");
  EXPECT_EQ(*o.xy, ColumnPair(2, 1));
  EXPECT_TRUE(parse_options({"--help"}).help);
  EXPECT_EQ(parse_options({"--", "-odd.dat"}).deck, "-odd.dat");
}

TEST(Options, BadCommandLinesAreRefused) {
  using Args = std::vector<std::string>;
  for (const Args& args : {Args{}, Args{"--frobnicate", "d"}, Args{"--step", "0", "d"}, Args{"--step", "x", "d"},
                           Args{"--scale", "-1", "d"}, Args{"--scale", "nan", "d"}, Args{"--xy", "1", "d"},
                           Args{"--xy", "1,8", "d"}, Args{"d", "--step"}, Args{"d", "e"}})
    EXPECT_THROW(parse_options(args), UsageError) << (args.empty() ? "(none)" : args[0]);
}

// A finished two-member run: deck, two curve files, Mdis and Mstr with the
// steps 2 and 4 (Mdis: detail step 2 only).
struct FinishedRun {
  nlf::test::TempDir dir;
  FinishedRun() {
    write_file(dir / "deck.dat", "   0  0  1 0.0 L FRAME\n" + card('J', 1, 0, 0, {0, 0}) +
                                     card('J', 2, 0, 0, {0, 300}) + card('J', 3, 0, 0, {400, 300}) +
                                     card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 2, 3, 1, {0.2, 0.4, 0.6, 0.8}) +
                                     card('W', 0, 0, 0, {2.21, 2.11}) + card('W', 0, 0, 0, {3.23}) + card('L', 20, 1) +
                                     card('B', 1, 111) + card('E', 0, 4, 2, {0.001}) + card('F'));
    write_file(dir / "fort.61", test::curve_file({"  2D.X(MM)", "  2F.X(TON)"}, {{1, {1, 2}}, {2, {2, 4}}}));
    write_file(dir / "fort.62", test::curve_file({"  3D.R(1/100)"}, {{1, {0.5}}, {2, {1.0}}}));
    test::MemberDisp a{1, 2, {}}, b{2, 3, {}};
    write_file(dir / "Mdis.rst", test::mdis_file({{2, {a, b}}}));
    auto s = test::elastic();
    s[0] = std::string(20, '+');
    write_file(dir / "Mstr.rst", test::banner() + test::mstr_block(2, {{1, 2, s}, {2, 3, test::elastic()}}) +
                                     test::mstr_block(4, {{1, 2, s}, {2, 3, s}}));
  }
  int go(std::vector<std::string> args) {
    args.push_back((dir / "deck.dat").string());
    out.str("");
    err.str("");
    return run(args, out, err);
  }
  std::ostringstream out, err;
};

TEST(Program, WritesEveryPictureIntoTheRunFolder) {
  FinishedRun r;
  ASSERT_EQ(r.go({}), kOk) << r.err.str();
  for (const char* name : {"curve-61.svg", "curve-62.svg", "frame.svg", "plastic.svg"}) {
    const std::string doc = read_file(r.dir / name);
    EXPECT_EQ(xml_problem(doc), "") << name;
  }
  // fort.61: the force of joint 2 against its displacement, one curve.
  EXPECT_EQ(count_class(read_file(r.dir / "curve-61.svg"), "curve"), 1);
  EXPECT_EQ(count_class(read_file(r.dir / "curve-62.svg"), "curve"), 1);
  const std::string frame = read_file(r.dir / "frame.svg");
  EXPECT_EQ(count_class(frame, "member"), 2);
  EXPECT_NE(frame.find("step 2,"), std::string::npos);  // the last detail step
  const std::string plastic = read_file(r.dir / "plastic.svg");
  EXPECT_EQ(count_class(plastic, "station"), 20);
  EXPECT_NE(plastic.find("step 2:"), std::string::npos);  // the same step as the frame
  EXPECT_FALSE(fs::exists(r.dir / "frame.svg.tmp"));
}

TEST(Program, StepAndOutputFolder) {
  FinishedRun r;
  EXPECT_EQ(r.go({"--step", "4", "-o", (r.dir / "pics").string()}), kFailed);
  // Step 4 has stresses but no member displacements: the step is refused
  // with the steps that are there, and nothing is written.
  EXPECT_NE(r.err.str().find("no member displacements for step 4"), std::string::npos) << r.err.str();
  EXPECT_NE(r.err.str().find("steps there: 2); nothing written"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(r.dir / "pics"));
  EXPECT_EQ(r.go({"--step", "2", "-o", (r.dir / "pics").string()}), kOk);
  EXPECT_NE(read_file(r.dir / "pics" / "plastic.svg").find("step 2:"), std::string::npos);
  EXPECT_TRUE(fs::exists(r.dir / "pics" / "curve-61.svg"));
  EXPECT_FALSE(fs::exists(r.dir / "plastic.svg"));
  EXPECT_EQ(r.go({"--xy", "0,1"}), kOk);  // a value against the step number
}

TEST(Program, MissingAndForeignFilesFailClearly) {
  FinishedRun r;
  fs::remove(r.dir / "fort.62");
  fs::remove(r.dir / "Mdis.rst");
  EXPECT_EQ(r.go({}), kFailed);
  EXPECT_NE(r.err.str().find("fort.62: no such file"), std::string::npos) << r.err.str();
  EXPECT_NE(r.err.str().find("Mdis.rst: no such file"), std::string::npos);
  EXPECT_TRUE(fs::exists(r.dir / "curve-61.svg"));
  EXPECT_TRUE(fs::exists(r.dir / "plastic.svg"));  // from the last step of Mstr.rst

  // Results of a deck whose second member joins other joints.
  FinishedRun other;
  test::MemberDisp a{1, 2, {}}, b{2, 4, {}};
  write_file(other.dir / "Mdis.rst", test::mdis_file({{2, {a, b}}}));
  EXPECT_EQ(other.go({}), kFailed);
  EXPECT_NE(other.err.str().find("do not belong to this deck"), std::string::npos);

  // A listing of a deck of another title: nothing is drawn.
  FinishedRun foreign;
  write_file(foreign.dir / "R.rst", test::banner() + "1          T FRAME\n");
  EXPECT_EQ(foreign.go({"--html"}), kForeign);
  EXPECT_EQ(foreign.err.str(), "nlframe-plot: error: " + (foreign.dir / "R.rst").string() +
                                   ": a run of the deck titled 'T FRAME', not of " + (foreign.dir / "deck.dat").string() +
                                   " ('L FRAME'); the result files belong to another deck\n");
  EXPECT_FALSE(fs::exists(foreign.dir / "curve-61.svg"));
  EXPECT_FALSE(fs::exists(foreign.dir / "index.html"));

  FinishedRun none;
  EXPECT_EQ(none.go({"-d", (none.dir / "nowhere").string()}), kFailed);
  EXPECT_NE(none.err.str().find("no such folder"), std::string::npos);
  // The deck missing, the run folder or a result file named instead.
  std::ostringstream out, err;
  EXPECT_EQ(run({(none.dir / "missing.dat").string()}, out, err), kUsage);
  EXPECT_NE(err.str().find("missing.dat: no such deck"), std::string::npos);
  EXPECT_EQ(run({none.dir.path().string()}, out, err), kUsage);
  EXPECT_NE(err.str().find(" is a folder: name the deck of the run (" + (none.dir / "deck.dat").string() + ")"),
            std::string::npos) << err.str();
  write_file(none.dir / "R.rst", test::banner());
  EXPECT_EQ(run({(none.dir / "R.rst").string()}, out, err), kUsage);
  EXPECT_NE(err.str().find("R.rst is a result file of a run, not its deck: name the deck ("), std::string::npos)
      << err.str();
}

TEST(Program, ExitStatusOfTheBuiltProgram) {
  const std::string bin = NLFRAME_PLOT_BINARY;
  EXPECT_EQ(WEXITSTATUS(std::system((bin + " --help >/dev/null").c_str())), kOk);
  EXPECT_EQ(WEXITSTATUS(std::system((bin + " --bogus x.dat 2>/dev/null").c_str())), kUsage);
  EXPECT_EQ(WEXITSTATUS(std::system((bin + " /nonexistent/deck.dat 2>/dev/null").c_str())), kUsage);
  EXPECT_EQ(WEXITSTATUS(std::system((bin + " --version | grep -q '^nlframe-plot [0-9]'").c_str())), kOk);
}

}  // namespace
}  // namespace nlf::plot
