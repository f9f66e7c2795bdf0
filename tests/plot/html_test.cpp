#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "plot/app.h"
#include "plot/mode_charts.h"
#include "plot/plot_test_util.h"
#include "plot/svg.h"
#include "support/card.h"
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
  // The portal's supports and its push sideways give the base shear first;
  // frame.svg is the peak's, frame-last.svg the end of the run.
  EXPECT_EQ(pics, (std::vector<std::string>{"base-shear.svg", "curve-61.svg", "frame.svg", "frame-last.svg",
                                            "plastic.svg"}));
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
  EXPECT_NE(r.page.find("Largest results of step 11"), std::string::npos);
  EXPECT_NE(r.page.find("The step of frame.svg and plastic.svg (step 11, the detail step nearest to the peak at step "
                        "12); the last output step is 40."),
            std::string::npos);
}

// The peaks at the top of the page are those of the run's summary line,
// read back from its files; numbers are plain decimals; the frame is shown
// at its peak and the peak is marked on the force-displacement chart.
TEST(HtmlPage, PeaksModelAndLinksOfThePortal) {
  // The portal with the notes of what it carries, as the builder writes them.
  std::string deck = deck_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat");
  deck.insert(deck.find('\n') + 1,
              "$ imperfections: sway 1/200 towards +x, joints moved;\n$ imperfections: bows e0/L = 1/250\n"
              "$   (curve b, elastic) towards +x on members 1, 3\n$ residual stresses: ECCS on section 1\n");
  PlottedRun r(deck);
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
  EXPECT_NE(r.page.find("<tr><th>imperfections</th><td>sway 1/200 towards +x, joints moved; bows e0/L = 1/250 "
                        "(curve b, elastic) towards +x on members 1, 3</td></tr>\n<tr><th>residual stresses</th>"
                        "<td>ECCS on section 1</td></tr>\n</table>"),
            std::string::npos);
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
// A run with a V card: its factors on the page (as the listing has them, to
// four digits), its first three modes drawn over the frame and linked.
TEST(HtmlPage, CriticalFactorsAndModesOfAVCard) {
  std::string deck = deck_file(fs::path(NLFRAME_EXAMPLES) / "buckling.dat");
  deck.replace(deck.find("E  0 60"), 7, "E  0  3");
  PlottedRun r(deck);
  EXPECT_EQ(xml_problem(r.xml()), "");
  const auto pics = images(r.page);
  for (const char* m : {"mode-1.svg", "mode-2.svg", "mode-3.svg"}) {
    EXPECT_NE(std::find(pics.begin(), pics.end(), m), pics.end()) << m;
    EXPECT_EQ(xml_problem(read_file(r.dir / m)), "") << m;
  }
  EXPECT_FALSE(fs::exists(r.dir / "mode-4.svg"));
  const std::string listing = read_file(r.dir / "R.rst");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(listing, m, std::regex(R"(\n +1 +([0-9.E+-]+)\n +2 +([0-9.E+-]+))")));
  for (int k = 1; k <= 2; ++k)
    EXPECT_NE(r.page.find("<td class=\"num\">" + std::to_string(k) + "</td><td class=\"num\">" +
                          factor_text(std::stod(m[k].str())) + "</td>"),
              std::string::npos)
        << k;
  EXPECT_NE(r.page.find("href=\"modes.rst\""), std::string::npos);
}

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
  EXPECT_EQ(pics.size(), 4u);
  for (const auto& p : pics) EXPECT_TRUE(fs::exists(r.dir / p)) << p;
  EXPECT_NE(r.page.find("Largest results of step 10"), std::string::npos);
  EXPECT_TRUE(std::regex_search(r.page, std::regex(R"(<td>member \d+ \(\d+-\d+\), end [IJ]</td>)")));
}

// Opens a page in a headless browser: its DOM after loading, and a
// screenshot of it (page.png) in `dir`. Continuous integration installs one
// (tools/ensure-tools) and sets NLFRAME_CI: there a missing browser is a
// failure; elsewhere the test is skipped.
constexpr const char* kBrowser = "/usr/bin/chromium";

