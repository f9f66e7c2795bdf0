#include "model/restart_read.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <string>

#include "io/stop.h"
#include "model/value_rules.h"
#include "storage/restart_file.h"

namespace nlf {

namespace {

constexpr int NMP = 3 * NSEG + 3;  // point freedoms of a member
constexpr int TABLE = 10;          // integers in the driver's table

// The record just read holds a value that does not fit this model.
void check(RecordFile& in, bool ok, const std::string& what) {
  if (ok) return;
  throw FileError(in.name() + ": record " + std::to_string(in.record_number() - 1) + ": " + what +
                  " does not fit the sizes of this model");
}

// The record just read gives a member, joint or spring of the model (one of
// the first NM, NJ or NK slots) a joint, section or equation that the model
// does not have.
[[noreturn]] void refuse_used(RecordFile& in, const std::string& what) {
  throw FileError(in.name() + ": record " + std::to_string(in.record_number() - 1) + ": " + what);
}

bool within(std::int32_t v, int hi) { return v >= 0 && v <= hi; }
bool between(std::int32_t v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

int load_state(RecordFile& in, Model& md, FibreStore& fs) {
  using i32 = std::int32_t;
  const Sizes& sz = md.sz;
  assert(sz.NMP() == NMP);

  i32 NK, NJ, NM, MBAND, step, MAXIT, MINIT, NEQ;
  double E, E2, E3;
  in.read(NK, NJ, NM, MBAND, step, E, E2, E3, MAXIT, MINIT, NEQ);
  check(in,
        within(NK, sz.MUMR) && within(NJ, sz.MUMJ) && within(NM, sz.MUMM) &&
            within(NEQ, sz.NEQX()) && within(MBAND, sz.MBAND),
        "a count");
  // The values that cards set are held to the cards' rules.
  for (const ValueFault& f : {last_step_fault(step), iteration_limits_fault(MAXIT, MINIT), material_fault(E, E2, E3)})
    if (f) throw FileError(in.name() + ": record 2: the saved run " + f.detail);
  md.NK = NK;
  md.NJ = NJ;
  md.NM = NM;
  md.MBAND = MBAND;
  md.E = E;
  md.E2 = E2;
  md.E3 = E3;
  md.MAXIT = MAXIT;
  md.MINIT = MINIT;
  md.NEQ = NEQ;

  for (int m = 1; m <= sz.MUMM; ++m) {
    in.read(md.IJ(m, 1), md.IJ(m, 2), md.ISEC(m), md.SYM(m), md.EYM(m), md.MC6(m), md.MGEO(m));
    check(in, within(md.IJ(m, 1), sz.MUMJ) && within(md.IJ(m, 2), sz.MUMJ) && within(md.ISEC(m), sz.MUMS),
          "a member's joint or section");
    // The members of the model join two of its joints and have a section.
    if (m <= NM && !(between(md.IJ(m, 1), 1, NJ) && between(md.IJ(m, 2), 1, NJ) && md.ISEC(m) >= 1))
      refuse_used(in, "member " + std::to_string(m) + " joins joints " + std::to_string(md.IJ(m, 1)) + " and " +
                          std::to_string(md.IJ(m, 2)) + " with section " + std::to_string(md.ISEC(m)) +
                          ", but the model has joints 1 to " + std::to_string(NJ) + " and sections 1 to " +
                          std::to_string(sz.MUMS));
    double xy[2 * NPT];
    in.read_reals(xy, 2 * NPT);
    for (int k = 1; k <= NPT; ++k) {
      md.XM(m, k) = xy[2 * k - 2];
      md.YM(m, k) = xy[2 * k - 1];
    }
    for (int k = 1; k <= NMP; ++k) in.read(md.DPSTEP(k, m));
  }

  for (int j = 1; j <= sz.MUMJ; ++j)
    in.read(md.XJ(j), md.YJ(j), md.PLOAD(md.pat(j, 1)), md.PLOAD(md.pat(j, 2)),
            md.PLOAD(md.pat(j, 3)), md.JNO(j));

  for (int i = 1; i <= sz.NEQX(); ++i) {
    in.read(md.DISP(i), md.IEQ(i));
    check(in, within(md.IEQ(i), sz.NEQX()), "an equation number");
    // Every freedom of a joint of the model has an equation.
    if (i <= 3 * NJ && md.IEQ(i) < 1)
      refuse_used(in, "joint " + std::to_string((i + 2) / 3) + " has the equation number " + std::to_string(md.IEQ(i)) +
                          " for a freedom, but the equations are numbered from 1");
  }

  for (int s = 1; s <= sz.MUMS; ++s) {
    in.read(md.SY(s));
    for (int f = 1; f <= sz.MUMT; ++f) in.read(md.AREA(s, f), md.ZF(s, f));
  }

  // The driver's table: its switch belongs to the step that was saved and is
  // set afresh by the continued run.
  i32 table[TABLE];
  in.read_ints(table, TABLE);
  const int announced = table[1];
  check(in, announced == 0 || (announced >= kGroupsAnnounced && announced <= kGroupsAnnounced + 3),
        "the announcement of the optional groups");

  for (int n = 1; n <= MAXJOINTNO; ++n) {
    in.read(md.JMAP[n]);
    check(in, within(md.JMAP[n], sz.MUMJ), "a joint index");
  }

  for (int k = 1; k <= sz.MUMR; ++k) {
    in.read(md.KJ(k), md.SPF(k, 1), md.SPF(k, 2), md.SPF(k, 3), md.KF(k, 1), md.KF(k, 2),
            md.KF(k, 3));
    check(in, within(md.KJ(k), sz.MUMJ), "a spring joint");
    if (k <= NK && !between(md.KJ(k), 1, NJ))
      refuse_used(in, "joint spring " + std::to_string(k) + " is at joint " + std::to_string(md.KJ(k)) +
                          ", but the model has joints 1 to " + std::to_string(NJ));
  }

  fs.load(in, sz.MUMM);

  for (int m = 1; m <= sz.MUMM; ++m) {
    double r[1 + NMP];
    in.read_reals(r, 1 + NMP);
    md.MC7(m) = r[0];
    for (int k = 1; k <= NMP; ++k) md.DPRUN(k, m) = r[k];
  }

  // The optional groups, each announced by its mark: the residual
  // stresses and the member loads, when the saved run had them.
  const auto more = [&](long record) {
    return FileError(in.name() + ": record " + std::to_string(record) + ": more records than this model expects");
  };
  bool residual_read = false, loads_read = false;
  while (!in.at_end()) {
    const long first = in.record_number();
    i32 mark = 0, a = 0, b = 0, c = 0;
    try {
      in.read(mark, a, b, c);
    } catch (const FileError&) {
      throw more(first);
    }
    if (mark == kResidualMark && !residual_read && !loads_read) {
      const i32 with = a, subs = b, nm = c;
      check(in, subs == kSubFibres && nm == md.NM && with >= 1 && with <= sz.MUMS, "the header of the residual stresses");
      for (int n = 0; n < with; ++n) {
        SectionResidual r;
        int s = 0;
        read_residual(in, s, r);
        check(in, s >= 1 && s <= sz.MUMS && r.bundles >= 0 && r.bundles <= kMaxBundles, "a residual section");
        for (int bd : r.bundle) check(in, bd >= -1 && bd < r.bundles, "a bundle");
        (*md.RESID)[static_cast<std::size_t>(s)] = r;
      }
      fs.load_residual(in, md.NM, sz.MUMM);
      residual_read = true;
    } else if (mark == kMemberLoadMark && !loads_read && md.MLOADS != nullptr) {
      check(in, a == md.NM && b == 4 && c == 0, "the header of the member loads");
      for (int m = 1; m <= md.NM; ++m) {
        MemberLoad q;
        in.read(q.gx, q.gy, q.along, q.across);
        check(in, std::isfinite(q.gx) && std::isfinite(q.gy) && std::isfinite(q.along) && std::isfinite(q.across),
              "a member load");
        md.MLOADS->total[static_cast<std::size_t>(m - 1)] = q;
      }
      md.MLOADS->any = true;
      loads_read = true;
    } else {
      throw more(first);
    }
  }

  if (!in.at_end()) throw more(in.record_number());
  if (announced != 0) {
    const int want = announced - kGroupsAnnounced;
    const bool residual_wanted = (want & kResidualGroup) != 0, loads_wanted = (want & kMemberLoadGroup) != 0;
    const char* missing = residual_wanted && !residual_read ? "residual stresses"
                          : loads_wanted && !loads_read     ? "member loads"
                                                            : nullptr;
    if (missing != nullptr)
      throw FileError(in.name() + ": record " + std::to_string(in.record_number()) + ": the file ends without the " +
                      missing + " that its record 7 announces (a file cut short?)");
    if (residual_read != residual_wanted || loads_read != loads_wanted)
      throw FileError(in.name() + ": record 7: the file holds " + (residual_read ? "residual stresses" : "member loads") +
                      " that its record 7 does not announce");
  }
  return step;
}

}  // namespace nlf
