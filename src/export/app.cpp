#include "export/app.h"

#include <fstream>
#include <functional>
#include <optional>
#include <system_error>

#include "export/run_tables.h"
#include "export/write_h5.h"
#include "export/write.h"
#include "results/arguments.h"
#include "results/run_check.h"

namespace nlf::exporter {

namespace fs = std::filesystem;

namespace {
constexpr const char* kProgram = "nlframe-export";
}

std::string usage_text() {
  return std::string("Usage: ") + kProgram + " [options] DECK\n" +
         "Writes the results of a finished nlframe run as CSV tables with one header\n"
         "row (units in the column names, numbers as the result files print them):\n"
         "  joints.csv         joint displacements; unbalanced, applied, internal loads\n"
         "  member-forces.csv  member end forces and end strains\n"
         "  member-nodes.csv   member node displacements (detail steps only)\n"
         "  stations.csv       fibre states, stresses and outer strains per station\n"
         "  curve-61.csv, ...  one per response curve\n"
         "  modes.csv          the buckling modes of the V cards (when the run has them)\n"
         "\n"
         "Options:\n"
         "  -d, --dir DIR      run folder holding the result files (default: the deck's folder)\n"
         "  -o, --output DIR   folder for the tables (default: the run folder)\n"
         "  -h, --help         show this help and exit\n"
         "      --version      show the version and exit\n"
         "\n"
         "Exit status: 0 all tables written, 1 a result file missing, cut off or not\n"
         "of this run (nothing written), 2 bad command line, a deck that cannot be\n"
         "read (missing, a folder, a result file) or result files of another deck\n"
         "(nothing written).\n";
}

Options parse_options(const std::vector<std::string>& args) {
  using results::OptionKind;
  Options o;
  bool deck_seen = false;
  const auto kind = [](const std::string& n) {
    if (n == "-h" || n == "--help") return OptionKind::kFlag;
    if (n == "-d" || n == "--dir" || n == "-o" || n == "--output") return OptionKind::kValue;
    return OptionKind::kUnknown;
  };
  const auto take = [&](const std::string& name, const std::string& value) {
    if (name == "-h" || name == "--help") {
      o.help = true;
      return;
    }
    if (value.empty()) throw UsageError("option '" + name + "' needs a folder");
    (name == "-d" || name == "--dir" ? o.run_dir : o.out_dir) = value;
  };
  results::scan_arguments<UsageError>(args, kind, take, o.deck, deck_seen);
  if (!deck_seen && !o.help) throw UsageError("no deck given");
  return o;
}

namespace {

// Writes through a temporary file, so that a table is there whole or not
// at all.
Written write_file(const fs::path& p, const std::function<Written(std::ostream&)>& writer) {
  const fs::path tmp = p.string() + ".tmp";
  Written w;
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (f) w = writer(f);
    f.close();
    if (!f) {
      std::error_code ec;
      fs::remove(tmp, ec);
      throw results::ResultError(p.string() + ": cannot be written");
    }
  }
  std::error_code ec;
  fs::rename(tmp, p, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw results::ResultError(p.string() + ": cannot be written (" + ec.message() + ")");
  }
  return w;
}

int export_run(const Options& o, std::ostream& out, std::ostream& err) {
  fs::path dir = o.run_dir ? *o.run_dir : o.deck.parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw results::ResultError(dir.string() + ": no such folder");
  // A run with an HDF5 results file is read from it, at full precision.
  const fs::path h5 = results::h5_results(dir);
  std::optional<results::H5Reader> file;
  RunTables t;
  if (!h5.empty()) {
    results::check_run_of_deck(o.deck, dir);
    file.emplace(h5);
  } else {
    t = read_run(o.deck, dir);
  }
  for (const std::string& w : t.frame.warnings) err << kProgram << ": warning: " << w << '\n';
  const fs::path outdir = o.out_dir ? *o.out_dir : dir;
  fs::create_directories(outdir, ec);
  if (ec || !fs::is_directory(outdir))
    throw results::ResultError(outdir.string() + ": cannot create the output folder" +
                               (ec ? " (" + ec.message() + ")" : ""));

  auto one = [&](const std::string& name, const std::function<Written(std::ostream&)>& writer) {
    const fs::path p = outdir / name;
    const Written w = write_file(p, writer);
    out << "wrote " << p.string() << " (" << w.rows << " rows)\n";
    if (w.overflows > 0)
      err << kProgram << ": warning: " << p.string() << ": " << w.overflows
          << " value(s) printed as asterisks (too wide for their field) are left empty: " << w.places << '\n';
  };
  if (file) {
    const results::H5Reader& f = *file;
    one("joints.csv", [&](std::ostream& s) { return write_joints(f, s); });
    one("member-forces.csv", [&](std::ostream& s) { return write_member_forces(f, s); });
    one("member-nodes.csv", [&](std::ostream& s) { return write_member_nodes(f, s); });
    one("stations.csv", [&](std::ostream& s) { return write_stations(f, s); });
    if (f.has("curves"))
      for (const std::string& n : f.names("curves"))
        if (n.find_first_not_of("0123456789") == std::string::npos)
          one("curve-" + n + ".csv", [&](std::ostream& s) { return write_curve(f, n, s); });
    return kOk;
  }
  one("joints.csv", [&](std::ostream& s) { return write_joints(t, s); });
  one("member-forces.csv", [&](std::ostream& s) { return write_member_forces(t, s); });
  one("member-nodes.csv", [&](std::ostream& s) { return write_member_nodes(t, s); });
  one("stations.csv", [&](std::ostream& s) { return write_stations(t, s); });
  for (const auto& [unit, f] : t.curves)
    one("curve-" + std::to_string(unit) + ".csv", [&](std::ostream& s) { return write_curve(f, s); });
  if (const fs::path modes = dir / "modes.rst"; fs::exists(modes, ec)) {
    const auto analyses = results::read_modes(modes);
    one("modes.csv", [&](std::ostream& s) { return write_modes(analyses, s); });
  }
  return kOk;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return results::run_command<Options, UsageError>(kProgram, args, out, err, parse_options, usage_text(),
                                                   [&](const Options& o) {
                                                     try {
                                                       return export_run(o, out, err);
                                                     } catch (const results::ForeignRunError& e) {
                                                       err << kProgram << ": error: " << e.what() << '\n';
                                                       return static_cast<int>(kForeign);
                                                     } catch (const results::ResultError& e) {
                                                       err << kProgram << ": error: " << e.what() << '\n';
                                                       return static_cast<int>(kFailed);
                                                     }
                                                   });
}

}  // namespace nlf::exporter
