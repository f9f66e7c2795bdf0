#include "export/app.h"

#include <cmath>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "export/csv.h"
#include "support/test_support.h"

namespace nlf::exporter {
namespace {

namespace fs = std::filesystem;
using nlf::test::read_file;
using nlf::test::read_lines;
using nlf::test::TempDir;
using nlf::test::write_file;

TEST(Csv, NumbersKeepTheirPrintedDigits) {
  EXPECT_EQ(csv_number("500.0E-02"), "500.0E-02");
  EXPECT_EQ(csv_number("-0.000"), "-0.000");
  EXPECT_EQ(csv_number("1.2345+100"), "1.2345E+100");  // the letter a three-digit exponent lost
  EXPECT_EQ(csv_number("-320.0-101"), "-320.0E-101");
  EXPECT_EQ(csv_number("**********"), "");  // too wide for its field: no number
  EXPECT_EQ(csv_field("a,b \"c\""), "\"a,b \"\"c\"\"\"");
}

std::vector<std::string> split_csv(const std::string& line) {
  std::vector<std::string> v(1);
  for (char c : line) {
    if (c == ',')
      v.emplace_back();
    else
      v.back() += c;
  }
  return v;
}

// A CSV file as its header and rows.
struct Csv {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  explicit Csv(const fs::path& p) {
    const auto lines = read_lines(p);
    header = split_csv(lines.at(0));
    for (std::size_t i = 1; i < lines.size(); ++i) {
      rows.push_back(split_csv(lines[i]));
      EXPECT_EQ(rows.back().size(), header.size()) << p << " line " << i + 1;
    }
  }
  std::size_t col(const std::string& name) const {
    for (std::size_t i = 0; i < header.size(); ++i)
      if (header[i] == name) return i;
    ADD_FAILURE() << "no column " << name;
    return 0;
  }
};

// The printed numbers of a result line, split at blanks and brackets: what
// an engineer's script reads.
std::vector<std::string> tokens(std::string line) {
  for (char& c : line)
    if (c == '(' || c == ')') c = ' ';
  std::istringstream in(line);
  std::vector<std::string> v;
  for (std::string t; in >> t;) v.push_back(t);
  return v;
}

// Rows of a result table by step: the lines after each " STEP" heading that
// start with the given prefix test.
std::map<int, std::vector<std::string>> rows_by_step(const fs::path& p, std::size_t min_length) {
  std::map<int, std::vector<std::string>> m;
  int step = -1;
  for (const std::string& l : read_lines(p)) {
    if (l.rfind(" STEP", 0) == 0 && l.rfind(" STEP=", 0) != 0)
      step = std::stoi(l.substr(5, 4));
    else if (step >= 0 && l.size() >= min_length && l.find(" JOINT") != 0 && l.find("     I  J") != 0)
      m[step].push_back(l);
  }
  return m;
}

// A run of the analysis program in its own folder.
struct FinishedRun {
  TempDir dir;
  std::ostringstream out, err;
  explicit FinishedRun(const fs::path& deck) {
    const auto r = nlf::test::run_program(dir.path(), read_file(deck));
    EXPECT_EQ(r.status, 0) << r.err;
  }
  int go(std::vector<std::string> args = {}) {
    args.push_back((dir / "deck.dat").string());
    out.str("");
    err.str("");
    return run(args, out, err);
  }
};

// Every number of the CSV tables is the text the result files print.
void expect_tables_match_the_files(const fs::path& d, std::size_t joints, std::size_t members) {
  const auto jdis = rows_by_step(d / "Jdis.rst", 100), jfor = rows_by_step(d / "Jfor.rst", 100);
  const Csv jc(d / "joints.csv");
  ASSERT_EQ(jc.rows.size(), jdis.size() * joints);
  EXPECT_EQ(jc.header[2], "displacement_U(MM)");
  EXPECT_EQ(jc.header[10], "total_T(1/100)");
  EXPECT_EQ(jc.header.back(), "internal_M(TON*CM)");
  EXPECT_EQ(jc.header[11], "unbalanced_X(TON)");
  EXPECT_EQ(jc.header[14], "applied_X(TON)");
  for (const auto& row : jc.rows) {
    const int step = std::stoi(row[0]);
    const std::size_t j = static_cast<std::size_t>(&row - &jc.rows[0]) % joints;
    auto printed = tokens(jdis.at(step).at(j));
    const auto f = tokens(jfor.at(step).at(j));
    printed.insert(printed.end(), f.begin() + 1, f.end());
    ASSERT_EQ(printed.size() + 1, row.size());
    for (std::size_t k = 0; k < printed.size(); ++k) ASSERT_EQ(row[k + 1], printed[k]) << "step " << step;
  }

  const auto mfor = rows_by_step(d / "Mfor.rst", 100);
  const Csv mc(d / "member-forces.csv");
  ASSERT_EQ(mc.rows.size(), mfor.size() * members);
  EXPECT_EQ(mc.header[mc.col("MJ(T*CM)") + 1], "E1-E2_J(%)");
  for (const auto& row : mc.rows) {
    const std::string& line = mfor.at(std::stoi(row[0])).at(std::stoul(row[1]) - 1);
    const auto printed = tokens(line.substr(12));
    for (std::size_t k = 0; k < printed.size(); ++k) ASSERT_EQ(row[k + 4], printed[k]) << line;
    EXPECT_EQ(row[2] + "-" + row[3], tokens(line.substr(4, 8))[0] + tokens(line.substr(4, 8)).back());
  }

  const auto mdis = rows_by_step(d / "Mdis.rst", 100);
  const Csv nc(d / "member-nodes.csv");
  ASSERT_EQ(nc.rows.size(), mdis.size() * members * 6);
  for (const auto& row : nc.rows) {
    const auto& lines = mdis.at(std::stoi(row[0]));
    const std::size_t i = (std::stoul(row[1]) - 1) * 6 + std::stoul(row[4]) - 1;
    const auto printed = tokens(lines.at(i).substr(16));
    for (std::size_t k = 0; k < printed.size(); ++k) ASSERT_EQ(row[k + 5], printed[k]);
  }

  const auto mstr = rows_by_step(d / "Mstr.rst", 120);
  const Csv sc(d / "stations.csv");
  ASSERT_EQ(sc.rows.size(), mstr.size() * members * 10);
  const std::size_t state = sc.col("state");
  for (const auto& row : sc.rows) {
    // Four-digit stresses run into each other: the 20I4 fields are taken
    // by column.
    const std::string& line = mstr.at(std::stoi(row[0])).at((std::stoul(row[1]) - 1) * 10 + std::stoul(row[4]) - 1);
    const auto printed = tokens(line.substr(0, 35) + " " + line.substr(115));
    ASSERT_EQ(printed.size(), 4u);  // station, symbols, strain, strain
    EXPECT_EQ(row[state], printed[1]);
    EXPECT_EQ(row[sc.col("STRAIN_1(%)")], printed[2]);
    EXPECT_EQ(row[sc.col("STRAIN_20(%)")], printed[3]);
    for (std::size_t f = 1; f <= 20; ++f)
      ASSERT_EQ(row[sc.col("STRESS_" + std::to_string(f) + "(T/CM2/100)")], tokens(line.substr(31 + 4 * f, 4)).at(0));
    const int upper = static_cast<int>(std::count(printed[1].begin(), printed[1].end(), '+'));
    EXPECT_EQ(row[state + 1], std::to_string(upper));
  }
}

TEST(Export, PortalTablesHoldThePrintedNumbers) {
  FinishedRun r(fs::path(NLFRAME_EXAMPLES) / "portal.dat");
  ASSERT_EQ(r.go(), kOk) << r.err.str();
  EXPECT_EQ(r.err.str(), "");
  expect_tables_match_the_files(r.dir.path(), 4, 3);

  // fort.61 holds the sway and the lateral force of joint 2.
  const Csv c(r.dir / "curve-61.csv");
  EXPECT_EQ(c.header, (std::vector<std::string>{"step", "2D.X(MM)", "2F.X(TON)"}));
  const auto curve = read_lines(r.dir / "fort.61");
  ASSERT_EQ(c.rows.size(), 40u);
  const auto last = tokens(curve.back());
  EXPECT_EQ(c.rows.back(), last);
}

TEST(Export, FrameOf110MembersUnderArcLengthControlIntoAnotherFolder) {
  FinishedRun r(fs::path(NLFRAME_TEST_DATA).parent_path() / "regress/cases/frame-110-arc/1/frame.dat");
  ASSERT_EQ(r.go({"-o", (r.dir / "csv").string()}), kOk) << r.err.str();
  for (const char* f : {"joints.csv", "member-forces.csv", "member-nodes.csv", "stations.csv", "curve-61.csv"})
    fs::copy_file(r.dir / "csv" / f, r.dir / f);
  expect_tables_match_the_files(r.dir.path(), 66, 110);
  EXPECT_GT(read_lines(r.dir / "member-nodes.csv").size(), 110u * 6);  // detail steps there
}

// The buckling modes of a V card: a row per mode and joint, the factor the
// listing prints and the largest sway scaled to 1.
TEST(Export, BucklingModesOfAVCard) {
  FinishedRun r(fs::path(NLFRAME_EXAMPLES) / "buckling.dat");
  ASSERT_EQ(r.go(), kOk) << r.err.str();
  const Csv c(r.dir / "modes.csv");
  EXPECT_EQ(c.header, (std::vector<std::string>{"analysis", "after_step", "stiffness", "mode", "critical_factor",
                                                "joint", "X", "Y", "R"}));
  ASSERT_FALSE(c.rows.empty());
  EXPECT_EQ(c.rows[0][4].substr(0, 4), "6.81");
  double largest = 0;
  for (const auto& row : c.rows)
    if (row[3] == "1") largest = std::max({largest, std::fabs(std::stod(row[6])), std::fabs(std::stod(row[7]))});
  EXPECT_NEAR(largest, 1.0, 1e-6);
}

TEST(Export, MissingCutOffAndForeignFilesFailAndWriteNothing) {
  FinishedRun r(fs::path(NLFRAME_EXAMPLES) / "portal.dat");
  auto damaged = [&](const char* file, const std::function<void(std::vector<std::string>&)>& change) {
    const fs::path p = r.dir / file;
    const std::string keep = read_file(p);
    auto lines = read_lines(p);
    change(lines);
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    write_file(p, text);
    const int status = r.go({"-o", (r.dir / "csv").string()});
    write_file(p, keep);
    return status;
  };
  // Cut inside a row, cut at a line end inside a block, a block short.
  auto cut_mid_row = [](std::vector<std::string>& l) { l.back().resize(l.back().size() / 2); };
  auto drop_last = [](std::vector<std::string>& l) { l.pop_back(); };
  EXPECT_EQ(damaged("Mfor.rst", cut_mid_row), kFailed);
  EXPECT_NE(r.err.str().find("Mfor.rst, line"), std::string::npos) << r.err.str();
  EXPECT_EQ(damaged("Jdis.rst", drop_last), kFailed);
  EXPECT_NE(r.err.str().find("Jdis.rst, step 40"), std::string::npos) << r.err.str();
  EXPECT_EQ(damaged("Mstr.rst", drop_last), kFailed);
  EXPECT_EQ(damaged("Mstr.rst", cut_mid_row), kFailed);
  EXPECT_EQ(damaged("fort.61", drop_last), kFailed);  // one step fewer than the tables
  EXPECT_NE(r.err.str().find("fort.61 ends after step 39"), std::string::npos) << r.err.str();
  EXPECT_EQ(damaged("Jfor.rst", [](auto& l) { l.resize(l.size() - 7); }), kFailed);  // the whole last block
  EXPECT_EQ(damaged("Mdis.rst", [](auto& l) { l.push_back(" JOINT  U(MM)"); }), kFailed);
  EXPECT_FALSE(fs::exists(r.dir / "csv"));

  fs::rename(r.dir / "Mdis.rst", r.dir / "Mdis.old");
  EXPECT_EQ(r.go(), kFailed);
  EXPECT_NE(r.err.str().find("Mdis.rst: no such file"), std::string::npos) << r.err.str();
  fs::rename(r.dir / "Mdis.old", r.dir / "Mdis.rst");

  // Results of another deck in the folder: the listing's title tells, and
  // so does its echo of the structure when only the title is the same.
  const std::string portal = read_file(r.dir / "deck.dat");
  const auto refused = [&](const std::string& deck, const std::string& message) {
    write_file(r.dir / "deck.dat", deck);
    std::ostringstream out, err;
    EXPECT_EQ(run({(r.dir / "deck.dat").string(), "-o", (r.dir / "csv").string()}, out, err), kForeign);
    const std::string e = err.str();  // one line, naming the listing
    EXPECT_EQ(e.rfind("nlframe-export: error: " + (r.dir / "R.rst").string() + ": ", 0), 0u) << e;
    EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1);
    EXPECT_NE(e.find(message), std::string::npos) << e;
  };
  std::string retitled = portal;
  retitled.replace(retitled.find("FIXED-BASE PORTAL"), 17, "PINNED-BASE PORTAL");
  refused(retitled, "not of " + (r.dir / "deck.dat").string() + " ('PINNED-BASE PORTAL");
  std::string wider = portal;
  wider.replace(wider.find("J  3  0  0      600."), 20, "J  3  0  0      700.");
  refused(wider, "lacks line");
  EXPECT_FALSE(fs::exists(r.dir / "csv"));

