#include "results/run_check.h"

#include <string_view>
#include <system_error>
#include <utility>

#include "io/card.h"

namespace nlf::results {

namespace {

std::string rtrim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

// A line of the listing that echoes a structure card: a blank, the card's
// letter, then a blank or a digit (the listing's own lines, " MUMM,..." or
// " INTEGER LAST", go on with letters).
bool card_echo(const std::string& line) {
  if (line.size() < 3 || line[0] != ' ') return false;
  if (std::string_view("PTHIORCSJQMKWXL").find(line[1]) == std::string_view::npos) return false;
  return line[2] == ' ' || (line[2] >= '0' && line[2] <= '9');
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

  // And the other way: every card the listing echoes is one of the deck's,
  // in the deck's order (a deck without the run's S or P card is another).
  std::vector<std::pair<std::size_t, std::string>> cards;  // deck line, echo
  for (std::size_t i = control + 1; i < deck.size(); ++i) {
    const std::string cols = card_columns(deck[i]);
    if (cols[0] == kComment) continue;
    cards.emplace_back(i + 1, rtrim(" " + cols));
    if (cols[0] == 'L') break;
  }
  std::size_t next = 0;
  for (std::size_t k = kBanner + 1; k < end; ++k) {
    const std::string echo = rtrim(listing[k]);
    if (!card_echo(echo)) continue;
    std::size_t j = next;
    while (j < cards.size() && cards[j].second != echo) ++j;
    if (j == cards.size())
      throw ForeignRunError(listing_name + ": the run's echo of its deck holds a card that " + deck_name +
                            " lacks at that place (line " + std::to_string(k + 1) + " of the listing: '" +
                            echo.substr(1) + "'); the result files belong to another deck or to another version "
                            "of it");
    next = j + 1;
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
