#include "store/bind.h"

#include <stdexcept>

namespace nlf {

void bind_model(Model& m, Stores& st, const Sizes& sz) {
  const Layout L = compute_layout(sz);
  if (L.ilast - 1 > static_cast<long long>(st.IWORK.size()) || L.rlast - 1 > static_cast<long long>(st.WORK.size()))
    throw std::logic_error("bind_model: layout does not fit the stores");
  m.sz = sz;
  std::int32_t* iw = st.IWORK.data();
  double* w = st.WORK.data();
  auto iv = [&](int k) { return IVec(iw + L.istart[k] - 1, static_cast<int>(L.ilen[k])); };
  auto rv = [&](int k) { return RVec(w + L.rstart[k] - 1, static_cast<int>(L.rlen[k])); };
  auto rm = [&](int k, int rows, int cols) { return RMat(w + L.rstart[k] - 1, rows, cols); };
  const int MUMM = sz.MUMM, MUMJ = sz.MUMJ, NEQX = sz.NEQX(), NMP = sz.NMP();

  m.KJ = iv(1);
  m.IEQ = iv(2);
  m.IJ = IMat(iw + L.istart[3] - 1, MUMM, 2);
  m.ISEC = iv(4);
  m.JNO = iv(5);
  m.LTYPE = iv(6);
  m.MGEO = iv(10);

  m.SPF = rm(1, sz.MUMR, 3);
  m.KF = rm(2, sz.MUMR, 3);
  m.Aband = w + L.rstart[3] - 1;
  m.R = rv(4);
  m.RCM = rv(5);
  m.RCV = rv(6);
  m.XJ = rv(7);
  m.YJ = rv(8);
  m.XM = rm(9, MUMM, 6);
  m.YM = rm(10, MUMM, 6);
  m.DISP = rv(11);
  m.DSTEP = rv(12);
  m.SOL = rm(13, NEQX, sz.NRHS);
  m.DFIRST = rv(14);
  m.DITER = rv(15);
  m.DPT = rm(16, NMP, MUMM);
  m.PLOAD = rv(17);
  m.UNB = rv(18);
  m.RHS = rm(19, NEQX, sz.NRHS);
  m.PDISP = rv(20);
  m.PFORCE = rv(21);
  m.AREA = rm(22, sz.MUMS, sz.MUMT);
  m.ZF = rm(23, sz.MUMS, sz.MUMT);
  st.residual.assign(static_cast<std::size_t>(sz.MUMS) + 1, SectionResidual{});
  m.RESID = &st.residual;
  st.member_loads.size(sz.MUMM);
  m.MLOADS = &st.member_loads;
  m.SYM = rv(25);
  m.EYM = rv(26);
  m.SY = rv(29);
  m.MC6 = rv(30);
  m.MC7 = rv(31);
  m.DPRUN = rm(33, NMP, MUMM);
  m.DPSTEP = rm(34, NMP, MUMM);
  m.MEMF = rm(35, MUMM, 6);
  m.W = rm(45, sz.MUMW, 7);
  (void)MUMJ;
}

}  // namespace nlf
