// The sinks of a run's output steps: the text result files, and the HDF5
// results file when asked for; made once the model's sizes are known, so
// that the step's tables are allocated before the step loop.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "io/units.h"
#include "output/background_sink.h"
#include "output/h5_sink.h"
#include "output/result_sink.h"
#include "output/text_sink.h"
#include "run/report.h"

namespace nlf {

class RunResults {
 public:
  // `deck` as the run opens it, `deck_name` as the messages name it.
  RunResults(const ResultOptions& opt, Units& units, const Sizes& sz, const std::string& deck,
             const std::string& deck_name);
  StepOutput& output() { return output_; }
  // The HDF5 file's summary (status and the line that says why the run
  // ended) and its close; nothing without the file.
  void finish(const RunSummary& s, int status, const std::string& message, double seconds);

 private:
  StepOutput output_;
  std::optional<TextSink> text_;
  std::unique_ptr<H5Sink> h5_;
  std::unique_ptr<BackgroundSink> writer_;  // writes h5_ off the step loop
};

}  // namespace nlf
