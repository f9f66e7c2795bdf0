#include "storage/restart_file.h"

#include <cassert>
#include <cstdint>

namespace nlf {

void write_residual(RecordFile& out, int s, const SectionResidual& r) {
  using i32 = std::int32_t;
  out.write(i32{s}, i32{r.bundles}, r.X[0], r.X[1], r.X[2], r.X[3]);
  out.write_reals(r.sig0.data(), NFIB);
  out.write_ints(r.bundle.data(), NFIB);
  for (int b = 0; b < kMaxBundles; ++b) {
    out.write_reals(r.share[static_cast<std::size_t>(b)].data(), kSubFibres);
    out.write_reals(r.sub_sig0[static_cast<std::size_t>(b)].data(), kSubFibres);
  }
}

void read_residual(RecordFile& in, int& s, SectionResidual& r) {
  std::int32_t sec = 0, bundles = 0;
  in.read(sec, bundles, r.X[0], r.X[1], r.X[2], r.X[3]);
  s = sec;
  r.bundles = bundles;
  r.present = true;
  in.read_reals(r.sig0.data(), NFIB);
  in.read_ints(r.bundle.data(), NFIB);
  for (int b = 0; b < kMaxBundles; ++b) {
    in.read_reals(r.share[static_cast<std::size_t>(b)].data(), kSubFibres);
    in.read_reals(r.sub_sig0[static_cast<std::size_t>(b)].data(), kSubFibres);
  }
}

void save_state(RecordFile& out, const Model& md, FibreStore& fs, int last_step, int detail) {
  using i32 = std::int32_t;
  const Sizes& sz = md.sz;
  constexpr int NMP = 3 * NSEG + 3;  // point freedoms of a member
  assert(sz.NMP() == NMP);

  out.rewind();

  out.write(i32{sz.MUMM}, i32{sz.MUMJ}, i32{sz.MUMP}, i32{sz.MUMT}, i32{sz.MUMR}, i32{sz.MUMS},
            i32{sz.MBAND}, i32{sz.MUMW});
  out.write(i32{md.NK}, i32{md.NJ}, i32{md.NM}, i32{md.MBAND}, i32{last_step}, md.E, md.E2, md.E3,
            i32{md.MAXIT}, i32{md.MINIT}, i32{md.NEQ});

  for (int m = 1; m <= sz.MUMM; ++m) {
    out.write(md.IJ(m, 1), md.IJ(m, 2), md.ISEC(m), md.SYM(m), md.EYM(m), md.MC6(m), md.MGEO(m));
    double xy[2 * NPT];
    for (int k = 1; k <= NPT; ++k) {
      xy[2 * k - 2] = md.XM(m, k);
      xy[2 * k - 1] = md.YM(m, k);
    }
    out.write_reals(xy, 2 * NPT);
    for (int k = 1; k <= NMP; ++k) out.write(md.DPSTEP(k, m));
  }

  for (int j = 1; j <= sz.MUMJ; ++j)
    out.write(md.XJ(j), md.YJ(j), md.PLOAD(md.pat(j, 1)), md.PLOAD(md.pat(j, 2)),
              md.PLOAD(md.pat(j, 3)), md.JNO(j));

  for (int i = 1; i <= sz.NEQX(); ++i) out.write(md.DISP(i), md.IEQ(i));

  for (int s = 1; s <= sz.MUMS; ++s) {
    out.write(md.SY(s));
    for (int f = 1; f <= sz.MUMT; ++f) out.write(md.AREA(s, f), md.ZF(s, f));
  }

  // The optional record groups at the end are announced here, so that a
  // file cut where one of them begins is found; a file without them keeps
  // the 0 that earlier versions wrote.
  int with = 0;
  for (int s = 1; s <= sz.MUMS; ++s) with += md.residual(s) != nullptr ? 1 : 0;
  const bool residual = with > 0 && fs.has_residual();
  const bool loads = md.MLOADS != nullptr && md.MLOADS->any;
  i32 table[RESTART_TABLE] = {detail};
  if (residual || loads) table[1] = kGroupsAnnounced + (residual ? kResidualGroup : 0) + (loads ? kMemberLoadGroup : 0);
  out.write_ints(table, RESTART_TABLE);

  for (int n = 1; n <= MAXJOINTNO; ++n) out.write(md.JMAP[n]);

  for (int k = 1; k <= sz.MUMR; ++k)
    out.write(md.KJ(k), md.SPF(k, 1), md.SPF(k, 2), md.SPF(k, 3), md.KF(k, 1), md.KF(k, 2),
              md.KF(k, 3));

  fs.save(out, sz.MUMM, md.NM);

  // The distributed loads and the run's point increments: the one-sided
  // springs and the total member displacements of the next run start from
  // them.
  for (int m = 1; m <= sz.MUMM; ++m) {
    double r[1 + NMP];
    r[0] = md.MC7(m);
    for (int k = 1; k <= NMP; ++k) r[k] = md.DPRUN(k, m);
    out.write_reals(r, 1 + NMP);
  }

  // Residual stresses, only when some section carries them (a file without
  // them reads as before): a mark with the number of such sections, then
  // each section's pattern and what it gives its strips and sub-fibres, then
  // the sub-fibres of every member.
  if (residual) {
    out.write(i32{kResidualMark}, i32{with}, i32{kSubFibres}, i32{md.NM});
    for (int s = 1; s <= sz.MUMS; ++s)
      if (const SectionResidual* r = md.residual(s)) write_residual(out, s, *r);
    fs.save_residual(out, md.NM);
  }

  // Member loads of the load history that the saved run applied, only when
  // some member carries one: a mark, NM and the four values a member, then
  // per member its total load.
  if (loads) {
    out.write(i32{kMemberLoadMark}, i32{md.NM}, i32{4}, i32{0});
    for (int m = 1; m <= md.NM; ++m) {
      const MemberLoad& q = md.MLOADS->total[static_cast<std::size_t>(m - 1)];
      out.write(q.gx, q.gy, q.along, q.across);
    }
  }

  out.end_file();
}

}  // namespace nlf
