// Whether the result files in a folder come from a run of the named deck.
// Only the listing says so: after its banner it prints the deck's title,
// and it echoes every card of the structure part of the deck.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

// Result files of a run of another deck (or of another version of the
// deck's structure).
class ForeignRunError : public ResultError {
 public:
  using ResultError::ResultError;
};

// Throws ForeignRunError, naming the listing, when the title it prints
// after the banner is not the title of the deck's control card (the first
// 60 characters, as the listing holds them), or when one of the deck's
// structure cards (from the control card to the L card, comments left out)
// is missing from the echo before the MATRIX INDEX table, or the echo holds
// a structure card that the deck lacks (in the deck's order). A listing that is
// missing, or stops before the title or before that table, tells nothing
// and passes.
void check_run_of_deck(const std::filesystem::path& deck, const std::filesystem::path& run_dir);
void check_listing_of_deck(const std::string& deck_name, const std::vector<std::string>& deck,
                           const std::string& listing_name, const std::vector<std::string>& listing);

}  // namespace nlf::results