  // A frame of other members without a listing to tell.
  write_file(r.dir / "deck.dat", nlf::test::read_file(fs::path(NLFRAME_EXAMPLES) / "cantilever.dat"));
  refused(read_file(r.dir / "deck.dat"), "another deck");
  fs::remove(r.dir / "R.rst");
  EXPECT_EQ(r.go(), kFailed);
  EXPECT_NE(r.err.str().find("does not belong to this run"), std::string::npos) << r.err.str();
}

TEST(Export, CommandLine) {
  std::ostringstream out, err;
  EXPECT_EQ(run({"--help"}, out, err), kOk);
  EXPECT_NE(out.str().find("Usage: nlframe-export"), std::string::npos);
  using Args = std::vector<std::string>;
  for (const Args& a : {Args{}, Args{"-x", "d"}, Args{"d", "e"}, Args{"d", "-o"}, Args{"--output=", "d"}})
    EXPECT_EQ(run(a, out, err), kUsage) << (a.empty() ? "(none)" : a[0]);
  EXPECT_EQ(parse_options({"-oout", "--dir=run", "deck.dat"}).out_dir, fs::path("out"));
  EXPECT_EQ(run({"/nonexistent/deck.dat"}, out, err), kUsage);
  EXPECT_NE(err.str().find("/nonexistent/deck.dat: no such deck"), std::string::npos);
  // The built program exits with the same statuses.
  const std::string bin = NLFRAME_EXPORT_BINARY;
  EXPECT_EQ(std::system((bin + " >/dev/null 2>&1").c_str()) >> 8, kUsage);
  EXPECT_EQ(std::system((bin + " --version | grep -q '^nlframe-export [0-9]'").c_str()) >> 8, kOk);
}

}  // namespace
}  // namespace nlf::exporter
