// Unformatted sequential record files over stdio with a large buffer: a
// record costs three buffered copies and no allocation.
#include "io/records.h"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <limits>

namespace nlf {

static_assert(std::endian::native == std::endian::little,
              "record files hold little-endian values in the host's layout");

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

void put_length(unsigned char* b, std::uint32_t n) {
  b[0] = static_cast<unsigned char>(n);
  b[1] = static_cast<unsigned char>(n >> 8);
  b[2] = static_cast<unsigned char>(n >> 16);
  b[3] = static_cast<unsigned char>(n >> 24);
}

std::uint32_t get_length(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::string reason(int err) { return std::strerror(err); }

std::uint32_t byte_count(int n, std::size_t size, const std::string& name) {
  if (n < 0 || static_cast<std::uint64_t>(n) * size > std::numeric_limits<std::uint32_t>::max())
    throw FileError(name + ": a record of " + std::to_string(n) + " values cannot be stored");
  return static_cast<std::uint32_t>(static_cast<std::size_t>(n) * size);
}

}  // namespace

// The last operation on the stream decides whether a seek must come first:
// stdio needs one between a read and a write.
enum : int { kNone = 0, kRead = 1, kWrite = 2 };

RecordFile::~RecordFile() {
  try {
    close();
  } catch (...) {
  }
}

void RecordFile::open(const std::string& path, bool create) {
  close();
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr && errno == ENOENT && create) f = std::fopen(path.c_str(), "w+b");
  if (f == nullptr) throw FileError(path + ": cannot open: " + reason(errno));
  attach(f, path);
}

void RecordFile::attach(std::FILE* f, const std::string& name) {
  f_ = f;
  name_ = name;
  recno_ = 1;
  last_ = kNone;
  iobuf_.resize(kBufferBytes);
  std::setvbuf(f_, iobuf_.data(), _IOFBF, iobuf_.size());
}

void RecordFile::open_scratch(const std::string& label) {
  close();
  std::FILE* f = std::tmpfile();
  if (f == nullptr) throw FileError(label + ": cannot create a scratch file: " + reason(errno));
  attach(f, label);
}

void RecordFile::close() {
  if (f_ == nullptr) return;
  std::FILE* f = f_;
  f_ = nullptr;
  bool bad = std::ferror(f) != 0;
  if (std::fclose(f) != 0) bad = true;
  if (bad) throw FileError(name_ + ": error while writing or closing the file");
}

void RecordFile::check_open() const {
  if (f_ == nullptr) throw FileError((name_.empty() ? "record file" : name_) + ": file is not open");
}

void RecordFile::switch_to(int op) {
  if (last_ != kNone && last_ != op) std::fseek(f_, 0, SEEK_CUR);
  last_ = op;
}

void RecordFile::rewind() {
  check_open();
  if (std::fseek(f_, 0, SEEK_SET) != 0) throw FileError(name_ + ": cannot rewind: " + reason(errno));
  std::clearerr(f_);
  recno_ = 1;
  last_ = kNone;
}

void RecordFile::end_file() {
  check_open();
  if (std::fflush(f_) != 0) throw FileError(name_ + ": cannot write: " + reason(errno));
  long pos = std::ftell(f_);
  if (pos < 0 || ::ftruncate(::fileno(f_), static_cast<off_t>(pos)) != 0)
    throw FileError(name_ + ": cannot write the end of the file: " + reason(errno));
  std::fseek(f_, pos, SEEK_SET);
  last_ = kNone;
}

void RecordFile::write_bytes(const void* data, std::uint32_t n) {
  check_open();
  switch_to(kWrite);
  unsigned char len[4];
  put_length(len, n);
  if (std::fwrite(len, 1, 4, f_) != 4 || (n > 0 && std::fwrite(data, 1, n, f_) != n) ||
      std::fwrite(len, 1, 4, f_) != 4)
    throw FileError(name_ + ": cannot write record " + std::to_string(recno_) + ": " +
                    reason(errno));
  ++recno_;
}

