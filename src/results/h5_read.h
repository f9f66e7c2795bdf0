// Reading a run's HDF5 results file (results.h5, docs/results-h5.md) for the
// companion programs: the key arrays whole, the big tables a step at a
// time. Every failure is a ResultError naming the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

// The results file of the run in `dir`, or an empty path when it has none.
std::filesystem::path h5_results(const std::filesystem::path& dir);

class H5Reader {
 public:
  explicit H5Reader(const std::filesystem::path& p);
  ~H5Reader();
  H5Reader(const H5Reader&) = delete;
  H5Reader& operator=(const H5Reader&) = delete;

  const std::string& name() const { return name_; }
  bool has(const std::string& path) const;
  // The shape of a dataset.
  std::vector<std::uint64_t> shape(const std::string& path) const;
  // A whole dataset as integers or doubles.
  std::vector<int> ints(const std::string& path) const;
  std::vector<double> reals(const std::string& path) const;
  // Row `row` of a dataset (its first index), as doubles or int8.
  void row(const std::string& path, std::uint64_t row, std::vector<double>& out) const;
  void row(const std::string& path, std::uint64_t row, std::vector<std::int8_t>& out) const;
  // A string dataset, a string attribute, a list of strings attribute.
  std::string text(const std::string& path) const;
  std::string text_attr(const std::string& path, const std::string& attr) const;
  std::vector<std::string> texts_attr(const std::string& path, const std::string& attr) const;
  // Members below a group, by name.
  std::vector<std::string> names(const std::string& group) const;

 private:
  [[noreturn]] void fail(const std::string& what) const;
  void read_row(const std::string& path, std::uint64_t row, std::int64_t type, void* out,
                std::size_t& count) const;
  std::string name_;
  std::int64_t file_ = -1;
};

}  // namespace nlf::results
