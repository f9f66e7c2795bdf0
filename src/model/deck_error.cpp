#include "model/deck_error.h"

#include <algorithm>

namespace nlf {

std::string deck_place(const std::string& file, long line, int col_first, int col_last,
                       const std::string& detail) {
  std::string where;
  if (line > 0) {
    where = "line " + std::to_string(line);
    if (col_first > 0) {
      if (col_last > col_first)
        where += ", columns " + std::to_string(col_first) + "-" + std::to_string(col_last);
      else
        where += ", column " + std::to_string(col_first);
    }
    where += ": ";
  }
  return file + ": " + where + detail;
}

void deck_error(Units& units, const std::string& listing_text, long line, int col_first,
                int col_last, const std::string& detail) {
  units.listing().message({listing_text});
  units.console().message({listing_text});
  units.console().flush();

  const std::string text = deck_place(units.deck().name(), line, col_first, col_last, detail);
  if (FindingLog* check = units.findings()) {
    check->add(line, text, 1);
    throw DeckRejected{};
  }
  units.error_line("nlframe: %s", text.c_str());
  throw Stop{1};
}

void deck_warning(Units& units, long line, int col_first, int col_last, const std::string& detail) {
  if (FindingLog* check = units.findings())
    check->add(line, deck_place(units.deck().name(), line, col_first, col_last, "warning: " + detail),
                 0);
}

Card decode_deck_card(Units& units, std::string_view line, const FieldSource& src, bool blank_bad_fields) {
  FindingLog* const check = units.findings();
  if (check == nullptr) return decode_card(line, src);
  std::string cols = card_columns(line);
  const auto blank_if_bad = [&](int col, int width, bool integer) {
    const std::string_view f = std::string_view(cols).substr(static_cast<std::size_t>(col - 1),
                                                             static_cast<std::size_t>(width));
    try {
      if (integer)
        read_int_field(f, src, col);
      else
        read_real_field(f, src, col);
    } catch (const FileError& e) {
      check->add(src.line, e.what(), 2);
      cols.replace(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(width),
                   static_cast<std::size_t>(width), ' ');
    }
  };
  for (int col : {2, 5, 8}) blank_if_bad(col, 3, true);
  for (int k = 0; k < 7; ++k) blank_if_bad(11 + 10 * k, 10, false);
  if (!blank_bad_fields && cols != card_columns(line)) throw DeckRejected{};
  return decode_card(cols, src);
}

void DeckCheck::add(long line, const std::string& text, int status) {
  if (status == 1 && line > 0 && undecoded_lines_.count(line) != 0) return;
  if (!texts_.insert(text).second) return;
  if (status == 2 && line > 0) undecoded_lines_.insert(line);
  findings_.push_back({line, text, status});
}

int DeckCheck::status() const {
  for (const DeckFinding& f : findings_)
    if (f.status != 0) return f.status;
  return 0;
}

int DeckCheck::errors() const {
  return static_cast<int>(std::count_if(findings_.begin(), findings_.end(),
                                        [](const DeckFinding& f) { return f.status != 0; }));
}

int DeckCheck::warnings() const {
  return static_cast<int>(findings_.size()) - errors();
}

}  // namespace nlf
