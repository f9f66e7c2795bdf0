// Unformatted sequential record files: every record is framed by its length
// in bytes as a 4-byte little-endian integer before and after the data.
// Integers are 32-bit, reals 64-bit IEEE, both little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "io/stop.h"

namespace nlf {

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens a named file for reading and writing, positioned at its start.
  // create: a missing file is created (writing is then possible); without
  // create a missing file is a FileError.
  void open(const std::string& path, bool create, const std::string& name = {});
  // Opens an anonymous scratch file that vanishes when it is closed or the
  // process ends.
  void open_scratch(const std::string& label);
  bool is_open() const { return f_ != nullptr; }
  void close();

  void rewind();
  // End-of-file mark: the file ends at the current position.
  void end_file();

  // Writes one record of raw bytes.
  void write_bytes(const void* data, std::uint32_t n);
  // Reads one record whose length must be exactly n bytes; a record of
  // another length, a short file or the end of the file is a FileError
  // naming the file and the record number.
  void read_bytes(void* data, std::uint32_t n);
  // True when the next read would meet the end of the file.
  bool at_end();

  // One record of mixed items (int32_t and double), in order.
  template <class... T>
  void write(const T&... items) {
    static_assert((... && (std::is_same_v<T, std::int32_t> || std::is_same_v<T, double>)),
                  "records hold 32-bit integers and 64-bit reals");
    std::size_t pos = 0;
    buf_.resize((sizeof(T) + ... + 0));
    (put(items, pos), ...);
    write_bytes(buf_.data(), static_cast<std::uint32_t>(buf_.size()));
  }
  template <class... T>
  void read(T&... items) {
    static_assert((... && (std::is_same_v<T, std::int32_t> || std::is_same_v<T, double>)),
                  "records hold 32-bit integers and 64-bit reals");
    buf_.resize((sizeof(T) + ... + 0));
    read_bytes(buf_.data(), static_cast<std::uint32_t>(buf_.size()));
    std::size_t pos = 0;
    (get(items, pos), ...);
  }
  // `count` consecutive records of `n` bytes each, from or into `count * n`
  // packed bytes: the same records as `count` single calls, in one transfer.
  void write_many(const void* data, std::uint32_t n, int count);
  void read_many(void* data, std::uint32_t n, int count);
  // The same without the packed copy: read_framed checks `count` records of
  // `n` bytes and returns the data of the first, the others following at a
  // stride of n + 8 bytes (valid until the next operation on the file).
  // begin_framed returns room for such a block with its lengths already in
  // place for the caller to fill, and end_framed writes it.
  //
  // Blocks are read and written in place in a shared mapping of the file,
  // past stdio: a member's records cost no system call and no copy beyond
  // the caller's own. The file must not be cut short by anyone else while
  // it is open.
  const unsigned char* read_framed(std::uint32_t n, int count);
  unsigned char* begin_framed(std::uint32_t n, int count);
  void end_framed();
  // Maps at least `bytes` bytes of the file at once, so that block transfers
  // within them allocate nothing.
  void reserve_blocks(std::size_t bytes);

  // A record of n doubles / n int32 from or into an array.
  void write_reals(const double* v, int n);
  void read_reals(double* v, int n);
  void write_ints(const std::int32_t* v, int n);
  void read_ints(std::int32_t* v, int n);

  const std::string& name() const { return name_; }
  // Number of the record that the next read or write handles (1-based).
  long record_number() const { return recno_; }

 private:
  template <class T>
  void put(const T& v, std::size_t& pos) {
    std::memcpy(buf_.data() + pos, &v, sizeof(T));
    pos += sizeof(T);
  }
  template <class T>
  void get(T& v, std::size_t& pos) {
    std::memcpy(&v, buf_.data() + pos, sizeof(T));
    pos += sizeof(T);
  }

  // Takes an open stream as this file, positioned at its start.
  void attach(std::FILE* f, const std::string& name);
  void check_open() const;
  // Before a stream operation: places the stream where the file stands.
  void switch_to(int mode);
  // Ends the stream's part: what it holds is written and the position is
  // taken over in pos_.
  void settle();
  // Before a block transfer: takes over the position and learns the file's
  // length.
  void to_blocks();
  // Maps the file's first `bytes` bytes at least (a mapping may reach past
  // the end of the file; only what the file holds is touched).
  void map_to(std::size_t bytes);
  void unmap();

  std::FILE* f_ = nullptr;
  int fd_ = -1;
  // Who holds the position: the stream after a read or a write, else pos_
  // (and then the stream's own position is stale).
  int mode_ = 0;
  std::int64_t pos_ = 0;
  std::int64_t size_ = 0;  // the file's length while in block transfers
  unsigned char* map_ = nullptr;
  std::size_t map_len_ = 0;
  std::string name_;
  long recno_ = 1;
  std::vector<unsigned char> buf_;
  std::uint32_t block_n_ = 0;  // record length of the block begun
  int block_count_ = 0;        // records of the block begun
  std::unique_ptr<char[]> iobuf_;
};

}  // namespace nlf
