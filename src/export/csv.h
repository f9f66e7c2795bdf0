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
  // The columns and rows of the fields that printed as asterisks:
  // "STRAIN_1(%) in 20 rows (rows 3, 5, 8, 11, 14, ...: steps 12 to 15)",
  // one clause a column; empty when there are none.
  std::string overflow_places() const;

 private:
  struct ColumnOverflow {
    std::size_t column = 0;
    long count = 0;
    std::vector<long> rows;  // the first few, numbered from 1 below the header
    std::string first_step, last_step;
  };
  std::ostream& out_;
  std::vector<std::string> header_;
  bool first_ = true;
  std::size_t col_ = 0;      // the field about to be written
  std::string row_step_;     // the first field of the row under way
  long rows_ = 0;
  long overflows_ = 0;
  std::vector<ColumnOverflow> places_;
};

}  // namespace nlf::exporter
