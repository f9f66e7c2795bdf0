// The sparse symmetric eigenproblem of the buckling analysis,
//   KG phi = mu K phi,   mu = -1 / alpha  (so that (K + alpha KG) phi = 0),
// with K positive definite: K is factorised once (a sparse LDL^T in a
// fill-reducing order) and a Lanczos iteration works on the standard form
// C^-1 KG C^-T of K = C C^T. The modes come out K-orthonormal
// (phi_i^T K phi_j = delta_ij). The factorisation also solves K u = f.
#pragma once

#include <memory>
#include <vector>

namespace nlf {

// One entry of a symmetric matrix (0-based); entries above the diagonal are
// passed over, repeated entries summed.
struct MatrixEntry {
  int i, j;
  double v;
};

struct EigenPair {
  double mu = 0;
  std::vector<double> phi;
};

class BucklingEigen {
 public:
  BucklingEigen();
  ~BucklingEigen();
  BucklingEigen(const BucklingEigen&) = delete;
  BucklingEigen& operator=(const BucklingEigen&) = delete;

  // Factorises K of order n. False when K is not positive definite: a pivot
  // that is not positive, or one below 1e-11 of its diagonal entry (a
  // mechanism, up to rounding).
  bool factor(int n, const std::vector<MatrixEntry>& K);
  int size() const { return n_; }
  // b becomes K^-1 b.
  void solve(std::vector<double>& b) const;
  // Up to `count` eigenpairs of KG phi = mu K phi at one end of the
  // spectrum: the most negative mu (lowest) or the most positive, in that
  // order. `iterations` receives the restarts the solver took.
  std::vector<EigenPair> extreme(const std::vector<MatrixEntry>& KG, int count, bool lowest, int& iterations) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int n_ = 0;
};

}  // namespace nlf
