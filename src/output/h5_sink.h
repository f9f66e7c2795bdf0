// The HDF5 results file (results.h5) as a result sink: every output step's
// tables at full precision, one row per step in datasets chunked by step
// and compressed, the file flushed after every step so that a run that
// stops leaves a file readable up to its last step. The layout is
// documented in docs/results-h5.md.
#pragma once

#include <string>
#include <vector>

#include "output/h5_file.h"
#include "output/result_sink.h"

namespace nlf {

// What the file says about the run: the deck and the program.
struct H5RunInfo {
  std::string program;
  std::string version;
  std::string deck_name;
  std::string deck_text;
};

// The peak of a load group, as the summary names it.
struct H5Peak {
  int group = 0;
  bool force = false;     // a force peak (else a load factor)
  double value = 0;
  int step = 0;
  int direction = 0;
  int joint = 0;
  double displacement = 0;  // cm or rad
  bool passed = true;
  bool converged = true;
  double strain = 0;
};

// How the run ended, written once at its end.
struct H5Summary {
  int status = 0;
  std::string message;
  long long steps = 0, iterations = 0, not_converged = 0, cut_backs = 0;
  double seconds = 0;
  std::vector<H5Peak> peaks;
};

class H5Sink : public ResultSink {
 public:
  // Creates the file with the run's information; a FileError if it cannot.
  H5Sink(const std::string& path, const H5RunInfo& info, ResultChoice choice = {});
  unsigned wants(int step) const override { return choice_.wants(step); }
  void write(const StepTables& t, unsigned parts) override;
  // The summary and the peaks, and the file closed.
  void finish(const H5Summary& s);

 private:
  void create_tables(const StepTables& t);

  H5File file_;
  ResultChoice choice_;
  bool created_ = false;
  H5Handle joints_, members_, nodes_, fibres_, curves_;
  H5Rows joint_steps_, joint_forces_, joint_disp_;
  H5Rows member_steps_, member_forces_;
  H5Rows node_steps_, node_disp_;
  H5Rows fibre_steps_, fibre_stress_, fibre_strain_, fibre_state_;
  H5Rows curve_steps_;
  std::vector<H5Rows> curves_rows_;
};

// The version of the file's layout.
inline constexpr int kResultsLayout = 1;

}  // namespace nlf
