// The lines a run writes on standard error besides its errors: ranges of
// steps that did not converge, and the summary line.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "run/report.h"

namespace nlf {
namespace {

// The lines of standard error, each with its newline.
struct Collect : RunOutput {
  std::string text;
  void console(std::string_view) override {}
  void error(std::string_view line) override { (text += line) += '\n'; }
  std::string take() { return std::exchange(text, {}); }
};

TEST(Report, NonConvergedStepsAsAFewRangesWrittenWhenTheyClose) {
  Collect out;
  NonConverged nc(out);
  nc.add(1, 30, 1e-3);
  nc.add(2, 30, 5e-3);
  nc.add(3, 30, 2e-3);
  EXPECT_EQ(out.take(), "");  // the range is still open
  nc.converged();
  nc.converged();
  EXPECT_EQ(out.take(),
            "nlframe: warning: steps 1-3 did not converge: 3 steps, largest ratio 5.0000E-03 at step 2\n");

  nc.add(7, 12, 0.25);  // alone: the line of a single step
  nc.add(10, 30, 1e-4);
  nc.add(11, 30, 1e-5);
  nc.converged();
  for (int s = 20; s <= 25; ++s) nc.add(s, 30, 1e-6 * s);
  nc.converged();
  nc.add(30, 30, 1e-2);
  for (int s = 40; s <= 44; ++s) nc.add(s, 30, 1e-7);
  nc.finish();
  EXPECT_EQ(out.take(),
            "nlframe: warning: step 7 did not converge in 12 iterations (ratio 2.5000E-01)\n"
            "nlframe: warning: steps 10-11 did not converge: 2 steps, largest ratio 1.0000E-04 at step 10\n"
            "nlframe: warning: 12 more steps from step 20 to step 44 did not converge (3 ranges), "
            "largest ratio 1.0000E-02 at step 30; R.rst lists every iteration\n");
  nc.finish();
  EXPECT_EQ(out.take(), "");
  ASSERT_EQ(nc.ranges().size(), 6u);
  EXPECT_EQ(nc.ranges()[3].first, 20);
  EXPECT_EQ(nc.ranges()[5].last, 44);
}

TEST(Report, SummaryNamesThePeakOfEveryGroup) {
  RunSummary s;
  s.steps = 40;
  s.iterations = 123;
  s.add_peak({GroupPeak::Kind::kLoadFactor, 2, 3.10241, 10});
  EXPECT_EQ(summary_text(s), "40 steps, 123 iterations, 0 not converged; peak: group 2 load factor 3.1024 at step 10");
  s.add_peak({GroupPeak::Kind::kForce, 3, 3.27131, 12, 1, 2, 3.6878});
  s.add_peak({GroupPeak::Kind::kForce, 3, -52.5, 14, 3, 2, -0.0125});
  EXPECT_EQ(summary_text(s),
            "40 steps, 123 iterations, 0 not converged; peaks: group 2 load factor 3.1024 at step 10, "
            "group 3 force X 3.2713 t at step 12 (displacement 36.878 mm), "
            "group 3 moment -52.5 t-cm at step 14 (rotation -0.0125 rad)");
  for (int k = 0; k < RunSummary::kPeaks; ++k) s.add_peak({GroupPeak::Kind::kLoadFactor, 4 + k, 0.5, 31});
  const std::string t = summary_text(s);
  EXPECT_EQ(t.substr(t.size() - 51), "group 8 load factor 0.5 at step 31 and 3 more peaks");
}

}  // namespace
}  // namespace nlf
