#include "solver/buckling_eigen.h"

#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <Spectra/MatOp/SparseSymMatProd.h>
#include <Spectra/SymGEigsSolver.h>
#include <algorithm>

namespace nlf {

using SpMat = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

struct BucklingEigen::Impl {
  Eigen::SimplicialLDLT<SpMat, Eigen::Lower> ldlt;
  Eigen::VectorXd root;  // sqrt(D)
};

namespace {

SpMat lower_matrix(int n, const std::vector<MatrixEntry>& e) {
  std::vector<Eigen::Triplet<double, int>> t;
  t.reserve(e.size());
  for (const MatrixEntry& x : e)
    if (x.i >= x.j) t.emplace_back(x.i, x.j, x.v);
  SpMat A(n, n);
  A.setFromTriplets(t.begin(), t.end());
  return A;
}

// K = C C^T with C = P^T L D^(1/2): the two triangular solves that Spectra's
// Cholesky mode asks for.
class FactorOp {
 public:
  using Scalar = double;
  FactorOp(const Eigen::SimplicialLDLT<SpMat, Eigen::Lower>& f, const Eigen::VectorXd& root)
      : f_(f), root_(root), n_(root.size()) {}
  Eigen::Index rows() const { return n_; }
  Eigen::Index cols() const { return n_; }
  // y = C^-1 x = D^(-1/2) L^-1 P x
  void lower_triangular_solve(const double* x_in, double* y_out) const {
    Eigen::Map<const Eigen::VectorXd> x(x_in, n_);
    Eigen::Map<Eigen::VectorXd> y(y_out, n_);
    y = f_.permutationP() * x;
    f_.matrixL().solveInPlace(y);
    y.array() /= root_.array();
  }
  // y = C^-T x = P^T L^-T D^(-1/2) x
  void upper_triangular_solve(const double* x_in, double* y_out) const {
    Eigen::Map<const Eigen::VectorXd> x(x_in, n_);
    Eigen::Map<Eigen::VectorXd> y(y_out, n_);
    Eigen::VectorXd t = x.array() / root_.array();
    f_.matrixU().solveInPlace(t);
    y = f_.permutationPinv() * t;
  }

 private:
  const Eigen::SimplicialLDLT<SpMat, Eigen::Lower>& f_;
  const Eigen::VectorXd& root_;
  Eigen::Index n_;
};

}  // namespace

BucklingEigen::BucklingEigen() : impl_(std::make_unique<Impl>()) {}
BucklingEigen::~BucklingEigen() = default;

bool BucklingEigen::factor(int n, const std::vector<MatrixEntry>& K) {
  n_ = n;
  if (n <= 0) return true;
  const SpMat A = lower_matrix(n, K);
  impl_->ldlt.compute(A);
  if (impl_->ldlt.info() != Eigen::Success) return false;
  const Eigen::VectorXd d = impl_->ldlt.vectorD();
  // The diagonal of P K P^T beside each pivot.
  const Eigen::VectorXd diag = A.diagonal();
  const Eigen::VectorXd pd = impl_->ldlt.permutationP() * diag;
  for (int i = 0; i < n; ++i)
    if (!(d(i) > 0.0) || !(d(i) > 1e-11 * pd(i))) return false;
  impl_->root = d.cwiseSqrt();
  return true;
}

void BucklingEigen::solve(std::vector<double>& b) const {
  if (n_ <= 0) return;
  Eigen::Map<Eigen::VectorXd> x(b.data(), n_);
  const Eigen::VectorXd r = impl_->ldlt.solve(Eigen::VectorXd(x));
  x = r;
}

std::vector<EigenPair> BucklingEigen::extreme(const std::vector<MatrixEntry>& KG, int count, bool lowest,
                                              int& iterations) const {
  std::vector<EigenPair> out;
  iterations = 0;
  const int nev = std::min(count, n_ - 1);
  if (nev < 1) return out;
  const SpMat G = lower_matrix(n_, KG);
  Spectra::SparseSymMatProd<double, Eigen::Lower> op(G);
  FactorOp bop(impl_->ldlt, impl_->root);
  const int ncv = std::min(n_, std::max(2 * nev + 1, 20));
  Spectra::SymGEigsSolver<Spectra::SparseSymMatProd<double, Eigen::Lower>, FactorOp, Spectra::GEigsMode::Cholesky>
      eig(op, bop, nev, ncv);
  eig.init();
  const Spectra::SortRule rule = lowest ? Spectra::SortRule::SmallestAlge : Spectra::SortRule::LargestAlge;
  const int got = static_cast<int>(eig.compute(rule, 1000, 1e-12, rule));
  iterations = static_cast<int>(eig.num_iterations());
  if (got < 1) return out;
  const Eigen::VectorXd mu = eig.eigenvalues();
  const Eigen::MatrixXd phi = eig.eigenvectors();
  for (int k = 0; k < static_cast<int>(mu.size()); ++k) {
    EigenPair p;
    p.mu = mu(k);
    p.phi.assign(phi.col(k).data(), phi.col(k).data() + n_);
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace nlf
