// Light 1-based views into the fixed stores. A view owns nothing: it is a
// pointer and its extents, named after the table it shows. Indices are
// checked in builds without NDEBUG (the test and sanitizer builds).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

namespace nlf {

template <class T>
struct Vec {
  T* p = nullptr;
  int n = 0;

  Vec() = default;
  Vec(T* data, int len) : p(data), n(len) {}

  T& operator()(int i) const {
    assert(i >= 1 && i <= n);
    return p[i - 1];
  }
  T* data() const { return p; }
  int size() const { return n; }
  // The sub-vector of `len` values starting at position `first`.
  Vec sub(int first, int len) const {
    assert(first >= 1 && len >= 0 && first - 1 + len <= n);
    return Vec(p + (first - 1), len);
  }
  void fill(T v, int count) const {
    assert(count >= 0 && count <= n);
    for (int i = 0; i < count; ++i) p[i] = v;
  }
  void fill(T v) const { fill(v, n); }
};

// Column-major matrix: the first index runs fastest.
template <class T>
struct Mat {
  T* p = nullptr;
  int ld = 0;    // leading dimension (rows allocated)
  int cols = 0;

  Mat() = default;
  Mat(T* data, int rows, int ncols) : p(data), ld(rows), cols(ncols) {}

  T& operator()(int i, int j) const {
    assert(i >= 1 && i <= ld && j >= 1 && j <= cols);
    return p[(i - 1) + static_cast<std::ptrdiff_t>(j - 1) * ld];
  }
  Vec<T> col(int j) const {
    assert(j >= 1 && j <= cols);
    return Vec<T>(p + static_cast<std::ptrdiff_t>(j - 1) * ld, ld);
  }
  T* data() const { return p; }
  int size() const { return ld * cols; }
  void fill(T v) const {
    for (int i = 0, n = ld * cols; i < n; ++i) p[i] = v;
  }
};

using RVec = Vec<double>;
using IVec = Vec<std::int32_t>;
using RMat = Mat<double>;
using IMat = Mat<std::int32_t>;

}  // namespace nlf
