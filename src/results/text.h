// Reading the text files of a finished run: whole files as lines, printed
// numbers and fixed-column fields. The readers of the result files and of
// the deck build on these; every failure is a ResultError whose message
// names the file and, where it helps, the line.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nlf::results {

// A result file or deck that cannot be read, or that does not hold what its
// name promises.
class ResultError : public std::runtime_error {
 public:
  explicit ResultError(const std::string& msg) : std::runtime_error(msg) {}
};

// The lines of a text file without line ends. Throws ResultError when the
// file is missing or unreadable.
std::vector<std::string> read_text_lines(const std::filesystem::path& p);

// A printed real: blanks around it are ignored; the exponent may be written
// with E or D or, for three-digit exponents, as a bare sign ("1.2345+100").
// NaN and Infinity read as such. A field of asterisks (value too wide for
// its field), a blank field or anything else gives nullopt.
std::optional<double> read_real(std::string_view field);
// A printed integer; nullopt for blanks, asterisks or anything else.
std::optional<int> read_int(std::string_view field);

// Blanks and tabs around a field removed.
std::string_view trim(std::string_view s);
// Columns [from, from + width) of a line (0-based); shorter lines give what
// is there.
std::string_view cols(std::string_view line, std::size_t from, std::size_t width);
// "NAME, line N" for the 0-based line index.
std::string where(const std::string& name, std::size_t index);
bool starts_with(std::string_view s, std::string_view prefix);

}  // namespace nlf::results
