#include "output/h5_file.h"

#include <hdf5.h>

#include <array>
#include <type_traits>
#include <utility>

#include "io/stop.h"

namespace nlf {

static_assert(std::is_same_v<H5Id, hid_t>, "H5Id must be hid_t");

namespace {

hid_t native(H5Type t) {
  switch (t) {
    case H5Type::f64: return H5T_NATIVE_DOUBLE;
    case H5Type::i32: return H5T_NATIVE_INT32;
    case H5Type::i8: return H5T_NATIVE_INT8;
  }
  return H5T_NATIVE_DOUBLE;
}

// Types and spaces of one call, closed on the way out.
struct Temp {
  hid_t id;
  herr_t (*close)(hid_t);
  ~Temp() {
    if (id >= 0) close(id);
  }
};

Temp text_type() {
  Temp t{H5Tcopy(H5T_C_S1), H5Tclose};
  H5Tset_size(t.id, H5T_VARIABLE);
  H5Tset_cset(t.id, H5T_CSET_UTF8);
  return t;
}

// An attribute written again replaces the one before.
void drop_attr(hid_t obj, const std::string& name) {
  if (H5Aexists(obj, name.c_str()) > 0) H5Adelete(obj, name.c_str());
}

}  // namespace

H5Handle& H5Handle::operator=(H5Handle&& o) noexcept {
  if (this != &o) {
    close();
    id_ = std::exchange(o.id_, -1);
    kind_ = o.kind_;
  }
  return *this;
}

void H5Handle::close() noexcept {
  if (id_ < 0) return;
  switch (kind_) {
    case Kind::file: H5Fclose(id_); break;
    case Kind::group: H5Gclose(id_); break;
    case Kind::dataset: H5Dclose(id_); break;
    case Kind::none: break;
  }
  id_ = -1;
}

void h5_quiet_errors() { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); }

H5File::H5File(const std::string& path) : path_(path) {
  h5_quiet_errors();
  const Temp fapl{H5Pcreate(H5P_FILE_ACCESS), H5Pclose};
  // The file is closed whole even while a dataset is still open.
  H5Pset_fclose_degree(fapl.id, H5F_CLOSE_STRONG);
  file_ = H5Handle(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, fapl.id), H5Handle::Kind::file);
  if (!file_) fail("cannot create the file");
}

void H5File::fail(const std::string& what) const { throw FileError(path_ + ": " + what); }

void H5File::flush() {
  if (file_ && H5Fflush(file_.id(), H5F_SCOPE_LOCAL) < 0) fail("cannot write the file");
}

void H5File::close() {
  flush();
  file_.close();
}

