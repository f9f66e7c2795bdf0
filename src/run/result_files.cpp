#include "run/result_files.h"

#include <fstream>
#include <sstream>

#include "io/stop.h"
#include "io/version.h"

namespace nlf {

namespace {

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

RunResults::RunResults(const ResultOptions& opt, Units& units, const Sizes& sz, const std::string& deck,
                       const std::string& deck_name)
    : output_(sz) {
  if (opt.text_tables()) {
    text_.emplace(units, opt.choice);
  } else {
    // The response curves stay text with the listing.
    ResultChoice curves = opt.choice;
    curves.parts &= kCurveParts;
    curves.fibre_every = 1;
    text_.emplace(units, curves);
  }
  output_.add(*text_);
  if (opt.h5()) {
    const H5RunInfo info{"nlframe", kVersion, deck_name.empty() ? deck : deck_name,
                         file_text(units.in_folder(deck))};
    h5_ = std::make_unique<H5Sink>(units.in_folder(kResultsH5), info, opt.choice);
    writer_ = std::make_unique<BackgroundSink>(*h5_, sz);
    output_.add(*writer_);
  }
}

void RunResults::finish(const RunSummary& s, int status, const std::string& message, double seconds) {
  if (!h5_) return;
  // Every step handed over is in the file before its summary; the file is
  // closed even when the last step cannot be written.
  std::unique_ptr<BackgroundSink> writer = std::move(writer_);
  std::unique_ptr<H5Sink> sink = std::move(h5_);
  writer->finish();
  H5Summary h;
  h.status = status;
  h.message = message;
  h.steps = s.steps;
  h.iterations = s.iterations;
  h.not_converged = s.not_converged;
  h.cut_backs = s.cut_backs;
  h.seconds = seconds;
  const int n = std::min(s.peak_count, RunSummary::kPeaks);
  for (int i = 0; i < n; ++i) {
    const GroupPeak& p = s.peaks[static_cast<std::size_t>(i)];
    h.peaks.push_back(H5Peak{p.group, p.kind == GroupPeak::Kind::kForce, p.value, p.step, p.direction, p.joint,
                             p.displacement, p.passed, p.converged, p.strain});
  }
  sink->finish(h);
}

}  // namespace nlf
