// Fuzz target: the decoding of one card line. Every input is handed to the
// general-layout decoder, the control-card decoder, the real-field reader and
// the free-format read of the deck name. A malformed field must end in a
// FileError (the program's exit status 2); anything else that escapes, every
// sanitizer report and every value that breaks the rules below is a fault.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "io/card.h"
#include "io/stop.h"

namespace {

const nlf::FieldSource kSource{"fuzz.dat", 1};

void check(bool ok) {
  if (!ok) std::abort();
}

void general_layout(std::string_view line) {
  const std::string cols = nlf::card_columns(line);
  check(cols.size() == 80);
  try {
    const nlf::Card c = nlf::decode_card(cols, kSource);
    check(c.ch == cols[0]);
    for (double v : c.x) check(std::isfinite(v));
  } catch (const nlf::FileError&) {
  }
}

void control_card(std::string_view line) {
  try {
    const nlf::ControlCard cc = nlf::decode_control_card(nlf::card_columns(line), kSource);
    check(std::isfinite(cc.rctl));
    check(cc.title.size() == 64);
  } catch (const nlf::FileError&) {
  }
}

void real_field(std::string_view field) {
  try {
    const double v = nlf::read_real_field(field, kSource, 11);
    check(std::isfinite(v));
    // Blanks inside a field do not count: the same field without them reads
    // the same value.
    std::string squeezed;
    for (char c : field)
      if (c != ' ') squeezed += c;
    check(nlf::read_real_field(squeezed, kSource, 11) == v);
  } catch (const nlf::FileError&) {
  }
}

void name_item(std::string_view input) {
  try {
    const std::string name = nlf::read_name_item(input, std::string(16, ' '));
    check(name.size() == 16);
  } catch (const nlf::FileError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return -1;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  // The first line is the card; the whole input is also one field and one
  // standard-input text.
  const std::string_view line = in.substr(0, in.find('\n'));
  general_layout(line);
  control_card(line);
  real_field(line.substr(0, 96));
  name_item(in);
  return 0;
}
