// Text output files, the deck reader and the unit table.
#include "io/units.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "io/stop.h"

namespace nlf {

namespace {

constexpr std::size_t kFlushBytes = std::size_t{1} << 16;

std::string reason(int err) { return std::strerror(err); }

}  // namespace

// ---- StandardStreams ----------------------------------------------------

void StandardStreams::console(std::string_view line) {
  // Every line at once, so that progress shows while the run goes on;
  // stdio buffers it further.
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fputc('\n', stdout) == EOF)
    throw FileError("standard output: cannot write: " + reason(errno));
}

void StandardStreams::flush_console() { std::fflush(stdout); }

void StandardStreams::error(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

StandardStreams& standard_streams() {
  static StandardStreams s;
  return s;
}

// ---- TextOut ------------------------------------------------------------

TextOut::~TextOut() {
  try {
    close();
  } catch (...) {
  }
}

void TextOut::open(const std::string& path, const std::string& name) {
  close();
  const std::string& shown = name.empty() ? path : name;
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) throw FileError(shown + ": cannot open: " + reason(errno));
  f_ = f;
  name_ = shown;
  buf_.clear();
  buf_.reserve(kFlushBytes + 4096);
}

void TextOut::attach(RunOutput* out) {
  close();
  out_ = out;
  name_ = "console";
  buf_.clear();
}

void TextOut::flush() {
  if (out_ != nullptr) {
    out_->flush_console();
    return;
  }
  if (f_ == nullptr) return;
  bool ok = buf_.empty() || std::fwrite(buf_.data(), 1, buf_.size(), f_) == buf_.size();
  buf_.clear();
  if (std::fflush(f_) != 0) ok = false;
  if (!ok) throw FileError(name_ + ": cannot write: " + reason(errno));
}

void TextOut::close() {
  if (out_ != nullptr) {
    out_->flush_console();
    out_ = nullptr;
    return;
  }
  if (f_ == nullptr) return;
  std::FILE* f = f_;
  std::string err;
  try {
    flush();
  } catch (const FileError& e) {
    err = e.what();
  }
  f_ = nullptr;
  if (std::fclose(f) != 0 && err.empty()) err = name_ + ": cannot close: " + reason(errno);
  if (!err.empty()) throw FileError(err);
}

void TextOut::record(std::string_view text) {
  if (out_ != nullptr) {
    out_->console(text);
    return;
  }
  if (f_ == nullptr) throw FileError((name_.empty() ? "text file" : name_) + ": file is not open");
  buf_.append(text);
  buf_.push_back('\n');
  if (buf_.size() >= kFlushBytes) {
    if (std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
      throw FileError(name_ + ": cannot write: " + reason(errno));
    buf_.clear();
  }
}

void TextOut::message(std::initializer_list<Item> items) { record(free_format(items)); }

// ---- DeckIn -------------------------------------------------------------

DeckIn::~DeckIn() { close(); }

void DeckIn::open(const std::string& path, const std::string& name) {
  close();
  const std::string& shown = name.empty() ? path : name;
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) throw FileError(shown + ": cannot open the deck: " + reason(errno));
  // A first byte read now: a folder or an unreadable file fails here, before
  // the run touches any of its output files.
  const int c = std::getc(f);
  if (c == EOF && std::ferror(f)) {
    const int err = errno;
    std::fclose(f);
    throw FileError(shown + ": cannot read: " + reason(err));
  }
  if (c != EOF) std::ungetc(c, f);
  empty_ = c == EOF;
  f_ = f;
  name_ = shown;
  lineno_ = 0;
}

void DeckIn::close() {
  if (f_ != nullptr) std::fclose(f_);
  f_ = nullptr;
}

bool DeckIn::next(std::string& line) {
  line.clear();
  if (f_ == nullptr) throw FileError((name_.empty() ? "deck" : name_) + ": file is not open");
  int c = std::getc(f_);
  if (c == EOF) {
    if (std::ferror(f_)) throw FileError(name_ + ": cannot read: " + reason(errno));
    return false;
  }
  while (c != EOF && c != '\n') {
    line.push_back(static_cast<char>(c));
    c = std::getc(f_);
  }
  if (c == EOF && std::ferror(f_)) throw FileError(name_ + ": cannot read: " + reason(errno));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  ++lineno_;
  return true;
}

void DeckIn::next_or_fail(std::string& line, std::string_view what) {
  if (!next(line))
    throw FileError(name_ + ": line " + std::to_string(lineno_ + 1) + ": end of file while reading " +
                    std::string(what));
}

