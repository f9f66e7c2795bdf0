// The record a run leaves in its folder, `.nlframe-run.json`: what the run
// reported (status, summary line, peaks, messages), an identity drawn afresh
// for every run and the size, time and inode of every result file. The
// Python package writes the same record after its runs and reads it back
// (nlframe.open), and the companions find the run's deck in it.
#pragma once

#include <filesystem>
#include <string>

#include "run/engine.h"

namespace nlf {

inline constexpr const char* kRunRecord = ".nlframe-run.json";

// The record's JSON text. `deck` as the run was asked for it, `deck_path`
// and `folder` absolute; `id` the run's identity.
std::string run_record_text(const RunResult& r, const std::string& deck, const std::filesystem::path& deck_path,
                            const std::filesystem::path& folder, const std::string& id);

// A new identity: 32 hexadecimal digits.
std::string new_run_identity();

// Writes the record of the run into its folder (through a temporary file,
// so that a reader sees the old record or the new one). Returns an empty
// string, or why it could not be written.
std::string write_run_record(const RunResult& r, const std::string& deck, const std::filesystem::path& folder);

}  // namespace nlf
