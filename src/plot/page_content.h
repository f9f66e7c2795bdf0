// What the report page shows besides the run's figures: the model as the
// deck check reads it, links to the run's files, dates.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plot/html.h"

namespace nlf::plot {

// The model of the deck, read with the program's own readers; nullopt with
// `note` saying why when the check finds an error.
std::optional<DeckFacts> model_facts(const std::filesystem::path& deck, std::string& note);

// The deck, the result files of the run folder and the CSV tables beside
// the page (or in the run folder), as links from the page's folder.
std::vector<FileLink> file_links(const std::filesystem::path& deck, const std::filesystem::path& run_dir,
                                 const std::filesystem::path& page_dir, const std::vector<int>& curve_units);

// "2026-12-08 14:05", local time.
std::string date_text(std::chrono::system_clock::time_point t);
// When the file was last written, "" when it cannot be told.
std::string file_date(const std::filesystem::path& p);

}  // namespace nlf::plot
