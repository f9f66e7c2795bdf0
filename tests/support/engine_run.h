// Whole runs in-process for the tests: a deck written into a folder and run
// there by the engine, and the data lines of a response curve.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "run/engine.h"
#include "support/test_support.h"

namespace nlf::test {

inline nlf::RunResult run_in(const std::filesystem::path& folder, const std::string& deck,
                        const StepProbe* probe = nullptr, int threads = 1, bool scratch = false) {
  std::filesystem::create_directories(folder);
  write_file(folder / "deck.dat", deck);
  RunRequest req;
  req.deck = "deck.dat";
  req.folder = folder;
  req.threads = threads;
  req.force_scratch = scratch;
  req.probe = probe;
  QuietOutput quiet;
  return run_deck(req, quiet);
}

// The lines after a curve file's header: step, then the watched values.
inline std::vector<std::vector<double>> curve(const std::filesystem::path& p) {
  std::vector<std::vector<double>> rows;
  const auto lines = read_lines(p);
  for (std::size_t i = 16; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::vector<double> row;
    for (double v; in >> v;) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace nlf::test
