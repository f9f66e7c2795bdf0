#include "results/run_check.h"

#include <system_error>

#include "io/card.h"

namespace nlf::results {

namespace {

std::string rtrim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

constexpr std::size_t kBanner = 15;      // lines of the banner before the title
constexpr std::size_t kTitleWidth = 60;  // characters of the title the listing prints

}  // namespace

void check_listing_of_deck(const std::string& deck_name, const std::vector<std::string>& deck,
                           const std::string& listing_name, const std::vector<std::string>& listing) {
  // The deck's control card: its first card that is not a comment.
  std::size_t control = 0;
  while (control < deck.size() && card_columns(deck[control])[0] == kComment) ++control;
  if (control == deck.size()) return;  // no deck to speak of; the deck reader says so
  const std::string title = rtrim(card_columns(deck[control]).substr(15, 64).substr(0, kTitleWidth));

  // The title line: "1", ten blanks, the title.
  if (listing.size() <= kBanner) return;
  const std::string& t = listing[kBanner];
  if (!starts_with(t, "1          ")) return;
  const std::string run_title = rtrim(t.substr(11));
  if (run_title != title)
    throw ForeignRunError(listing_name + ": a run of the deck titled '" + run_title + "', not of " + deck_name +
                          (title.empty() ? " (untitled)" : " ('" + title + "')") +
                          "; the result files belong to another deck");

  // The echo of the structure cards, in the order of the deck.
  std::size_t end = kBanner;
  while (end < listing.size() && listing[end].find("*** MATRIX INDEX ***") == std::string::npos) ++end;
  if (end == listing.size()) return;  // the run stopped in the structure part
  std::size_t at = kBanner + 1;
  for (std::size_t i = control + 1; i < deck.size(); ++i) {
    const std::string cols = card_columns(deck[i]);
    if (cols[0] == kComment) continue;
    const std::string echo = rtrim(" " + cols);
    while (at < end && rtrim(listing[at]) != echo) ++at;
    if (at == end)
      throw ForeignRunError(listing_name + ": the run's echo of its deck lacks line " + std::to_string(i + 1) +
                            " of " + deck_name + " ('" + rtrim(cols) +
                            "'); the result files belong to another deck or to another version of it");
    ++at;
    if (cols[0] == 'L') break;
  }
}

void check_run_of_deck(const std::filesystem::path& deck, const std::filesystem::path& run_dir) {
  const std::filesystem::path listing = run_dir / "R.rst";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(listing, ec)) return;
  std::vector<std::string> d, l;
  try {
    d = read_text_lines(deck);
    l = read_text_lines(listing);
  } catch (const ResultError&) {
    return;  // the readers of the files report them
  }
  check_listing_of_deck(deck.string(), d, listing.string(), l);
}

}  // namespace nlf::results
