#include "export/csv.h"

#include <algorithm>

namespace nlf::exporter {

std::string csv_field(std::string_view s) {
  if (s.find_first_of(",\"\n") == std::string_view::npos) return std::string(s);
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + '"';
}

bool overflowed(std::string_view printed) {
  return !printed.empty() && printed.find_first_not_of('*') == std::string_view::npos;
}

std::string csv_number(std::string_view printed) {
  if (overflowed(printed)) return {};
  std::string s(printed);
  // A sign after a digit starts a three-digit exponent printed without its
  // letter.
  for (std::size_t i = 1; i < s.size(); ++i)
    if ((s[i] == '+' || s[i] == '-') && s[i - 1] >= '0' && s[i - 1] <= '9') {
      s.insert(i, 1, 'E');
      break;
    }
  return s;
}

CsvWriter::CsvWriter(std::ostream& out, const std::vector<std::string>& header) : out_(out), header_(header) {
  for (std::size_t i = 0; i < header.size(); ++i) out_ << (i ? "," : "") << csv_field(header[i]);
  out_ << '\n';
}

void CsvWriter::begin() {
  first_ = true;
  col_ = 0;
}

void CsvWriter::field(std::string_view s) {
  if (!first_) out_ << ',';
  if (first_) row_step_ = s;
  first_ = false;
  ++col_;
  out_ << csv_field(s);
}

void CsvWriter::number(std::string_view printed) {
  if (overflowed(printed)) {
    ++overflows_;
    auto it = std::find_if(places_.begin(), places_.end(), [&](const ColumnOverflow& c) { return c.column == col_; });
    if (it == places_.end()) {
      places_.push_back({col_, 0, {}, row_step_, row_step_});
      it = places_.end() - 1;
    }
    ++it->count;
    if (it->rows.size() < 5) it->rows.push_back(rows_ + 1);
    it->last_step = row_step_;
  }
  field(csv_number(printed));
}

std::string CsvWriter::overflow_places() const {
  std::string out;
  const auto name_of = [&](std::size_t col) {
    return col < header_.size() ? header_[col] : "column " + std::to_string(col + 1);
  };
  for (std::size_t i = 0; i < places_.size(); ++i) {
    const ColumnOverflow& c = places_[i];
    // Neighbouring columns with the same rows are named together.
    std::size_t j = i;
    while (j + 1 < places_.size() && places_[j + 1].column == places_[j].column + 1 &&
           places_[j + 1].count == c.count && places_[j + 1].rows == c.rows &&
           places_[j + 1].first_step == c.first_step && places_[j + 1].last_step == c.last_step)
      ++j;
    const std::string name = j == i ? name_of(c.column) : name_of(c.column) + " to " + name_of(places_[j].column);
    i = j;
    out += (out.empty() ? "" : "; ") + name + " in " + std::to_string(c.count) + (c.count == 1 ? " row" : " rows") +
           " (row" + (c.count == 1 ? " " : "s ");
    for (std::size_t k = 0; k < c.rows.size(); ++k) out += (k ? ", " : "") + std::to_string(c.rows[k]);
    if (c.count > static_cast<long>(c.rows.size())) out += ", ...";
    out += c.first_step == c.last_step ? ": step " + c.first_step : ": steps " + c.first_step + " to " + c.last_step;
    out += ")";
  }
  return out;
}

void CsvWriter::end() {
  out_ << '\n';
  ++rows_;
}

}  // namespace nlf::exporter
