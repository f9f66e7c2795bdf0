// Unformatted sequential record files: single records over stdio with a
// large buffer (three buffered copies and no allocation), blocks of records
// in place in a shared mapping of the file.
#include "io/records.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cassert>
#include <cerrno>
#include <limits>

namespace nlf {

static_assert(std::endian::native == std::endian::little,
              "record files hold little-endian values in the host's layout");

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
// The least length of a mapping; a mapping that must grow at least doubles.
constexpr std::size_t kMapBytes = std::size_t{1} << 20;

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

// Who holds the file's position. Only kRead and kWrite leave the stream in
// charge; after the others its position is stale and it must seek first.
enum : int { kSettled = 0, kRead = 1, kWrite = 2, kBlocks = 3 };

RecordFile::~RecordFile() {
  try {
    close();
  } catch (...) {
  }
}

void RecordFile::open(const std::string& path, bool create, const std::string& name) {
  close();
  const std::string& shown = name.empty() ? path : name;
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr && errno == ENOENT && create) f = std::fopen(path.c_str(), "w+b");
  if (f == nullptr) throw FileError(shown + ": cannot open: " + reason(errno));
  attach(f, shown);
}

void RecordFile::attach(std::FILE* f, const std::string& name) {
  f_ = f;
  fd_ = ::fileno(f);
  name_ = name;
  recno_ = 1;
  pos_ = 0;
  mode_ = kSettled;
  block_count_ = 0;
  // Left uninitialised: the pages of a buffer the stream never fills (a
  // scratch file moves its records in blocks) are never touched.
  if (!iobuf_) iobuf_.reset(new char[kBufferBytes]);
  std::setvbuf(f_, iobuf_.get(), _IOFBF, kBufferBytes);
}

void RecordFile::open_scratch(const std::string& label) {
  close();
  std::FILE* f = std::tmpfile();
  if (f == nullptr) throw FileError(label + ": cannot create a scratch file: " + reason(errno));
  attach(f, label);
}

void RecordFile::close() {
  if (f_ == nullptr) return;
  unmap();
  std::FILE* f = f_;
  f_ = nullptr;
  fd_ = -1;
  bool bad = std::ferror(f) != 0;
  if (std::fclose(f) != 0) bad = true;
  if (bad) throw FileError(name_ + ": error while writing or closing the file");
}

void RecordFile::check_open() const {
  if (f_ == nullptr) throw FileError((name_.empty() ? "record file" : name_) + ": file is not open");
}

void RecordFile::switch_to(int mode) {
  if (mode_ == kRead || mode_ == kWrite) {
    if (mode_ != mode) std::fseek(f_, 0, SEEK_CUR);
  } else {
    settle();
    // The stream may still hold bytes it read ahead before blocks were
    // written in place; flushing drops them, so that the seek cannot reuse
    // them.
    std::fflush(f_);
    if (::fseeko(f_, static_cast<off_t>(pos_), SEEK_SET) != 0)
      throw FileError(name_ + ": cannot seek: " + reason(errno));
  }
  mode_ = mode;
}

void RecordFile::settle() {
  if (mode_ == kRead || mode_ == kWrite) {
    if (mode_ == kWrite && std::fflush(f_) != 0) throw FileError(name_ + ": cannot write: " + reason(errno));
    const off_t at = ::ftello(f_);
    if (at < 0) throw FileError(name_ + ": cannot seek: " + reason(errno));
    pos_ = at;
  }
  mode_ = kSettled;
}

void RecordFile::to_blocks() {
  if (mode_ == kBlocks) return;
  settle();
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw FileError(name_ + ": cannot find the length: " + reason(errno));
  size_ = st.st_size;
  mode_ = kBlocks;
}

void RecordFile::map_to(std::size_t bytes) {
  if (bytes <= map_len_) return;
  unmap();
  const std::size_t len = std::max({bytes, 2 * map_len_, kMapBytes});
  void* at = ::mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (at == MAP_FAILED) throw FileError(name_ + ": cannot map the file: " + reason(errno));
  map_ = static_cast<unsigned char*>(at);
  map_len_ = len;
}

void RecordFile::unmap() {
  if (map_ != nullptr) ::munmap(map_, map_len_);
  map_ = nullptr;
  map_len_ = 0;
}

void RecordFile::rewind() {
  check_open();
  settle();
  std::clearerr(f_);
  pos_ = 0;
  recno_ = 1;
}

