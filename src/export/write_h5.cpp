#include "export/write_h5.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "export/csv.h"
#include "results/member_tables.h"

namespace nlf::exporter {

namespace {

using results::H5Reader;

// The shortest digits that read back as the same double.
std::string number(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::vector<std::string> cat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The rows of a table dataset [step, item, ..., column]: `keys` writes the
// key fields of an item (a row of `width` values each).
template <class Keys>
Written rows(const H5Reader& f, const std::string& group, const std::string& set, std::vector<std::string> header,
             std::size_t items, Keys keys, std::ostream& out) {
  const std::string path = group + "/" + set;
  if (!f.has(path)) {
    CsvWriter w(out, header);
    return {};
  }
  const std::vector<std::string> columns = f.texts_attr(path, "columns");
  CsvWriter w(out, cat(header, columns));
  const std::vector<int> steps = f.ints(group + "/step");
  std::vector<double> v;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    f.row(path, s, v);
    for (std::size_t i = 0; i < items; ++i) {
      w.begin();
      w.field(std::to_string(steps[s]));
      keys(w, i);
      for (std::size_t c = 0; c < columns.size(); ++c) w.field(number(v[i * columns.size() + c]));
      w.end();
    }
  }
  return {w.rows(), 0, {}};
}

std::vector<int> ends_of(const H5Reader& f) { return f.has("members/ends") ? f.ints("members/ends") : std::vector<int>{}; }

}  // namespace

Written write_joints(const H5Reader& f, std::ostream& out) {
  const std::vector<int> joints = f.has("joints/number") ? f.ints("joints/number") : std::vector<int>{};
  // Displacements and forces side by side, as the text tables give them.
  std::vector<std::string> header = {"step", "joint"};
  if (!f.has("joints/forces")) {
    CsvWriter w(out, header);
    return {};
  }
  const auto dc = f.texts_attr("joints/displacements", "columns"), fc = f.texts_attr("joints/forces", "columns");
  CsvWriter w(out, cat(cat(header, dc), fc));
  const std::vector<int> steps = f.ints("joints/step");
  std::vector<double> d, fo;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    f.row("joints/displacements", s, d);
    f.row("joints/forces", s, fo);
    for (std::size_t j = 0; j < joints.size(); ++j) {
      w.begin();
      w.field(std::to_string(steps[s]));
      w.field(std::to_string(joints[j]));
      for (std::size_t c = 0; c < dc.size(); ++c) w.field(number(d[j * dc.size() + c]));
      for (std::size_t c = 0; c < fc.size(); ++c) w.field(number(fo[j * fc.size() + c]));
      w.end();
    }
  }
  return {w.rows(), 0, {}};
}

Written write_member_forces(const H5Reader& f, std::ostream& out) {
  const std::vector<int> ends = ends_of(f);
  return rows(f, "members", "forces", {"step", "member", "joint_I", "joint_J"}, ends.size() / 2,
              [&](CsvWriter& w, std::size_t m) {
                w.field(std::to_string(m + 1));
                w.field(std::to_string(ends[2 * m]));
                w.field(std::to_string(ends[2 * m + 1]));
              },
              out);
}

Written write_member_nodes(const H5Reader& f, std::ostream& out) {
  const std::vector<int> ends = ends_of(f);
  constexpr std::size_t nodes = results::kNodes;
  return rows(f, "nodes", "displacements", {"step", "member", "joint_I", "joint_J", "node"}, ends.size() / 2 * nodes,
              [&](CsvWriter& w, std::size_t i) {
                const std::size_t m = i / nodes;
                w.field(std::to_string(m + 1));
                w.field(std::to_string(ends[2 * m]));
                w.field(std::to_string(ends[2 * m + 1]));
                w.field(std::to_string(i % nodes + 1));
              },
              out);
}

Written write_stations(const H5Reader& f, std::ostream& out) {
  constexpr std::size_t nsta = results::kStations, nfib = results::kFibres;
  std::vector<std::string> header = {"step",     "member",   "joint_I",     "joint_J",     "station",
                                     "state",    "at_upper", "at_lower",    "STRAIN_1(%)", "STRAIN_20(%)"};
  for (std::size_t k = 1; k <= nfib; ++k) header.push_back("STRESS_" + std::to_string(k) + "(T/CM2/100)");
  CsvWriter w(out, header);
  if (!f.has("fibres/stress")) return {};
  const std::vector<int> ends = ends_of(f), steps = f.ints("fibres/step");
  std::vector<double> sig, eps;
  std::vector<std::int8_t> state;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    f.row("fibres/stress", s, sig);
    f.row("fibres/strain", s, eps);
    f.row("fibres/state", s, state);
    for (std::size_t m = 0; m < ends.size() / 2; ++m)
      for (std::size_t k = 0; k < nsta; ++k) {
        const std::size_t a = (m * nsta + k) * nfib;
        std::string symbols(nfib, '.');
        int upper = 0, lower = 0;
        for (std::size_t i = 0; i < nfib; ++i) {
          if (state[a + i] > 0) symbols[i] = '+', ++upper;
          if (state[a + i] < 0) symbols[i] = '-', ++lower;
        }
        w.begin();
        for (std::size_t v : {static_cast<std::size_t>(steps[s]), m + 1, static_cast<std::size_t>(ends[2 * m]),
                              static_cast<std::size_t>(ends[2 * m + 1]), k + 1})
          w.field(std::to_string(v));
        w.field(symbols);
        w.field(std::to_string(upper));
        w.field(std::to_string(lower));
        w.field(number(eps[a] * 100.0));
        w.field(number(eps[a + nfib - 1] * 100.0));
        for (std::size_t i = 0; i < nfib; ++i) w.field(number(sig[a + i] * 100.0));
        w.end();
      }
  }
  return {w.rows(), 0, {}};
}

Written write_curve(const H5Reader& f, const std::string& name, std::ostream& out) {
  const std::string path = "curves/" + name;
  const auto columns = f.texts_attr(path, "columns");
  CsvWriter w(out, cat({"step"}, columns));
  const std::vector<int> steps = f.ints("curves/step");
  const std::vector<double> v = f.reals(path);
  for (std::size_t s = 0; s < steps.size(); ++s) {
    w.begin();
    w.field(std::to_string(steps[s]));
    for (std::size_t c = 0; c < columns.size(); ++c) w.field(number(v[s * columns.size() + c]));
    w.end();
  }
  return {w.rows(), 0, {}};
}

}  // namespace nlf::exporter