void RecordFile::read_bytes(void* data, std::uint32_t n) {
  check_open();
  switch_to(kRead);
  auto fail = [&](const std::string& what) {
    throw FileError(name_ + ": record " + std::to_string(recno_) + ": " + what);
  };
  unsigned char len[4];
  std::size_t got = std::fread(len, 1, 4, f_);
  if (got == 0) fail("end of file");
  if (got != 4) fail("the file ends inside the record");
  std::uint32_t lead = get_length(len);
  if (lead != n)
    fail("holds " + std::to_string(lead) + " bytes where " + std::to_string(n) + " were expected");
  if (n > 0 && std::fread(data, 1, n, f_) != n) fail("the file ends inside the record");
  if (std::fread(len, 1, 4, f_) != 4) fail("the file ends inside the record");
  if (get_length(len) != n) fail("the record is damaged (its lengths differ)");
  ++recno_;
}

unsigned char* RecordFile::begin_framed(std::uint32_t n, int count) {
  check_open();
  const std::size_t framed = std::size_t{n} + 8;
  block_count_ = count > 0 ? count : 0;
  block_.resize(framed * static_cast<std::size_t>(block_count_));
  for (int k = 0; k < block_count_; ++k) {
    unsigned char* rec = block_.data() + framed * static_cast<std::size_t>(k);
    put_length(rec, n);
    put_length(rec + 4 + n, n);
  }
  return block_.data() + 4;
}

void RecordFile::end_framed() {
  check_open();
  switch_to(kWrite);
  if (block_count_ == 0) return;
  if (std::fwrite(block_.data(), 1, block_.size(), f_) != block_.size())
    throw FileError(name_ + ": cannot write record " + std::to_string(recno_) + ": " + reason(errno));
  recno_ += block_count_;
  block_count_ = 0;
}

void RecordFile::write_many(const void* data, std::uint32_t n, int count) {
  unsigned char* rec = begin_framed(n, count);
  const auto* src = static_cast<const unsigned char*>(data);
  if (n > 0)
    for (int k = 0; k < count; ++k)
      std::memcpy(rec + (std::size_t{n} + 8) * static_cast<std::size_t>(k),
                  src + std::size_t{n} * static_cast<std::size_t>(k), n);
  end_framed();
}

const unsigned char* RecordFile::read_framed(std::uint32_t n, int count) {
  check_open();
  switch_to(kRead);
  if (count <= 0) return nullptr;
  const std::size_t framed = std::size_t{n} + 8;
  block_.resize(framed * static_cast<std::size_t>(count));
  const std::size_t got = std::fread(block_.data(), 1, block_.size(), f_);
  for (int k = 0; k < count; ++k) {
    const std::size_t at = framed * static_cast<std::size_t>(k);
    auto fail = [&](const std::string& what) {
      throw FileError(name_ + ": record " + std::to_string(recno_ + k) + ": " + what);
    };
    if (got <= at) fail("end of file");
    if (got < at + 4) fail("the file ends inside the record");
    const unsigned char* rec = block_.data() + at;
    const std::uint32_t lead = get_length(rec);
    if (lead != n)
      fail("holds " + std::to_string(lead) + " bytes where " + std::to_string(n) + " were expected");
    if (got < at + framed) fail("the file ends inside the record");
    if (get_length(rec + 4 + n) != n) fail("the record is damaged (its lengths differ)");
  }
  recno_ += count;
  return block_.data() + 4;
}

void RecordFile::read_many(void* data, std::uint32_t n, int count) {
  const unsigned char* rec = read_framed(n, count);
  auto* dst = static_cast<unsigned char*>(data);
  if (n > 0)
    for (int k = 0; k < count; ++k)
      std::memcpy(dst + std::size_t{n} * static_cast<std::size_t>(k),
                  rec + (std::size_t{n} + 8) * static_cast<std::size_t>(k), n);
}

bool RecordFile::at_end() {
  check_open();
  switch_to(kRead);
  int c = std::fgetc(f_);
  if (c == EOF) {
    std::clearerr(f_);
    return true;
  }
  std::ungetc(c, f_);
  return false;
}

void RecordFile::write_reals(const double* v, int n) {
  write_bytes(v, byte_count(n, sizeof(double), name_));
}
void RecordFile::read_reals(double* v, int n) { read_bytes(v, byte_count(n, sizeof(double), name_)); }
void RecordFile::write_ints(const std::int32_t* v, int n) {
  write_bytes(v, byte_count(n, sizeof(std::int32_t), name_));
}
void RecordFile::read_ints(std::int32_t* v, int n) {
  read_bytes(v, byte_count(n, sizeof(std::int32_t), name_));
}

}  // namespace nlf
