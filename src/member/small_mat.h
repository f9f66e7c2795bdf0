// Fixed-size matrices for the per-member work: stack storage, 1-based
// indices, column-major (first index fastest), so that a 12 x 6 matrix is
// laid out exactly as the recovery table stores it.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>

namespace nlf {

template <std::size_t R, std::size_t C>
struct SMat {
  std::array<double, R * C> a{};

  static constexpr int rows = static_cast<int>(R);
  static constexpr int cols = static_cast<int>(C);

  double& operator()(int i, int j) {
    assert(i >= 1 && i <= rows && j >= 1 && j <= cols);
    return a[(i - 1) + (j - 1) * R];
  }
  double operator()(int i, int j) const {
    assert(i >= 1 && i <= rows && j >= 1 && j <= cols);
    return a[(i - 1) + (j - 1) * R];
  }
  double* data() { return a.data(); }
  const double* data() const { return a.data(); }
  void clear() { a.fill(0.0); }
};

using Mat6 = SMat<6, 6>;
using Vec6 = std::array<double, 6>;

// C = A * B
template <std::size_t R, std::size_t K, std::size_t C>
inline void mat_mul(const SMat<R, K>& A, const SMat<K, C>& B, SMat<R, C>& out) {
  for (std::size_t j = 0; j < C; ++j) {
    for (std::size_t i = 0; i < R; ++i) out.a[i + j * R] = 0.0;
    for (std::size_t k = 0; k < K; ++k) {
      const double b = B.a[k + j * K];
      for (std::size_t i = 0; i < R; ++i) out.a[i + j * R] += A.a[i + k * R] * b;
    }
  }
}

// C = A^T * B
template <std::size_t K, std::size_t R, std::size_t C>
inline void mat_mul_tn(const SMat<K, R>& A, const SMat<K, C>& B, SMat<R, C>& out) {
  for (std::size_t j = 0; j < C; ++j)
    for (std::size_t i = 0; i < R; ++i) {
      double s = 0.0;
      for (std::size_t k = 0; k < K; ++k) s += A.a[k + i * K] * B.a[k + j * K];
      out.a[i + j * R] = s;
    }
}

// y = A^T * x
template <std::size_t K, std::size_t R>
inline void mat_vec_tn(const SMat<K, R>& A, const std::array<double, K>& x,
                       std::array<double, R>& y) {
  for (std::size_t i = 0; i < R; ++i) {
    double s = 0.0;
    for (std::size_t k = 0; k < K; ++k) s += A.a[k + i * K] * x[k];
    y[i] = s;
  }
}

// y = A * x
template <std::size_t R, std::size_t K>
inline void mat_vec(const SMat<R, K>& A, const std::array<double, K>& x,
                    std::array<double, R>& y) {
  for (std::size_t i = 0; i < R; ++i) y[i] = 0.0;
  for (std::size_t k = 0; k < K; ++k) {
    const double b = x[k];
    for (std::size_t i = 0; i < R; ++i) y[i] += A.a[i + k * R] * b;
  }
}

}  // namespace nlf