bool have_browser() { return fs::exists(kBrowser); }

std::string rendered_dom(const fs::path& dir) {
  const fs::path profile = dir / "profile", dom = dir / "dom.html", shot = dir / "page.png";
  fs::create_directories(profile);
  const std::string flags = std::string(kBrowser) +
                            " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                            " --disable-background-networking --disable-component-update --disable-sync"
                            " --user-data-dir='" + profile.string() + "'";
  const std::string url = " 'file://" + (dir / "index.html").string() + "'";
  EXPECT_EQ(std::system(("timeout 120 " + flags + " --dump-dom" + url + " > '" + dom.string() + "' 2>/dev/null").c_str()), 0);
  EXPECT_EQ(std::system(("cd '" + dir.string() + "' && timeout 120 " + flags + " --window-size=1000,2000 --screenshot='" +
                         shot.string() + "'" + url + " >/dev/null 2>&1")
                            .c_str()),
            0);
  EXPECT_GT(fs::exists(shot) ? fs::file_size(shot) : 0, 20000u);  // a page with pictures, not a blank one
  return fs::exists(dom) ? read_file(dom) : "";
}

#define SKIP_WITHOUT_BROWSER()                                                                              \
  if (!have_browser()) {                                                                                    \
    if (std::getenv("NLFRAME_CI")) FAIL() << kBrowser << " is not installed (bash tools/ensure-tools --tests)"; \
    GTEST_SKIP() << kBrowser << " is not installed; the page is not rendered";                             \
  }

TEST(HtmlPage, RendersInHeadlessChromium) {
  SKIP_WITHOUT_BROWSER();
  PlottedRun r(deck_file(fs::path(NLFRAME_EXAMPLES) / "portal.dat"));
  const std::string rendered = rendered_dom(r.dir.path());
  EXPECT_NE(rendered.find("<h1>FIXED-BASE PORTAL FRAME PUSHED PAST ITS PEAK LOAD</h1>"), std::string::npos) << rendered;
  EXPECT_EQ(images(rendered).size(), 5u);
}

// Three storeys of HEB240 columns and IPE330 beams: gravity under load
// control, then lateral loads of 5, 10 and 15 t pushed past the peak by
// arc length.
std::string three_storey_pushover() {
  using nlf::test::card;
  std::string d = "   0  0  1     THREE-STOREY FRAME PUSHED OVER\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                  "$ section 1: HEB240\n" + card('I', 1, 0, 0, {24, 24, 1, 1.7, 2.1, 2.4}) + "$ section 2: IPE330\n" +
                  card('I', 2, 0, 0, {33, 16, 0.75, 1.15, 1.8, 2.4});
  for (int k = 0; k < 4; ++k) d += card('J', 2 * k + 1, 0, 0, {0, 300.0 * k}) + card('J', 2 * k + 2, 0, 0, {600, 300.0 * k});
  for (int k = 0; k < 3; ++k)
    d += card('M', 2 * k + 1, 2 * k + 3, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 2 * k + 2, 2 * k + 4, 1, {0.2, 0.4, 0.6, 0.8});
  for (int k = 1; k < 4; ++k) d += card('M', 2 * k + 1, 2 * k + 2, 2, {0.2, 0.4, 0.6, 0.8});
  d += card('W', 0, 0, 0, {7.21, 7.11, 3.21}) + card('L', 30, 1) + card('B', 1, 111) + card('B', 2, 111);
  for (int j = 3; j <= 8; ++j) d += card('B', j, 0, 0, {0, -15});
  d += card('E', 0, 4, 4, {1e-8}) + card('B', 1, 111) + card('B', 2, 111) + card('B', 3, 0, 0, {5, 0}) +
       card('B', 5, 0, 0, {10, 0}) + card('B', 7, 0, 0, {15, 0}) + card('E', 0, 60, 10, {1e-8, 1, 1, 4, 0.8}) + card('F');
  return d;
}

