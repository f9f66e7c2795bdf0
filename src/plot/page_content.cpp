#include "plot/page_content.h"

#include <ctime>
#include <system_error>

#include "check/check.h"

namespace nlf::plot {

namespace fs = std::filesystem;

std::optional<DeckFacts> model_facts(const fs::path& deck, std::string& note) {
  // The run may have sized its stores from the deck: the model is summed
  // up as such a run reads it.
  const CheckResult r = check_deck(deck.string(), Capacity::following());
  if (r.status != 0) {
    note = "the deck check finds " + std::to_string(r.errors) + " error(s)" +
           (r.findings.empty() ? "" : ", the first: " + r.findings.front().text);
    return std::nullopt;
  }
  return r.facts;
}

std::vector<FileLink> file_links(const fs::path& deck, const fs::path& run_dir, const fs::path& page_dir,
                                 const std::vector<int>& curve_units) {
  std::vector<FileLink> links;
  std::error_code ec;
  const fs::path from = fs::absolute(page_dir, ec);
  auto add = [&](const fs::path& p, const std::string& what) {
    std::error_code e;
    if (!fs::is_regular_file(p, e)) return;
    const fs::path rel = fs::absolute(p, e).lexically_relative(from);
    links.push_back({rel.empty() ? p.string() : rel.generic_string(), what});
  };
  add(deck, "the deck");
  add(run_dir / "R.rst", "listing: the deck's echo, the model and the iterations of every step");
  add(run_dir / "Jfor.rst", "joint forces of every output step");
  add(run_dir / "Jdis.rst", "joint displacements of every output step");
  add(run_dir / "Mfor.rst", "member end forces and end strains");
  add(run_dir / "Mdis.rst", "member node displacements of the detail steps");
  add(run_dir / "Mstr.rst", "fibre stresses of every member station");
  for (int u : curve_units) add(run_dir / ("fort." + std::to_string(u)), "response curve");
  add(run_dir / "modes.rst", "buckling modes of the V cards");
  for (const fs::path& d : {page_dir, run_dir}) {
    const std::size_t before = links.size();
    add(d / "joints.csv", "CSV: joint displacements and forces");
    add(d / "member-forces.csv", "CSV: member end forces");
    add(d / "member-nodes.csv", "CSV: member node displacements");
    add(d / "stations.csv", "CSV: fibre states and stresses");
    for (int u : curve_units)
      add(d / ("curve-" + std::to_string(u) + ".csv"), "CSV: response curve fort." + std::to_string(u));
    if (links.size() > before || fs::equivalent(page_dir, run_dir, ec)) break;
  }
  return links;
}

std::string date_text(std::chrono::system_clock::time_point t) {
  const std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char b[32];
  std::strftime(b, sizeof b, "%Y-%m-%d %H:%M", &tm);
  return b;
}

std::string file_date(const fs::path& p) {
  std::error_code ec;
  const auto t = fs::last_write_time(p, ec);
  if (ec) return "";
  return date_text(std::chrono::file_clock::to_sys(t));
}

}  // namespace nlf::plot
