#include "results/h5_member_tables.h"

#include <cstdint>
#include <cstdio>
#include <system_error>

namespace nlf::results {

namespace {

constexpr std::size_t kColumns = 9;  // iteration, step and total U, V, T
constexpr std::size_t kTotalU = 6;

}  // namespace

std::vector<DisplacementStep> h5_member_displacements(const H5Reader& f) {
  std::vector<DisplacementStep> out;
  if (!f.has("nodes/displacements")) return out;
  const std::vector<int> ends = f.ints("members/ends"), steps = f.ints("nodes/step");
  std::vector<double> v;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    f.row("nodes/displacements", s, v);
    DisplacementStep d;
    d.step = steps[s];
    for (std::size_t m = 0; m < ends.size() / 2; ++m) {
      MemberShift ms;
      ms.ja = ends[2 * m];
      ms.jb = ends[2 * m + 1];
      for (std::size_t k = 0; k < kNodes; ++k) {
        const double* row = &v[(m * kNodes + k) * kColumns];
        ms.node[k] = {row[kTotalU] / 10.0, row[kTotalU + 1] / 10.0};  // mm to cm
      }
      d.members.push_back(ms);
    }
    out.push_back(std::move(d));
  }
  return out;
}

std::vector<StressStep> h5_member_stresses(const H5Reader& f) {
  std::vector<StressStep> out;
  if (!f.has("fibres/state")) return out;
  const std::vector<int> ends = f.ints("members/ends"), steps = f.ints("fibres/step");
  std::vector<std::int8_t> state;
  for (std::size_t s = 0; s < steps.size(); ++s) {
    f.row("fibres/state", s, state);
    StressStep st;
    st.step = steps[s];
    for (std::size_t m = 0; m < ends.size() / 2; ++m) {
      MemberStations ms;
      ms.ja = ends[2 * m];
      ms.jb = ends[2 * m + 1];
      ms.count = kStations;
      for (std::size_t k = 0; k < kStations; ++k)
        for (std::size_t i = 0; i < kFibres; ++i) {
          const std::int8_t x = state[(m * kStations + k) * kFibres + i];
          ms.station[k].upper += x > 0 ? 1 : 0;
          ms.station[k].lower += x < 0 ? 1 : 0;
        }
      st.members.push_back(std::move(ms));
    }
    out.push_back(std::move(st));
  }
  return out;
}

std::vector<TableBlock> read_table_of_run(const TableLayout& layout, const std::filesystem::path& dir) {
  const std::filesystem::path text = dir / layout.file, h5 = h5_results(dir);
  std::error_code ec;
  if (h5.empty() || std::filesystem::exists(text, ec)) return read_table(layout, text.string());
  const H5Reader f(h5);
  // The dataset of the file and the key fields before its columns.
  const std::string set = layout.file == "Jfor.rst"   ? "joints/forces"
                          : layout.file == "Jdis.rst" ? "joints/displacements"
                          : layout.file == "Mfor.rst" ? "members/forces"
                                                      : "nodes/displacements";
  const std::string group = set.substr(0, set.find('/'));
  std::vector<TableBlock> out;
  if (!f.has(set)) return out;
  const std::vector<std::string> columns = f.texts_attr(set, "columns");
  const bool joints = group == "joints", nodes = group == "nodes";
  const std::vector<int> keys = joints ? f.ints("joints/number") : f.ints("members/ends");
  const std::size_t items = joints ? keys.size() : keys.size() / 2 * (nodes ? kNodes : 1);
  const std::size_t nkeys = joints ? 1 : nodes ? 4 : 3;
  std::vector<std::size_t> at;  // the dataset column of every value field
  for (std::size_t k = nkeys; k < layout.fields.size(); ++k) {
    std::size_t c = 0;
    while (c < columns.size() && columns[c] != layout.fields[k].name) ++c;
    if (c == columns.size()) throw ResultError(f.name() + ": " + set + " has no column " + layout.fields[k].name);
    at.push_back(c);
  }
  const std::vector<int> steps = f.ints(group + "/step");
  std::vector<double> v;
  char buf[32];
  for (std::size_t s = 0; s < steps.size(); ++s) {
    f.row(set, s, v);
    TableBlock b;
    b.step = steps[s];
    for (std::size_t i = 0; i < items; ++i) {
      std::vector<std::string> row;
      if (joints) {
        row.push_back(std::to_string(keys[i]));
      } else {
        const std::size_t m = nodes ? i / kNodes : i;
        row.push_back(std::to_string(m + 1));
        row.push_back(std::to_string(keys[2 * m]));
        row.push_back(std::to_string(keys[2 * m + 1]));
        if (nodes) row.push_back(std::to_string(i % kNodes + 1));
      }
      for (std::size_t c : at) {
        std::snprintf(buf, sizeof buf, "%.17G", v[i * columns.size() + c]);
        row.emplace_back(buf);
      }
      b.rows.push_back(std::move(row));
    }
    out.push_back(std::move(b));
  }
  return out;
}

}  // namespace nlf::results