H5Handle H5File::group(H5Id where, const std::string& name) {
  H5Handle g(H5Gcreate2(where, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Handle::Kind::group);
  if (!g) fail("cannot create the group " + name);
  return g;
}

void H5File::attr(H5Id obj, const std::string& name, std::string_view value) {
  const std::string v(value);
  const char* p = v.c_str();
  const Temp type = text_type();
  const Temp space{H5Screate(H5S_SCALAR), H5Sclose};
  drop_attr(obj, name);
  const Temp a{H5Acreate2(obj, name.c_str(), type.id, space.id, H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  if (a.id < 0 || H5Awrite(a.id, type.id, &p) < 0) fail("cannot write the attribute " + name);
}

void H5File::attr(H5Id obj, const std::string& name, const std::vector<std::string>& values) {
  std::vector<const char*> p;
  for (const std::string& v : values) p.push_back(v.c_str());
  const hsize_t n = p.size();
  const Temp type = text_type();
  const Temp space{H5Screate_simple(1, &n, nullptr), H5Sclose};
  drop_attr(obj, name);
  const Temp a{H5Acreate2(obj, name.c_str(), type.id, space.id, H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  if (a.id < 0 || H5Awrite(a.id, type.id, p.data()) < 0) fail("cannot write the attribute " + name);
}

void H5File::attr(H5Id obj, const std::string& name, double value) {
  const Temp space{H5Screate(H5S_SCALAR), H5Sclose};
  drop_attr(obj, name);
  const Temp a{H5Acreate2(obj, name.c_str(), H5T_IEEE_F64LE, space.id, H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  if (a.id < 0 || H5Awrite(a.id, H5T_NATIVE_DOUBLE, &value) < 0) fail("cannot write the attribute " + name);
}

void H5File::attr(H5Id obj, const std::string& name, long long value) {
  const Temp space{H5Screate(H5S_SCALAR), H5Sclose};
  drop_attr(obj, name);
  const Temp a{H5Acreate2(obj, name.c_str(), H5T_STD_I64LE, space.id, H5P_DEFAULT, H5P_DEFAULT), H5Aclose};
  if (a.id < 0 || H5Awrite(a.id, H5T_NATIVE_LLONG, &value) < 0) fail("cannot write the attribute " + name);
}

void H5File::text(H5Id where, const std::string& name, std::string_view value) {
  const std::string v(value);
  const char* p = v.c_str();
  const Temp type = text_type();
  const Temp space{H5Screate(H5S_SCALAR), H5Sclose};
  const Temp d{H5Dcreate2(where, name.c_str(), type.id, space.id, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
               H5Dclose};
  if (d.id < 0 || H5Dwrite(d.id, type.id, H5S_ALL, H5S_ALL, H5P_DEFAULT, &p) < 0) fail("cannot write " + name);
}

void H5File::array(H5Id where, const std::string& name, H5Type type, std::vector<std::uint64_t> shape,
                   const void* data) {
  std::vector<hsize_t> dims(shape.begin(), shape.end());
  const Temp space{H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose};
  const Temp d{H5Dcreate2(where, name.c_str(), native(type), space.id, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
               H5Dclose};
  bool empty = false;
  for (hsize_t n : dims) empty = empty || n == 0;
  if (d.id < 0 || (!empty && H5Dwrite(d.id, native(type), H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0))
    fail("cannot write " + name);
}

H5Rows::H5Rows(H5Id where, const std::string& name, H5Type type, std::vector<std::uint64_t> row, int deflate,
               const std::string& file)
    : type_(type), row_(std::move(row)), file_(file) {
  // A chunk is one row, or 256 of a short row.
  std::uint64_t width = 1;
  for (std::uint64_t n : row_) width *= n;
  std::vector<hsize_t> dims{0}, max{H5S_UNLIMITED}, chunk{width <= 64 ? 256u : 1u};
  for (std::uint64_t n : row_) {
    dims.push_back(n);
    max.push_back(n > 0 ? n : H5S_UNLIMITED);
    chunk.push_back(n > 0 ? n : 1);
  }
  const int rank = static_cast<int>(dims.size());
  const Temp space{H5Screate_simple(rank, dims.data(), max.data()), H5Sclose};
  const Temp dcpl{H5Pcreate(H5P_DATASET_CREATE), H5Pclose};
  H5Pset_chunk(dcpl.id, rank, chunk.data());
  if (deflate > 0) {
    H5Pset_shuffle(dcpl.id);
    H5Pset_deflate(dcpl.id, static_cast<unsigned>(deflate));
  }
  set_ = H5Handle(H5Dcreate2(where, name.c_str(), native(type), space.id, H5P_DEFAULT, dcpl.id, H5P_DEFAULT),
                  H5Handle::Kind::dataset);
  if (!set_) throw FileError(file_ + ": cannot create the dataset " + name);
}

void H5Rows::append(const void* data) {
  // At most four dimensions (the fibre tables): nothing allocated per step.
  std::array<hsize_t, 5> dims{rows_ + 1}, start{rows_}, count{1};
  const std::size_t rank = row_.size() + 1;
  if (rank > dims.size()) throw FileError(file_ + ": a table of more than four dimensions");
  for (std::size_t i = 1; i < rank; ++i) {
    dims[i] = row_[i - 1];
    start[i] = 0;
    count[i] = row_[i - 1];
  }
  bool ok = H5Dset_extent(set_.id(), dims.data()) >= 0;
  bool empty = false;
  for (std::uint64_t n : row_) empty = empty || n == 0;
  if (ok && empty) {
    ++rows_;
    return;
  }
  const Temp file_space{H5Dget_space(set_.id()), H5Sclose};
  const Temp mem_space{H5Screate_simple(static_cast<int>(rank), count.data(), nullptr), H5Sclose};
  ok = ok && file_space.id >= 0 && mem_space.id >= 0 &&
       H5Sselect_hyperslab(file_space.id, H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr) >= 0 &&
       H5Dwrite(set_.id(), native(type_), mem_space.id, file_space.id, H5P_DEFAULT, data) >= 0;
  if (!ok) throw FileError(file_ + ": cannot write a step");
  ++rows_;
}

}  // namespace nlf