void DeckIn::rewind() {
  if (f_ == nullptr) return;
  std::rewind(f_);
  lineno_ = 0;
}

// ---- Units --------------------------------------------------------------

Units::Units(RunOutput& out, std::filesystem::path folder) : out_(&out), folder_(std::move(folder)) {
  auto con = std::make_unique<TextOut>();
  con->attach(out_);
  text_[6] = std::move(con);
}

std::string Units::in_folder(const std::string& name) const {
  if (folder_.empty() || name.empty() || name.front() == '/') return name;
  return (folder_ / name).string();
}

void Units::open_deck(const std::string& path, const std::string& name) {
  deck_.open(in_folder(path), name.empty() ? path : name);
}

void Units::error_line(const char* fmt, ...) {
  char buf[512];
  std::va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  out_->error(buf);
}

Units::~Units() {
  try {
    close_all();
  } catch (...) {
  }
}

namespace {

constexpr int kDeckUnit = 15;

void check_unit(int unit) {
  if (unit <= 0) throw FileError("unit " + std::to_string(unit) + " is not a valid unit number");
}

}  // namespace

TextOut& Units::text(int unit) {
  auto it = text_.find(unit);
  if (it != text_.end() && it->second->is_open()) return *it->second;
  check_unit(unit);
  if (unit == kDeckUnit || rec_.count(unit) != 0)
    throw FileError("unit " + std::to_string(unit) + " is not a text output unit");
  auto& t = text_[unit];
  if (!t) t = std::make_unique<TextOut>();
  if (unit == 6)
    t->attach(out_);
  else
    t->open(in_folder(fort_name(unit)), fort_name(unit));
  return *t;
}

void Units::open_text(int unit, const std::string& path) {
  check_unit(unit);
  if (unit == kDeckUnit || rec_.count(unit) != 0)
    throw FileError("unit " + std::to_string(unit) + " is not a text output unit");
  auto& t = text_[unit];
  if (!t) t = std::make_unique<TextOut>();
  t->open(in_folder(path), path);
}

RecordFile& Units::record_unit(int unit, bool create) {
  auto it = rec_.find(unit);
  if (it != rec_.end() && it->second->is_open()) return *it->second;
  check_unit(unit);
  if (unit == kDeckUnit || unit == 6 || text_.count(unit) != 0)
    throw FileError("unit " + std::to_string(unit) + " is in use for text and cannot hold records");
  auto& r = rec_[unit];
  if (!r) r = std::make_unique<RecordFile>();
  r->open(in_folder(fort_name(unit)), create, fort_name(unit));
  return *r;
}

RecordFile& Units::records(int unit) { return record_unit(unit, true); }

RecordFile& Units::records_existing(int unit) { return record_unit(unit, false); }

void Units::open_scratch(int unit) {
  check_unit(unit);
  if (unit == kDeckUnit || unit == 6 || text_.count(unit) != 0)
    throw FileError("unit " + std::to_string(unit) + " is in use for text and cannot hold records");
  auto& r = rec_[unit];
  if (!r) r = std::make_unique<RecordFile>();
  r->open_scratch("scratch unit " + std::to_string(unit));
}

bool Units::is_open(int unit) const {
  if (unit == kDeckUnit) return deck_.is_open();
  auto t = text_.find(unit);
  if (t != text_.end() && t->second->is_open()) return true;
  auto r = rec_.find(unit);
  return r != rec_.end() && r->second->is_open();
}

std::vector<std::string> Units::flush_files() {
  std::vector<std::string> errors;
  for (auto& [u, t] : text_) {
    if (u == 6) continue;
    try {
      t->flush();
    } catch (const FileError& e) {
      errors.emplace_back(e.what());
    }
  }
  return errors;
}

void Units::close_all(std::vector<std::string>* errors) {
  std::string first;
  auto keep = [&](const FileError& e) {
    if (errors != nullptr) errors->emplace_back(e.what());
    if (first.empty()) first = e.what();
  };
  deck_.close();
  for (auto& [u, t] : text_) {
    try {
      t->close();
    } catch (const FileError& e) {
      keep(e);
    }
  }
  for (auto& [u, r] : rec_) {
    try {
      r->close();
    } catch (const FileError& e) {
      keep(e);
    }
  }
  if (!first.empty() && errors == nullptr) throw FileError(first);
}

}  // namespace nlf
