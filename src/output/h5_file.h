// A thin layer over the HDF5 C library for the results file: a file,
// groups, attributes and datasets that grow by one row per output step
// (chunked by row, shuffled and deflated). Every failure is a FileError
// naming the file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace nlf {

using H5Id = std::int64_t;  // hid_t

// The library's own error stack is not printed on this thread: a failure
// is a FileError.
void h5_quiet_errors();

// An identifier closed with the right call when it goes.
class H5Handle {
 public:
  enum class Kind { none, file, group, dataset };
  H5Handle() = default;
  H5Handle(H5Id id, Kind kind) : id_(id), kind_(kind) {}
  H5Handle(H5Handle&& o) noexcept : id_(o.id_), kind_(o.kind_) { o.id_ = -1; }
  H5Handle& operator=(H5Handle&& o) noexcept;
  H5Handle(const H5Handle&) = delete;
  H5Handle& operator=(const H5Handle&) = delete;
  ~H5Handle() { close(); }
  H5Id id() const { return id_; }
  explicit operator bool() const { return id_ >= 0; }
  void close() noexcept;

 private:
  H5Id id_ = -1;
  Kind kind_ = Kind::none;
};

enum class H5Type { f64, i32, i8 };

// A dataset of rows: its first dimension grows by one row per append.
class H5Rows {
 public:
  H5Rows() = default;
  // `row` is the shape of one row; `deflate` 0 stores it plain.
  H5Rows(H5Id where, const std::string& name, H5Type type, std::vector<std::uint64_t> row, int deflate,
         const std::string& file);
  void append(const void* data);
  H5Id id() const { return set_.id(); }
  explicit operator bool() const { return static_cast<bool>(set_); }

 private:
  H5Handle set_;
  H5Type type_ = H5Type::f64;
  std::vector<std::uint64_t> row_;
  std::uint64_t rows_ = 0;
  std::string file_;
};

class H5File {
 public:
  // Creates (or truncates) the file.
  explicit H5File(const std::string& path);
  const std::string& path() const { return path_; }
  H5Id root() const { return file_.id(); }
  // Everything written so far reaches the file: a run that stops after it
  // leaves a file that reads up to here.
  void flush();
  void close();

  H5Handle group(H5Id where, const std::string& name);
  // Attributes of an object: a string, a list of strings, numbers.
  void attr(H5Id obj, const std::string& name, std::string_view value);
  void attr(H5Id obj, const std::string& name, const std::vector<std::string>& values);
  void attr(H5Id obj, const std::string& name, double value);
  void attr(H5Id obj, const std::string& name, long long value);
  // A fixed dataset: a string, or an array of the given shape.
  void text(H5Id where, const std::string& name, std::string_view value);
  void array(H5Id where, const std::string& name, H5Type type, std::vector<std::uint64_t> shape,
             const void* data);
  [[noreturn]] void fail(const std::string& what) const;

 private:
  std::string path_;
  H5Handle file_;
};

}  // namespace nlf
