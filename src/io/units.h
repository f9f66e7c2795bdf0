// The unit table: every file of the run is addressed by its unit number.
// 15 deck, 16 listing, 17-21 result files, 6 console, 61 and up history
// files, 10-13 fibre-state scratch files, 1 and 2 scratch files, restart
// units as the control card names them. A unit used without having been
// opened by name is connected to the file "fort.N".
#pragma once

#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "io/card.h"
#include "io/format.h"
#include "io/records.h"

namespace nlf {

// A formatted sequential output file (or the console). Buffered: lines are
// collected and handed to the file in large blocks.
class TextOut : public RecordSink {
 public:
  TextOut() = default;
  ~TextOut() override;
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  void open(const std::string& path);  // created or overwritten
  void attach(std::FILE* f);           // console: standard output
  bool is_open() const { return f_ != nullptr; }
  void close();
  void flush();

  // One record (line) written as it stands.
  void record(std::string_view text) override;
  void line(std::string_view text) { record(text); }
  // The records a format makes of the items.
  void write(const Format& fmt, std::initializer_list<Item> items) { fmt.apply(items, *this); }
  void write(const Format& fmt, std::span<const Item> items) { fmt.apply(items, *this); }
  // Free-format message: one blank, then the items separated by blanks.
  void message(std::initializer_list<Item> items);

  const std::string& name() const { return name_; }

 private:
  std::FILE* f_ = nullptr;
  bool owned_ = false;
  std::string name_;
  std::string buf_;
};

// The deck: formatted sequential input read line by line, with the line
// number kept for error reports.
class DeckIn {
 public:
  // Opens an existing file; a missing file is a FileError.
  void open(const std::string& path);
  bool is_open() const { return f_ != nullptr; }
  // The file held no byte when it was opened.
  bool empty() const { return empty_; }
  void close();
  ~DeckIn();

  // Reads the next line (newline and a carriage return before it dropped).
  // Returns false at the end of the file.
  bool next(std::string& line);
  // Like next, but the end of the file is a FileError ("end of file").
  void next_or_fail(std::string& line, std::string_view what);
  void rewind();

  const std::string& name() const { return name_; }
  long line_number() const { return lineno_; }
  FieldSource source() const { return FieldSource{name_, lineno_}; }

 private:
  std::FILE* f_ = nullptr;
  std::string name_;
  long lineno_ = 0;
  bool empty_ = false;
};

class Units {
 public:
  Units();
  ~Units();

  DeckIn& deck() { return deck_; }          // unit 15
  // A text unit: 6 is the console; 16-21 are opened by name at start-up;
  // any other is opened as "fort.N" at its first use.
  TextOut& text(int unit);
  TextOut& console() { return text(6); }
  TextOut& listing() { return text(16); }
  void open_text(int unit, const std::string& path);

  // An unformatted unit: opened as "fort.N" (created if missing) at its
  // first use unless it was opened as a scratch file.
  RecordFile& records(int unit);
  // Opens an unformatted unit on an existing "fort.N" for reading; a
  // missing file is a FileError.
  RecordFile& records_existing(int unit);
  void open_scratch(int unit);
  bool is_open(int unit) const;

  // Closes every unit: the text files in unit order after flushing, the
  // scratch files (which vanish).
  void close_all();

  static std::string fort_name(int unit) { return "fort." + std::to_string(unit); }

 private:
  // The record file of a unit, opened as "fort.N" at its first use.
  RecordFile& record_unit(int unit, bool create);

  DeckIn deck_;
  std::map<int, std::unique_ptr<TextOut>> text_;
  std::map<int, std::unique_ptr<RecordFile>> rec_;
};

}  // namespace nlf
