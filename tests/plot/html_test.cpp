#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "plot/app.h"
#include "plot/plot_test_util.h"
#include "plot/svg.h"
#include "support/test_support.h"

namespace nlf::plot {
namespace {

namespace fs = std::filesystem;
using nlf::test::read_file;
using test::xml_problem;

// The sources of the page's pictures.
std::vector<std::string> images(const std::string& page) {
  static const std::regex img(R"re(<img src="([^"]+)")re");
  std::vector<std::string> v;
  for (std::sregex_iterator it(page.begin(), page.end(), img), end; it != end; ++it) v.push_back((*it)[1]);
  return v;
}

// Runs a deck with the program, then nlframe-plot --html on it.
struct PlottedRun {
  nlf::test::TempDir dir;
  nlf::test::RunResult analysis;
  std::string page;
  explicit PlottedRun(const std::string& deck, int status = 0) {
    analysis = nlf::test::run_program(dir.path(), deck);
    EXPECT_EQ(analysis.status, status) << analysis.err;
    std::ostringstream out, err;
    EXPECT_EQ(run({"--html", (dir / "deck.dat").string()}, out, err), kOk) << err.str();
    page = read_file(dir / "index.html");
  }
  // The page without its document type line, for the XML checker.
  std::string xml() const { return page.substr(page.find('\n') + 1); }
};

std::string deck_file(const fs::path& p) { return read_file(p); }

TEST(HtmlPage, SummaryAgreesWithTheRunAndEveryPictureIsThere) {
  // The portal with a tolerance it cannot meet in three iterations.
  std::string deck = deck_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat");
  deck.replace(deck.find("L 30  1  0"), 10, "L  3  1  0");
  deck.replace(deck.find("E  1 30  5     1E-08"), 20, "E  1 30  5     1E-30");
  PlottedRun r(deck);
  EXPECT_EQ(xml_problem(r.xml()), "");
  EXPECT_EQ(r.page.rfind("<!DOCTYPE html>\n", 0), 0u);
  const auto pics = images(r.page);
  EXPECT_EQ(pics, (std::vector<std::string>{"curve-61.svg", "frame-peak.svg", "frame.svg", "plastic.svg"}));
  for (const auto& p : pics) EXPECT_TRUE(fs::exists(r.dir / p)) << p;
  // "nlframe: 40 steps, 115 iterations, 33 not converged": the same figures.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.analysis.err, m, std::regex(R"((\d+) steps, (\d+) iterations, (\d+) not converged)")));
  EXPECT_NE(r.page.find("<th>load steps</th><td>" + m[1].str() + "<"), std::string::npos);
  EXPECT_NE(r.page.find("<th>iterations</th><td>" + m[2].str() + "<"), std::string::npos);
  EXPECT_NE(r.page.find("<td>" + m[3].str() + " (steps 8-40)</td>"), std::string::npos) << r.page;
  // Group 3 peaks in one of them; group 1, under load control, has only its largest value.
  EXPECT_NE(r.page.find("mm at joint 2</td><td>peak passed; from a step that did not converge</td>"),
            std::string::npos);
  EXPECT_NE(r.page.find("<td>-</td><td>largest value, still rising: no peak passed</td>"), std::string::npos);
  EXPECT_NE(r.page.find("-40 at joint 2, step 5 (Y)"), std::string::npos);  // 5 x 8 t of gravity
  EXPECT_NE(r.page.find("Largest results of step 36"), std::string::npos);
  EXPECT_NE(r.page.find("The step of frame.svg and plastic.svg; the last output step is 40."), std::string::npos);
}

// The peaks at the top of the page are those of the run's summary line,
// read back from its files; numbers are plain decimals; the frame is shown
// at its peak and the peak is marked on the force-displacement chart.
TEST(HtmlPage, PeaksModelAndLinksOfThePortal) {
  PlottedRun r(deck_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat"));
  EXPECT_EQ(xml_problem(r.xml()), "");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.analysis.err, m,
                                std::regex(R"(group 2 load factor ([\d.]+) at step (\d+)(?: \([^)]*\))?, group 3 force X ([\d.]+) t )"
                                           R"(at step (\d+) \(displacement ([\d.]+) mm\))")))
      << r.analysis.err;
  const auto row = [&](const char* kind, const std::string& peak, const std::string& step, const std::string& disp,
                       const char* trust) {
    return std::string("<td>") + kind + "</td><td class=\"num\">" + peak + "</td><td class=\"num\">" + step +
           "</td><td>" + disp + "</td><td>" + trust + "</td></tr>";
  };
  // The page rounds to four digits what the summary line gives in five.
  const auto four = [](const std::string& v) { return plain_number(std::stod(v)); };
  // Group 2 stops short of its peak; group 3 pushes over it.
  EXPECT_NE(r.page.find(row("load factor of the group", "load factor " + four(m[1]), m[2], "-",
                            "largest value, still rising: no peak passed")),
            std::string::npos)
      << r.page;
  EXPECT_NE(r.page.find(row("prescribed displacement", "force X " + four(m[3]) + " t", m[4],
                            "displacement X " + four(m[5]) + " mm at joint 2", "peak passed")),
            std::string::npos);
  EXPECT_LT(r.page.find("Peak load"), r.page.find("Summary"));
  EXPECT_FALSE(std::regex_search(r.page, std::regex(R"(<td[^>]*>[^<]*\dE[+-]\d)")));  // no exponent form
  EXPECT_NE(r.page.find("<td class=\"num\">529.5</td>"), std::string::npos);           // Mp of the section
  EXPECT_NE(r.page.find("E 2100 t/cm"), std::string::npos);
  EXPECT_NE(r.page.find("report by nlframe-plot "), std::string::npos);
  for (const char* f : {"R.rst", "Jfor.rst", "Mstr.rst", "fort.61", "deck.dat"})
    EXPECT_NE(r.page.find(std::string("<a href=\"") + f + "\">"), std::string::npos) << f;
  EXPECT_NE(r.page.find("detail step nearest to the peak at step " + m[4].str()), std::string::npos);
  EXPECT_NE(r.page.find("Response curve fort.61: joint 2: force X against displacement X"), std::string::npos);
  const std::string curve = read_file(r.dir / "curve-61.svg");
  EXPECT_NE(curve.find("class=\"peak\" data-step=\"" + m[4].str() + "\""), std::string::npos);
  const std::string frame = read_file(r.dir / "frame.svg");
  EXPECT_NE(frame.find("frame 600 cm wide, 300 cm high"), std::string::npos);  // not the deformed drawing's
  EXPECT_EQ(test::count_class(frame, "load"), 3);  // 40 t down at joints 2 and 3, 3.102 t across at joint 2
  EXPECT_EQ(test::count_class(frame, "support-legend"), 1);
}

// A load-controlled push past the portal's strength, which the run stops
// in at a pivot that is not positive: the page keeps the steps done and
// leaves out the one it stopped in, as the program's message does.
TEST(HtmlPage, RunStoppedInAStep) {
  std::string deck = deck_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat");
  const auto arc = deck.find("B  2  0  0        1.        0.");
  deck.replace(arc, 30, "B  2  0  0       0.5        0.");
  deck.replace(deck.find("E  0  5  5     1E-08        1.", arc), 30, "E  0 20  1     1E-08");
  PlottedRun r(deck, 1);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.analysis.err, m,
                                std::regex(R"(step (\d+): .*the last step done, (\d+), reached load factor (\d+) )"
                                           R"(of its group)")))
      << r.analysis.err;
  EXPECT_NE(r.page.find("<th>load steps</th><td>" + m[2].str() + "<"), std::string::npos) << r.page;
  EXPECT_NE(r.page.find("<th>step not completed</th><td>" + m[1].str() + ": the run stopped in it"),
            std::string::npos);
  EXPECT_NE(r.page.find("<td class=\"num\">load factor " + m[3].str() + "</td><td class=\"num\">" + m[2].str() +
                        "</td><td>-</td><td>largest value, still rising: no peak passed</td>"),
            std::string::npos);
  EXPECT_NE(r.page.find("<th>steps not converged</th><td>none</td>"), std::string::npos);
}

TEST(HtmlPage, FrameOf110Members) {
  PlottedRun r(deck_file(fs::path(NLFRAME_TEST_DATA).parent_path() / "regress/cases/frame-110-load/1/frame.dat"));
  EXPECT_EQ(xml_problem(r.xml()), "");
  const auto pics = images(r.page);
  EXPECT_EQ(pics.size(), 3u);
  for (const auto& p : pics) EXPECT_TRUE(fs::exists(r.dir / p)) << p;
  EXPECT_NE(r.page.find("Largest results of step 10"), std::string::npos);
  EXPECT_TRUE(std::regex_search(r.page, std::regex(R"(<td>member \d+ \(\d+-\d+\), end [IJ]</td>)")));
}

// Opens the page in a headless browser. Continuous integration installs
// one (tools/ensure-tools) and sets NLFRAME_CI: there a missing browser is
// a failure; elsewhere the test is skipped.
TEST(HtmlPage, RendersInHeadlessChromium) {
  const char* browser = "/usr/bin/chromium";
  if (!fs::exists(browser)) {
    if (std::getenv("NLFRAME_CI")) FAIL() << browser << " is not installed (bash tools/ensure-tools --tests)";
    GTEST_SKIP() << browser << " is not installed; the page is not rendered";
  }
  PlottedRun r(deck_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat"));
  const fs::path profile = r.dir / "profile", dom = r.dir / "dom.html", shot = r.dir / "page.png";
  fs::create_directories(profile);
  const std::string flags = std::string(browser) +
                            " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                            " --disable-background-networking --disable-component-update --disable-sync"
                            " --user-data-dir='" + profile.string() + "'";
  const std::string url = " 'file://" + (r.dir / "index.html").string() + "'";
  ASSERT_EQ(std::system(("timeout 120 " + flags + " --dump-dom" + url + " > '" + dom.string() + "' 2>/dev/null").c_str()), 0);
  const std::string rendered = read_file(dom);
  EXPECT_NE(rendered.find("<h1>FIXED-BASE PORTAL FRAME PUSHED PAST ITS PEAK LOAD</h1>"), std::string::npos) << rendered;
  EXPECT_EQ(images(rendered).size(), 4u);
  ASSERT_EQ(std::system(("cd '" + r.dir.path().string() + "' && timeout 120 " + flags +
                         " --window-size=1000,2000 --screenshot='" + shot.string() + "'" + url + " >/dev/null 2>&1")
                            .c_str()),
            0);
  EXPECT_GT(fs::file_size(shot), 20000u);  // a page with pictures, not a blank one
}

}  // namespace
}  // namespace nlf::plot