void RecordFile::end_file() {
  check_open();
  // After block transfers the length is known: a file that already ends
  // here is left alone.
  const bool ends_here = mode_ == kBlocks && size_ == pos_;
  settle();
  if (!ends_here && ::ftruncate(fd_, static_cast<off_t>(pos_)) != 0)
    throw FileError(name_ + ": cannot write the end of the file: " + reason(errno));
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

void RecordFile::reserve_blocks(std::size_t bytes) {
  check_open();
  map_to(bytes);
}

unsigned char* RecordFile::begin_framed(std::uint32_t n, int count) {
  check_open();
  block_count_ = count > 0 ? count : 0;
  block_n_ = n;
  if (block_count_ == 0) return nullptr;
  to_blocks();
  const std::size_t framed = std::size_t{n} + 8;
  const std::size_t bytes = framed * static_cast<std::size_t>(block_count_);
  const std::int64_t end = pos_ + static_cast<std::int64_t>(bytes);
  if (end > size_) {
    // The file grows to hold the block, with its disk space taken now: a
    // full disk is reported here, not met later as a fault in the mapping.
    const int err = ::posix_fallocate(fd_, static_cast<off_t>(size_), static_cast<off_t>(end - size_));
    if (err != 0) throw FileError(name_ + ": cannot write record " + std::to_string(recno_) + ": " + reason(err));
    size_ = end;
  }
  map_to(static_cast<std::size_t>(end));
  // The trailing length of one record and the leading length of the next
  // go in as one 8-byte word.
  unsigned char* b = map_ + pos_;
  put_length(b, n);
  put_length(b + bytes - 4, n);
  const std::uint64_t pair = std::uint64_t{n} << 32 | n;
  unsigned char* seam = b + framed - 4;
  const int count_here = block_count_;  // not reloaded after every store
#pragma GCC unroll 4
  for (int k = 1; k < count_here; ++k, seam += framed) std::memcpy(seam, &pair, 8);
  return b + 4;
}

void RecordFile::end_framed() {
  check_open();
  if (block_count_ == 0) return;
  assert(mode_ == kBlocks);
  pos_ += static_cast<std::int64_t>((std::size_t{block_n_} + 8) * static_cast<std::size_t>(block_count_));
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
  if (count <= 0) return nullptr;
  const std::size_t framed = std::size_t{n} + 8;
  const std::size_t bytes = framed * static_cast<std::size_t>(count);
  to_blocks();
  const std::size_t got =
      size_ > pos_ ? std::min(bytes, static_cast<std::size_t>(size_ - pos_)) : std::size_t{0};
  map_to(static_cast<std::size_t>(pos_) + bytes);  // past the end too: only `got` bytes are touched
  const unsigned char* b = map_ + pos_;
  // The lengths of a whole block are compared without a branch, the trailing
  // length of one record and the leading length of the next as one 8-byte
  // word; only a block that fails looks for the first record at fault.
  std::uint64_t bad = got == bytes ? 0 : 1;
  if (bad == 0) {
    std::uint32_t first, last;
    std::memcpy(&first, b, 4);
    std::memcpy(&last, b + bytes - 4, 4);
    bad = (first ^ n) | (last ^ n);
    const std::uint64_t pair = std::uint64_t{n} << 32 | n;
    const unsigned char* seam = b + framed - 4;
    int k = 1;
#if defined(__SSE2__)
    // Two seams to a vector register.
    const __m128i pairs = _mm_set1_epi64x(static_cast<long long>(pair));
    __m128i diff = _mm_setzero_si128();
#pragma GCC unroll 4
    for (; k + 1 < count; k += 2, seam += 2 * framed) {
      const __m128d lo = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(seam)));
      const __m128i w = _mm_castpd_si128(_mm_loadh_pd(lo, reinterpret_cast<const double*>(seam + framed)));
      diff = _mm_or_si128(diff, _mm_xor_si128(w, pairs));
    }
    bad |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(diff, _mm_setzero_si128())) ^ 0xFFFF);
#endif
    for (; k < count; ++k, seam += framed) {
      std::uint64_t w;
      std::memcpy(&w, seam, 8);
      bad |= w ^ pair;
    }
  }
  if (bad != 0) {
    for (int k = 0; k < count; ++k) {
      const std::size_t at = framed * static_cast<std::size_t>(k);
      auto fail = [&](const std::string& what) {
        throw FileError(name_ + ": record " + std::to_string(recno_ + k) + ": " + what);
      };
      if (got <= at) fail("end of file");
      if (got < at + 4) fail("the file ends inside the record");
      const unsigned char* rec = b + at;
      const std::uint32_t lead = get_length(rec);
      if (lead != n)
        fail("holds " + std::to_string(lead) + " bytes where " + std::to_string(n) + " were expected");
      if (got < at + framed) fail("the file ends inside the record");
      if (get_length(rec + 4 + n) != n) fail("the record is damaged (its lengths differ)");
    }
  }
  pos_ += static_cast<std::int64_t>(bytes);
  recno_ += count;
  return b + 4;
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
