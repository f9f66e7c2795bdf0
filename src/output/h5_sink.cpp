#include "output/h5_sink.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "output/step_results.h"

namespace nlf {

namespace {

std::uint64_t u(int n) { return static_cast<std::uint64_t>(n); }

const std::vector<std::string> kJointForceColumns = {
    "unbalanced_X(TON)", "unbalanced_Y(TON)", "unbalanced_M(TON*CM)", "applied_X(TON)",  "applied_Y(TON)",
    "applied_M(TON*CM)", "internal_X(TON)",   "internal_Y(TON)",      "internal_M(TON*CM)"};
const std::vector<std::string> kDisplacementColumns = {
    "displacement_U(MM)", "displacement_V(MM)", "displacement_T(1/100)", "subtotal_U(MM)", "subtotal_V(MM)",
    "subtotal_T(1/100)",  "total_U(MM)",        "total_V(MM)",           "total_T(1/100)"};
const std::vector<std::string> kMemberColumns = {"NI(TON)", "STRAIN_I(%)", "NJ(TON)", "STRAIN_J(%)",
                                                 "QI(TON)", "QJ(TON)",     "MI(T*CM)", "E1-E2_I(%)",
                                                 "MJ(T*CM)", "E1-E2_J(%)"};

// The label of a watched value, as the response-curve file heads its column.
std::string curve_label(double code, int k) {
  const CurveCode c = decode_curve_code(code);
  static const char* const kinds[2][3] = {{"F.X(TON)", "F.Y(TON)", "F.R(TON-CM)"},
                                          {"D.X(MM)", "D.Y(MM)", "D.R(1/100)"}};
  if (code > 0 && c.J >= 1 && c.J <= MAXJOINTNO && (c.K == 1 || c.K == 2) && c.D >= 1 && c.D <= 3)
    return std::to_string(c.J) + kinds[c.K - 1][c.D - 1];
  return "column_" + std::to_string(k);
}

}  // namespace

H5Sink::H5Sink(const std::string& path, const H5RunInfo& info, ResultChoice choice)
    : file_(path), choice_(choice) {
  const H5Id root = file_.root();
  file_.attr(root, "program", info.program);
  file_.attr(root, "version", info.version);
  file_.attr(root, "layout", static_cast<long long>(kResultsLayout));
  file_.attr(root, "deck_name", info.deck_name);
  file_.attr(root, "complete", 0LL);
  file_.text(root, "deck", info.deck_text);
  file_.flush();
}

void H5Sink::create_tables(const StepTables& t) {
  const H5Id root = file_.root();
  const std::string& p = file_.path();
  const std::uint64_t nj = u(t.NJ), nm = u(t.NM);
  const bool none = choice_.parts == 0;
  if (none) return;

  joints_ = file_.group(root, "joints");
  file_.array(joints_.id(), "number", H5Type::i32, {nj}, t.joint.data());
  members_ = file_.group(root, "members");
  file_.array(members_.id(), "ends", H5Type::i32, {nm, 2}, t.ends.data());

  if (choice_.parts & kJointParts) {
    joint_steps_ = H5Rows(joints_.id(), "step", H5Type::i32, {}, 0, p);
    joint_forces_ = H5Rows(joints_.id(), "forces", H5Type::f64, {nj, 9}, choice_.deflate, p);
    joint_disp_ = H5Rows(joints_.id(), "displacements", H5Type::f64, {nj, 9}, choice_.deflate, p);
    file_.attr(joint_forces_.id(), "columns", kJointForceColumns);
    file_.attr(joint_disp_.id(), "columns", kDisplacementColumns);
  }
  if (choice_.parts & kMemberParts) {
    member_steps_ = H5Rows(members_.id(), "step", H5Type::i32, {}, 0, p);
    member_forces_ = H5Rows(members_.id(), "forces", H5Type::f64, {nm, 10}, choice_.deflate, p);
    file_.attr(member_forces_.id(), "columns", kMemberColumns);
  }
  if (choice_.parts & kNodeParts) {
    nodes_ = file_.group(root, "nodes");
    node_steps_ = H5Rows(nodes_.id(), "step", H5Type::i32, {}, 0, p);
    node_disp_ = H5Rows(nodes_.id(), "displacements", H5Type::f64, {nm, u(NPT), 9}, choice_.deflate, p);
    file_.attr(node_disp_.id(), "columns", kDisplacementColumns);
  }
  if (choice_.parts & kFibreParts) {
    fibres_ = file_.group(root, "fibres");
    fibre_steps_ = H5Rows(fibres_.id(), "step", H5Type::i32, {}, 0, p);
    const std::vector<std::uint64_t> shape = {nm, u(NSTA), u(NFIB)};
    fibre_stress_ = H5Rows(fibres_.id(), "stress", H5Type::f64, shape, choice_.deflate, p);
    fibre_strain_ = H5Rows(fibres_.id(), "strain", H5Type::f64, shape, choice_.deflate, p);
    fibre_state_ = H5Rows(fibres_.id(), "state", H5Type::i8, shape, std::max(1, choice_.deflate), p);
    file_.attr(fibre_stress_.id(), "units", std::string_view("t/cm2"));
    file_.attr(fibre_strain_.id(), "units", std::string_view("1"));
  }
  if (choice_.parts & kCurveParts) {
    curves_ = file_.group(root, "curves");
    curve_steps_ = H5Rows(curves_.id(), "step", H5Type::i32, {}, 0, p);
    for (int i = 0; i < t.NW; ++i) {
      const int count = t.curve_count[static_cast<std::size_t>(i)];
      char name[16];
      std::snprintf(name, sizeof name, "%d", 61 + i);
      curves_rows_.emplace_back(curves_.id(), name, H5Type::f64, std::vector<std::uint64_t>{u(count)}, 0, p);
      std::vector<std::string> columns;
      std::vector<double> codes;
      for (int k = 0; k < count; ++k) {
        const double code = t.curve_codes[static_cast<std::size_t>(i * StepTables::kCurveColumns + k)];
        codes.push_back(code);
        columns.push_back(curve_label(code, k + 1));
      }
      file_.attr(curves_rows_.back().id(), "columns", columns);
      file_.array(curves_.id(), std::string(name) + "_codes", H5Type::f64, {u(count)}, codes.data());
    }
  }
}

void H5Sink::write(const StepTables& t, unsigned parts) {
  if (!created_) {
    create_tables(t);
    created_ = true;
  }
  const int step = t.step;
  if (parts & kJointParts) {
    joint_steps_.append(&step);
    joint_forces_.append(t.joint_forces.data());
    joint_disp_.append(t.joint_disp.data());
  }
  if (parts & kMemberParts) {
    member_steps_.append(&step);
    member_forces_.append(t.member_forces.data());
  }
  if (parts & kNodeParts) {
    node_steps_.append(&step);
    node_disp_.append(t.nodes.data());
  }
  if (parts & kFibreParts) {
    fibre_steps_.append(&step);
    fibre_stress_.append(t.stress.data());
    fibre_strain_.append(t.strain.data());
    fibre_state_.append(t.state.data());
  }
  if (parts & kCurveParts) {
    curve_steps_.append(&step);
    for (std::size_t i = 0; i < curves_rows_.size(); ++i)
      curves_rows_[i].append(&t.curves[i * StepTables::kCurveColumns]);
  }
  file_.flush();
}

void H5Sink::finish(const H5Summary& s) {
  H5Handle g = file_.group(file_.root(), "summary");
  file_.attr(g.id(), "status", static_cast<long long>(s.status));
  file_.attr(g.id(), "message", s.message);
  file_.attr(g.id(), "steps", s.steps);
  file_.attr(g.id(), "iterations", s.iterations);
  file_.attr(g.id(), "not_converged", s.not_converged);
  file_.attr(g.id(), "cut_backs", s.cut_backs);
  file_.attr(g.id(), "seconds", s.seconds);
  const std::uint64_t n = s.peaks.size();
  std::vector<int> group, kind, step, direction, joint;
  std::vector<std::int8_t> passed, converged;
  std::vector<double> value, displacement, strain;
  for (const H5Peak& p : s.peaks) {
    group.push_back(p.group);
    kind.push_back(p.force ? 1 : 0);
    step.push_back(p.step);
    direction.push_back(p.direction);
    joint.push_back(p.joint);
    passed.push_back(p.passed ? 1 : 0);
    converged.push_back(p.converged ? 1 : 0);
    value.push_back(p.value);
    displacement.push_back(p.displacement);
    strain.push_back(p.strain);
  }
  H5Handle peaks = file_.group(g.id(), "peaks");
  const H5Id w = peaks.id();
  file_.array(w, "group", H5Type::i32, {n}, group.data());
  file_.array(w, "kind", H5Type::i32, {n}, kind.data());
  file_.array(w, "value", H5Type::f64, {n}, value.data());
  file_.array(w, "step", H5Type::i32, {n}, step.data());
  file_.array(w, "direction", H5Type::i32, {n}, direction.data());
  file_.array(w, "joint", H5Type::i32, {n}, joint.data());
  file_.array(w, "displacement", H5Type::f64, {n}, displacement.data());
  file_.array(w, "passed", H5Type::i8, {n}, passed.data());
  file_.array(w, "converged", H5Type::i8, {n}, converged.data());
  file_.array(w, "strain", H5Type::f64, {n}, strain.data());
  // The root's mark that the run ended and the summary is written.
  file_.attr(file_.root(), "complete", 1LL);
  peaks.close();
  g.close();
  file_.close();
}

}  // namespace nlf
