// The seam between the step's results and the files that keep them: the
// step's tables are built once (step_tables.h) and handed to every sink,
// the text result files one of them, the HDF5 results file another.
#pragma once

#include <vector>

#include "output/step_tables.h"

namespace nlf {

// Which tables a sink writes, and at which output steps: a table is
// written at an output step whose step number is a multiple of its
// `every`; the fibre tables, the bulk of a long run, have their own.
struct ResultChoice {
  unsigned parts = kAllParts;
  int every = 1;
  int fibre_every = 1;
  // Deflate level of the HDF5 file's tables of numbers, 0 (none) to 9.
  // Full doubles barely compress (by about a third) at several times the
  // cost of the analysis: none unless asked. The fibre states, which
  // compress to almost nothing at almost no cost, are always deflated.
  int deflate = 0;

  unsigned wants(int step) const {
    if (every > 1 && step % every != 0) return 0;
    if (fibre_every > 1 && step % fibre_every != 0) return parts & ~static_cast<unsigned>(kFibreParts);
    return parts;
  }
};

// Where a run keeps its tables: the text result files (as ever), beside
// them the HDF5 results file, or the HDF5 file alone (the listing and the
// response curves stay text).
enum class ResultStore { text, text_and_h5, h5_only };

struct ResultOptions {
  ResultStore store = ResultStore::text;
  ResultChoice choice;  // the same for either store
  bool h5() const { return store != ResultStore::text; }
  bool text_tables() const { return store != ResultStore::h5_only; }
};

// The name of the HDF5 results file in the run's folder.
inline constexpr const char* kResultsH5 = "results.h5";

class ResultSink {
 public:
  virtual ~ResultSink() = default;
  // The StepPart bits this sink writes at output step `step`.
  virtual unsigned wants(int step) const = 0;
  // The step's tables; only the parts asked for (and built) are read.
  virtual void write(const StepTables& t, unsigned parts) = 0;
};

// The step's tables and the sinks they go to. The tables are allocated
// once, before the step loop, for the model's sizes.
class StepOutput {
 public:
  explicit StepOutput(const Sizes& sz) : tables_(sz) {}
  void add(ResultSink& sink) { sinks_.push_back(&sink); }
  // Builds what the sinks want of this step, once, and hands it to each.
  void write(const Model& md, FibreStore& fs, int step, int detail);
  const StepTables& tables() const { return tables_; }

 private:
  StepTables tables_;
  std::vector<ResultSink*> sinks_;
};

}  // namespace nlf
