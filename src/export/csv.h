// Comma-separated tables as spreadsheets, pandas and R read them: one header
// row, fields quoted only where they hold a comma or a quote, numbers in the
// digits the result files print.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace nlf::exporter {

// A field of a row, quoted when it needs to be.
std::string csv_field(std::string_view s);

// A printed number as a CSV number with the same digits: a field of
// asterisks (a value too wide for its field) becomes an empty field, and a
// three-digit exponent that lost its letter ("1.2345+100") gets it back
// ("1.2345E+100"). Everything else is passed on as it is.
std::string csv_number(std::string_view printed);
// True when the field printed as asterisks.
bool overflowed(std::string_view printed);

// Writes rows to a stream; counts them.
class CsvWriter {
 public:
  CsvWriter(std::ostream& out, const std::vector<std::string>& header);
  // Starts a row; the fields follow with field() or number().
  void begin();
  void field(std::string_view s);
  void number(std::string_view printed);
  void end();
  long rows() const { return rows_; }
  long overflows() const { return overflows_; }

 private:
  std::ostream& out_;
  bool first_ = true;
  long rows_ = 0;
  long overflows_ = 0;
};

}  // namespace nlf::exporter
