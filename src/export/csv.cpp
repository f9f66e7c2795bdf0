#include "export/csv.h"

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

CsvWriter::CsvWriter(std::ostream& out, const std::vector<std::string>& header) : out_(out) {
  for (std::size_t i = 0; i < header.size(); ++i) out_ << (i ? "," : "") << csv_field(header[i]);
  out_ << '\n';
}

void CsvWriter::begin() { first_ = true; }

void CsvWriter::field(std::string_view s) {
  if (!first_) out_ << ',';
  first_ = false;
  out_ << csv_field(s);
}

void CsvWriter::number(std::string_view printed) {
  if (overflowed(printed)) ++overflows_;
  field(csv_number(printed));
}

void CsvWriter::end() {
  out_ << '\n';
  ++rows_;
}

}  // namespace nlf::exporter