// The gravity of the push-over as a total in four steps (the builder's
// note says so), then the push up to a strain limit of the P card: the
// page reads the gravity as its total applied, tells why each group ended
// and gives the base shear, the drift and the largest strain at the peak.
TEST(HtmlPage, TotalGravityAndAPushToTheStrainLimit) {
  std::string deck = three_storey_pushover();
  deck.replace(deck.find("     2100.       21.       21."), 30, "     2100.       21.       21.     0.004");
  deck.insert(deck.find('\n') + 1, "$ load groups: group 1 adds its total load in 4 steps (its B and U cards hold\n"
                                    "$   one step's share)\n");
  for (std::size_t at = deck.find("      -15."); at != std::string::npos; at = deck.find("      -15.", at))
    deck.replace(at, 10, "     -3.75");
  PlottedRun r(deck);
  EXPECT_EQ(xml_problem(r.xml()), "");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.analysis.err, m, std::regex(R"(step (\d+): the fibre strain ([\d.]+) at member (\d+), )"
                                                              R"(station (\d+) exceeds the limit 0.004)")))
      << r.analysis.err;
  EXPECT_NE(r.page.find("<td class=\"num\">factor 1 of the group's total load</td><td class=\"num\">4</td><td>-</td>"
                        "<td>the group's total load applied in 4 steps</td>"),
            std::string::npos)
      << r.page;
  EXPECT_NE(r.page.find("<td>load control: the group's total load in 4 steps</td><td>1-4 (4 of 4)</td><td>its 4 steps "
                        "done</td>"),
            std::string::npos);
  EXPECT_NE(r.page.find("<td>the strain limit: at step " + m[1].str() + " the fibre strain " +
                        plain_number(std::stod(m[2])) + " ("),
            std::string::npos);
  EXPECT_NE(r.page.find(" at member " + m[3].str() + " ("), std::string::npos);
  // At the peak, the last step: the reactions balance 30 t times the load
  // factor; the roof sways the drift times the 900 cm of height; the
  // largest outer-fibre strain is the one the run stopped at.
  std::smatch c, a;
  ASSERT_TRUE(std::regex_search(r.page, c, std::regex(R"(<td class="num">load factor ([\d.]+)</td><td class="num">(\d+)</td><td>-</td><td>largest)")));
  ASSERT_TRUE(std::regex_search(r.page, a, std::regex(R"(<td>base shear</td><td class="num">([\d.]+) t</td>.*\n)"
                                                      R"(<tr><td>drift</td><td class="num">([\d.]+) % of the height</td>)"
                                                      R"(<td>joint 7, the joint that sways most, moves ([\d.]+) mm)")))
      << r.page;
  EXPECT_EQ(c[2], m[1]);
  EXPECT_NEAR(std::stod(a[1]), 30 * std::stod(c[1]), 0.01 * 30);
  EXPECT_NEAR(std::stod(a[2]), std::stod(a[3]) / 10 / 900 * 100, 0.001);
  ASSERT_TRUE(std::regex_search(r.page, a, std::regex(R"(<td>largest fibre strain</td><td class="num">(-?[\d.]+) %</td>)"
                                                      R"(<td>member (\d+) )")));
  EXPECT_NEAR(std::fabs(std::stod(a[1])), 100 * std::stod(m[2]), 0.002);
  EXPECT_EQ(a[2], m[3]);
}

