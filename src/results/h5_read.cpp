#include "results/h5_read.h"

#include <hdf5.h>

#include <array>
#include <type_traits>

namespace nlf::results {

static_assert(std::is_same_v<std::int64_t, hid_t>, "hid_t");

namespace {

struct Temp {
  hid_t id;
  herr_t (*close)(hid_t);
  ~Temp() {
    if (id >= 0) close(id);
  }
};

Temp vlen_text() {
  Temp t{H5Tcopy(H5T_C_S1), H5Tclose};
  H5Tset_size(t.id, H5T_VARIABLE);
  H5Tset_cset(t.id, H5T_CSET_UTF8);
  return t;
}

}  // namespace

std::filesystem::path h5_results(const std::filesystem::path& dir) {
  const std::filesystem::path p = dir / "results.h5";
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec) ? p : std::filesystem::path();
}

H5Reader::H5Reader(const std::filesystem::path& p) : name_(p.filename().string()) {
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  file_ = H5Fopen(p.string().c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  if (file_ < 0) fail("cannot be opened as an HDF5 file");
}

H5Reader::~H5Reader() {
  if (file_ >= 0) H5Fclose(file_);
}

void H5Reader::fail(const std::string& what) const { throw ResultError(name_ + ": " + what); }

bool H5Reader::has(const std::string& path) const {
  // Every link on the way must be there.
  std::size_t at = 0;
  while (true) {
    at = path.find('/', at + 1);
    const std::string part = path.substr(0, at);
    if (H5Lexists(file_, part.c_str(), H5P_DEFAULT) <= 0) return false;
    if (at == std::string::npos) return true;
  }
}

std::vector<std::uint64_t> H5Reader::shape(const std::string& path) const {
  const Temp d{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  if (d.id < 0) fail("no dataset " + path);
  const Temp s{H5Dget_space(d.id), H5Sclose};
  std::array<hsize_t, 8> dims{};
  const int rank = H5Sget_simple_extent_dims(s.id, dims.data(), nullptr);
  if (rank < 0 || rank > 8) fail("cannot read the shape of " + path);
  return std::vector<std::uint64_t>(dims.begin(), dims.begin() + rank);
}

namespace {

template <class T>
std::vector<T> whole(hid_t file, const std::string& path, hid_t type, bool& ok, std::size_t n) {
  std::vector<T> out(n);
  const Temp d{H5Dopen2(file, path.c_str(), H5P_DEFAULT), H5Dclose};
  ok = d.id >= 0 && (n == 0 || H5Dread(d.id, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.data()) >= 0);
  return out;
}

std::size_t count(const std::vector<std::uint64_t>& shape) {
  std::size_t n = 1;
  for (std::uint64_t k : shape) n *= static_cast<std::size_t>(k);
  return n;
}

}  // namespace

std::vector<int> H5Reader::ints(const std::string& path) const {
  bool ok = false;
  auto v = whole<int>(file_, path, H5T_NATIVE_INT, ok, count(shape(path)));
  if (!ok) fail("cannot read " + path);
  return v;
}

std::vector<double> H5Reader::reals(const std::string& path) const {
  bool ok = false;
  auto v = whole<double>(file_, path, H5T_NATIVE_DOUBLE, ok, count(shape(path)));
  if (!ok) fail("cannot read " + path);
  return v;
}

void H5Reader::read_row(const std::string& path, std::uint64_t row, std::int64_t type, void* out,
                        std::size_t& n) const {
  const Temp d{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  const Temp s{d.id >= 0 ? H5Dget_space(d.id) : -1, H5Sclose};
  std::array<hsize_t, 8> dims{}, start{}, cnt{};
  const int rank = s.id >= 0 ? H5Sget_simple_extent_dims(s.id, dims.data(), nullptr) : -1;
  if (rank < 1 || row >= dims[0]) fail("no row " + std::to_string(row) + " in " + path);
  start[0] = row;
  cnt[0] = 1;
  n = 1;
  for (int i = 1; i < rank; ++i) cnt[static_cast<std::size_t>(i)] = dims[static_cast<std::size_t>(i)], n *= dims[static_cast<std::size_t>(i)];
  if (out == nullptr) return;  // the size alone
  const Temp m{H5Screate_simple(rank, cnt.data(), nullptr), H5Sclose};
  if (H5Sselect_hyperslab(s.id, H5S_SELECT_SET, start.data(), nullptr, cnt.data(), nullptr) < 0 ||
      H5Dread(d.id, type, m.id, s.id, H5P_DEFAULT, out) < 0)
    fail("cannot read " + path);
}

void H5Reader::row(const std::string& path, std::uint64_t r, std::vector<double>& out) const {
  std::size_t n = 0;
  read_row(path, r, H5T_NATIVE_DOUBLE, nullptr, n);
  out.resize(n);
  read_row(path, r, H5T_NATIVE_DOUBLE, out.data(), n);
}

void H5Reader::row(const std::string& path, std::uint64_t r, std::vector<std::int8_t>& out) const {
  std::size_t n = 0;
  read_row(path, r, H5T_NATIVE_INT8, nullptr, n);
  out.resize(n);
  read_row(path, r, H5T_NATIVE_INT8, out.data(), n);
}

std::string H5Reader::text(const std::string& path) const {
  const Temp d{H5Dopen2(file_, path.c_str(), H5P_DEFAULT), H5Dclose};
  const Temp t = vlen_text();
  char* p = nullptr;
  if (d.id < 0 || H5Dread(d.id, t.id, H5S_ALL, H5S_ALL, H5P_DEFAULT, &p) < 0) fail("cannot read " + path);
  std::string s = p != nullptr ? p : "";
  H5free_memory(p);
  return s;
}

std::string H5Reader::text_attr(const std::string& path, const std::string& attr) const {
  const Temp a{H5Aopen_by_name(file_, path.c_str(), attr.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  const Temp t = vlen_text();
  char* p = nullptr;
  if (a.id < 0 || H5Aread(a.id, t.id, &p) < 0) fail("cannot read the attribute " + attr + " of " + path);
  std::string s = p != nullptr ? p : "";
  H5free_memory(p);
  return s;
}

std::vector<std::string> H5Reader::texts_attr(const std::string& path, const std::string& attr) const {
  const Temp a{H5Aopen_by_name(file_, path.c_str(), attr.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  const Temp s{a.id >= 0 ? H5Aget_space(a.id) : -1, H5Sclose};
  const hssize_t n = s.id >= 0 ? H5Sget_simple_extent_npoints(s.id) : -1;
  if (n < 0) fail("cannot read the attribute " + attr + " of " + path);
  std::vector<char*> p(static_cast<std::size_t>(n), nullptr);
  const Temp t = vlen_text();
  if (n > 0 && H5Aread(a.id, t.id, p.data()) < 0) fail("cannot read the attribute " + attr + " of " + path);
  std::vector<std::string> out;
  for (char* c : p) {
    out.emplace_back(c != nullptr ? c : "");
    H5free_memory(c);
  }
  return out;
}

std::vector<std::string> H5Reader::names(const std::string& group) const {
  std::vector<std::string> out;
  const Temp g{H5Gopen2(file_, group.c_str(), H5P_DEFAULT), H5Gclose};
  H5G_info_t info{};
  if (g.id < 0 || H5Gget_info(g.id, &info) < 0) fail("no group " + group);
  for (hsize_t i = 0; i < info.nlinks; ++i) {
    std::array<char, 256> name{};
    if (H5Lget_name_by_idx(g.id, ".", H5_INDEX_NAME, H5_ITER_INC, i, name.data(), name.size(), H5P_DEFAULT) >= 0)
      out.emplace_back(name.data());
  }
  return out;
}

}  // namespace nlf::results
