// The buckling analysis in the listing and in the mode file.
#include <string>

#include "io/format.h"
#include "run/buckling.h"

namespace nlf {

namespace {

const char* stiffness_name(const BucklingRequest& req) { return req.tangent ? "TANGENT" : "ELASTIC"; }

void write_listing(const Model& md, TextOut& out, const BucklingRequest& req, const BucklingOutcome& b, int done) {
  static const Format head(
      "(/,1X,'*** BUCKLING ANALYSIS ***',3X,'AFTER STEP',I6,3X,A7,' STIFFNESS',3X,'EQUATIONS',I8)");
  static const Format force("(1X,'LARGEST AXIAL FORCE OF THE PATTERN',1P,E14.5)");
  static const Format none("(1X,'THE PATTERN CAUSES NO AXIAL FORCE: NO CRITICAL LOAD')");
  static const Format flat("(1X,'NO MEMBER WITH AXIAL FORCE HAS ITS GEOMETRIC TERMS: NO CRITICAL LOAD')");
  static const Format found("(1X,'FACTORS FOUND',I4,' POSITIVE',I4,' NEGATIVE (ASKED',I4,A,')')");
  static const Format table("(/,1X,'  MODE',5X,'CRITICAL FACTOR')");
  static const Format row("(1X,I6,1P,E20.8)");
  static const Format mode_head("(/,1X,'MODE',I4,3X,'FACTOR',1P,E16.8,3X,'NORMALISED JOINT DISPLACEMENTS')");
  static const Format joint_head("(1X,'   JOINT',14X,'X',14X,'Y',14X,'R')");
  static const Format joint_row("(1X,I8,1P,3E15.6)");
  out.write(head, {done, stiffness_name(req), b.equations});
  out.write(force, {b.largest_force});
  if (b.largest_force == 0.0 || !b.geometric) {
    out.write(b.largest_force == 0.0 ? none : flat, {});
    return;
  }
  const int n = static_cast<int>(b.modes.size());
  out.write(found, {b.positive, n - b.positive, req.modes, req.negative ? " OF EACH SIGN" : " POSITIVE"});
  out.write(table, {});
  for (int k = 0; k < n; ++k) out.write(row, {k + 1, b.modes[k].factor});
  for (int k = 0; k < n; ++k) {
    out.write(mode_head, {k + 1, b.modes[k].factor});
    out.write(joint_head, {});
    const auto& v = b.modes[k].joint;
    for (int j = 1; j <= md.NJ; ++j) out.write(joint_row, {md.JNO(j), v[3 * j - 3], v[3 * j - 2], v[3 * j - 1]});
  }
}

void write_modes(const Model& md, TextOut& out, const BucklingRequest& req, const BucklingOutcome& b, int done,
                 int count) {
  static const Format head("(1X,'BUCKLING',I4,' AFTER STEP',I6,1X,A7,' MODES',I4,' JOINTS',I6,' MEMBERS',I6)");
  static const Format mode_head("(1X,'MODE',I4,' FACTOR',1P,E17.8)");
  static const Format joint_row("(1X,'J',I5,1P,3E15.6)");
  static const Format member_row("(1X,'M',I5,1P,12E15.6)");
  static const Format station_row("(1X,A1,I5,1P,10E15.6)");
  const auto stations = [&](const char* key, int m, const std::vector<double>& v) {
    const double* p = v.data() + NSTA * (m - 1);
    out.write(station_row, {key, m, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9]});
  };
  const int n = static_cast<int>(b.modes.size());
  out.write(head, {count, done, stiffness_name(req), n, md.NJ, md.NM});
  if (!b.axial.empty())
    for (int m = 1; m <= md.NM; ++m) stations("N", m, b.axial);
  for (int k = 0; k < n; ++k) {
    const BucklingMode& mo = b.modes[k];
    out.write(mode_head, {k + 1, mo.factor});
    for (int j = 1; j <= md.NJ; ++j)
      out.write(joint_row, {md.JNO(j), mo.joint[3 * j - 3], mo.joint[3 * j - 2], mo.joint[3 * j - 1]});
    for (int m = 1; m <= md.NM; ++m) {
      const double* p = mo.points.data() + 18 * (m - 1);
      // The inner points 2..5, X, Y and R.
      out.write(member_row, {m, p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11], p[12], p[13], p[14]});
    }
    for (int m = 1; m <= md.NM; ++m) stations("K", m, mo.moment);
  }
}

}  // namespace

void buckling_stage(const Model& md, Units& units, FibreStore& fs, const BucklingRequest& req, int done,
                    int& count) {
  const BucklingOutcome b = buckling_modes(md, units, fs, req);
  write_listing(md, units.listing(), req, b, done);
  if (count++ == 0) units.open_text(kModesUnit, "modes.rst");
  write_modes(md, units.text(kModesUnit), req, b, done, count);
}

}  // namespace nlf