// The push-over's report: the base shear against the roof sway is the first
// picture, with the peak of the run's summary line; the sections go by
// their names; the frame, the plastic zones and the tables agree on the
// detail step nearest to the peak.
TEST(HtmlPage, PushOverInHeadlessChromium) {
  PlottedRun r(three_storey_pushover());
  EXPECT_EQ(xml_problem(r.xml()), "");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.analysis.err, m, std::regex(R"(group 2 load factor ([\d.]+) at step (\d+),)")))
      << r.analysis.err;
  const double factor = std::stod(m[1]);
  const std::string peak = m[2];
  const auto pics = images(r.page);
  ASSERT_FALSE(pics.empty());
  EXPECT_EQ(pics.front(), "base-shear.svg");
  // In equilibrium the reactions balance the 30 t of lateral load times the
  // load factor.
  std::smatch c;
  ASSERT_TRUE(std::regex_search(r.page, c,
                                std::regex(R"(<figcaption>Base shear against the displacement X of joint 7, the joint )"
                                           R"(that sways most: peak ([\d.]+) t at step (\d+), [\d.]+ mm)")))
      << r.page;
  EXPECT_NEAR(std::stod(c[1]), 30 * factor, 0.01);
  EXPECT_EQ(c[2], peak);
  const std::string chart = read_file(r.dir / "base-shear.svg");
  EXPECT_EQ(xml_problem(chart), "");
  EXPECT_NE(chart.find("class=\"peak\" data-step=\"" + peak + "\""), std::string::npos);
  EXPECT_NE(chart.find(">Base shear (t)</text>"), std::string::npos);
  EXPECT_NE(chart.find(">Displacement X of joint 7 (mm)</text>"), std::string::npos);
  // The legends speak as the titles do, without the curve file's codes.
  const std::string curve = read_file(r.dir / "curve-61.svg");
  EXPECT_NE(curve.find("class=\"legend-label\">joint 7: force X</text>"), std::string::npos) << curve;
  EXPECT_EQ(curve.find("(TON)</text>"), std::string::npos);
  EXPECT_EQ(r.page.find("IN. LOAD"), std::string::npos);

  EXPECT_NE(r.page.find("<td>HEB240 (1)</td>"), std::string::npos);
  EXPECT_NE(r.page.find("<td>IPE330 (2)</td>"), std::string::npos);
  EXPECT_TRUE(std::regex_search(r.page, std::regex(R"(<td>member \d+ \(\d+-\d+, (HEB240|IPE330)\), end [IJ]</td>)")));
  // One step for the frame, the plastic zones and the tables: the detail
  // step nearest to the peak (every tenth step of the push is one).
  ASSERT_TRUE(std::regex_search(r.page, c, std::regex(R"(Deformed frame at step (\d+), the detail step nearest to the )"
                                                      R"(peak at step )" + peak + ", with its applied loads")))
      << r.page;
  const std::string step = c[1];
  EXPECT_LE(std::abs(std::stoi(step) - std::stoi(peak)), 5);
  EXPECT_NE(r.page.find("Plastic zones at step " + step + ", the detail step nearest to the peak at step " + peak),
            std::string::npos);
  EXPECT_NE(r.page.find("<h2>Largest results of step " + step + "</h2>"), std::string::npos);
  EXPECT_NE(read_file(r.dir / "frame.svg").find("step " + step + ", displacements"), std::string::npos);

  SKIP_WITHOUT_BROWSER();
  const std::string rendered = rendered_dom(r.dir.path());
  EXPECT_NE(rendered.find("<h1>THREE-STOREY FRAME PUSHED OVER</h1>"), std::string::npos) << rendered;
  EXPECT_NE(rendered.find("<img src=\"base-shear.svg\""), std::string::npos);
  EXPECT_NE(rendered.find("<figcaption>Base shear against the displacement X of joint 7"), std::string::npos);
  EXPECT_NE(rendered.find("<td>HEB240 (1)</td>"), std::string::npos);
  EXPECT_NE(rendered.find("the detail step nearest to the peak at step " + peak), std::string::npos);
  // What an engineer reads first: the push at its peak, and why each group ended.
  EXPECT_LT(rendered.find("<h3>Group 2 at its peak, step " + peak + "</h3>"), rendered.find("<h2>Summary</h2>"));
  EXPECT_NE(rendered.find("<td>load control</td><td>1-4 (4 of 4)</td><td>its 4 steps done</td>"), std::string::npos);
}

}  // namespace
}  // namespace nlf::plot
