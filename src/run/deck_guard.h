// A deck that is one of the files its own run would write (the listing, a
// result file, a response curve, the restart file it saves, the run record)
// would be emptied before it is read: the run refuses it before it touches
// any file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace nlf {

// The names of the files a run of the deck text `deck_text` writes into its
// folder: the listing and result files, the response curves of its W cards,
// the restart file of its control card and the run record.
std::vector<std::string> files_written(const std::string& deck_text);

// The name of the written file that `deck` is (by name in `folder`, or as
// the same file under another name), or empty. `deck` as the run opens it.
std::string deck_among_outputs(const std::filesystem::path& deck, const std::filesystem::path& folder);

}  // namespace nlf
