// Rejecting a deck: the one way the input readers end the run on a card they
// cannot accept. While a deck check collects the errors (nlframe-check) the
// same calls record the error and let the reader go on with the next card
// instead.
#pragma once

#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "io/card.h"
#include "io/stop.h"
#include "io/units.h"

namespace nlf {

// Writes `listing_text` in free format (one blank, then the text) to the
// listing and to the console, then one line on the run's standard error
// naming the deck file, the line and the columns of the offending field:
//   nlframe: deck.dat: line 12, columns 2-4: <detail>
// A col_first of 0 or less leaves the columns out (the card as a whole is at
// fault); col_first == col_last names a single column. Then stops the run
// with status 1.
//
// While the units carry a DeckCheck the stderr line is recorded there
// instead and DeckRejected is thrown: the reader passes over the card.
[[noreturn]] void deck_error(Units& units, const std::string& listing_text, long line,
                             int col_first, int col_last, const std::string& detail);

// A card that looks wrong but that the program accepts (impossible section
// dimensions). Recorded by a DeckCheck; a run writes nothing.
void deck_warning(Units& units, long line, int col_first, int col_last, const std::string& detail);

// "deck.dat: line 12, columns 2-4: <detail>", the form of every report on a
// card; a line of 0 or less leaves the place out.
std::string deck_place(const std::string& file, long line, int col_first, int col_last,
                       const std::string& detail);

// decode_card, during a run. During a check every field that is not a
// number is reported; then the card is refused (DeckRejected), or with
// `blank_bad_fields` read with those fields blank, so that a pass that only
// counts the cards still counts it.
Card decode_deck_card(Units& units, std::string_view line, const FieldSource& src, bool blank_bad_fields);

// The card was refused while a check collects the errors: the reader goes on
// with the next card. A Stop with status 1 for every other catcher.
struct DeckRejected : Stop {};

// One report of a deck check, as the run would have written it on standard
// error (without the program name).
struct DeckFinding {
  long line = 0;  // deck line, 0 when the report names none
  std::string text;
  int status = 1;  // 1 a deck error, 2 a file-layer error, 0 a warning
};

// Handed to the units of a check (Units::set_findings), it takes what
// deck_error and deck_warning report. Repeated reports of the same text (a card
// that more than one pass reads) are kept once, and a card whose fields do
// not decode gets no further errors: they would follow from the blanks.
class DeckCheck : public FindingLog {
 public:
  DeckCheck() = default;
  DeckCheck(const DeckCheck&) = delete;
  DeckCheck& operator=(const DeckCheck&) = delete;

  void add(long line, const std::string& text, int status) override;
  const std::vector<DeckFinding>& findings() const { return findings_; }
  // The status of the first error (the one the run would have stopped
  // with), 0 when there is none.
  int status() const;
  int errors() const;
  int warnings() const;

 private:
  std::vector<DeckFinding> findings_;
  std::unordered_set<std::string> texts_;
  std::set<long> undecoded_lines_;
};

}  // namespace nlf
