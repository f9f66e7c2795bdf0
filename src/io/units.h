// The unit table: every file of the run is addressed by its unit number.
// 15 deck, 16 listing, 17-21 result files, 6 console, 61 and up history
// files, 10-13 fibre-state scratch files, 1 and 2 scratch files, restart
// units as the control card names them. A unit used without having been
// opened by name is connected to the file "fort.N".
#pragma once

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "io/card.h"
#include "io/format.h"
#include "io/records.h"

namespace nlf {

// Where a run's messages go: the console lines (unit 6) and the lines the
// program writes on standard error. The program sends them to its standard
// streams; a run inside another program collects them.
class RunOutput {
 public:
  virtual ~RunOutput() = default;
  virtual void console(std::string_view line) = 0;
  // Everything written to the console so far is out before what follows.
  virtual void flush_console() {}
  // One line of standard error, without its newline.
  virtual void error(std::string_view line) = 0;
};

// The program's own: standard output and standard error.
class StandardStreams : public RunOutput {
 public:
  void console(std::string_view line) override;
  void flush_console() override;
  void error(std::string_view line) override;
};
StandardStreams& standard_streams();

// The reports of a deck check, which collects every error of a deck instead
// of stopping at the first (see model/deck_error.h).
class FindingLog {
 public:
  virtual ~FindingLog() = default;
  virtual void add(long line, const std::string& text, int status) = 0;
};

// A formatted sequential output file (or the console). Buffered: lines are
// collected and handed to the file in large blocks.
class TextOut : public RecordSink {
 public:
  TextOut() = default;
  ~TextOut() override;
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  // Created or overwritten; `name` names it in messages (default: path).
  void open(const std::string& path, const std::string& name = {});
  void attach(RunOutput* out);  // the console: every line handed on
  bool is_open() const { return f_ != nullptr || out_ != nullptr; }
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
  RunOutput* out_ = nullptr;
  std::string name_;
  std::string buf_;
};

// The deck: formatted sequential input read line by line, with the line
// number kept for error reports.
class DeckIn {
 public:
  // Opens an existing file; a missing file is a FileError. `name` names it
  // in messages (default: path).
  void open(const std::string& path, const std::string& name = {});
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
  // A run's files are opened in `folder` (relative names only; empty: the
  // current folder), its messages go to `out`.
  explicit Units(RunOutput& out = standard_streams(), std::filesystem::path folder = {});
  ~Units();

  DeckIn& deck() { return deck_; }          // unit 15
  // Opens the deck `path` (relative to the folder), named `name` in
  // messages (default: path).
  void open_deck(const std::string& path, const std::string& name = {});
  // A file name of the run as it is opened: in the run's folder.
  std::string in_folder(const std::string& name) const;

  RunOutput& output() { return *out_; }
  // One line of standard error, printf-style, without the newline.
  void error_line(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // The deck check in force, which collects deck errors; nullptr in a run.
  FindingLog* findings() const { return findings_; }
  void set_findings(FindingLog* log) { findings_ = log; }
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
  // scratch files (which vanish). Every file is closed whatever fails; then
  // the first failure is thrown, or with `errors` every failure's message is
  // added there instead.
  void close_all(std::vector<std::string>* errors = nullptr);
  // Hands every text file's lines to the system now (not the console).
  // Returns the message of every file that could not be written.
  std::vector<std::string> flush_files();

  static std::string fort_name(int unit) { return "fort." + std::to_string(unit); }

 private:
  // The record file of a unit, opened as "fort.N" at its first use.
  RecordFile& record_unit(int unit, bool create);

  RunOutput* out_;
  std::filesystem::path folder_;
  FindingLog* findings_ = nullptr;
  DeckIn deck_;
  std::map<int, std::unique_ptr<TextOut>> text_;
  std::map<int, std::unique_ptr<RecordFile>> rec_;
};

}  // namespace nlf
