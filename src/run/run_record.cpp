#include "run/run_record.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <regex>
#include <set>

#include "run/driver.h"

namespace nlf {

namespace fs = std::filesystem;

namespace {

std::string json_string(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char u[8];
          std::snprintf(u, sizeof u, "\\u%04x", c);
          out += u;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// As the package's json module writes a float (NaN and the infinities too).
std::string number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  char b[32];
  std::snprintf(b, sizeof b, "%.17g", v);
  std::string s = b;
  if (s.find_first_of(".eE") == std::string::npos) s += ".0";
  return s;
}

// [size, modification time in ns, inode], or null.
std::string file_stamp(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return "null";
  const long long ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  char b[80];
  std::snprintf(b, sizeof b, "[%lld, %lld, %llu]", static_cast<long long>(st.st_size), ns,
                static_cast<unsigned long long>(st.st_ino));
  return b;
}

// The stamps of the result files (names ending in .rst or beginning with
// fort., and results.h5) and of the deck, in the package's order of names.
std::string files_object(const fs::path& folder, const fs::path& deck_path) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string n = it->path().filename().string();
    if ((n.size() >= 4 && n.compare(n.size() - 4, 4, ".rst") == 0) || n.rfind("fort.", 0) == 0 || n == "results.h5")
      names.insert(n);
  }
  std::string out = "{";
  for (const std::string& n : names) {
    const std::string stamp = file_stamp(folder / n);
    if (stamp == "null") continue;
    out += "\n  " + json_string(n) + ": " + stamp + ",";
  }
  out += "\n  \"<deck>\": " + file_stamp(deck_path) + "\n }";
  return out;
}

// The time of the run's summary line (to 1/100 s), as the package reads it.
double summary_seconds(const RunResult& r) {
  static const std::regex time(", ([0-9]+\\.[0-9]+) s$");
  for (const std::string& m : r.messages) {
    const bool summary =
        m.rfind("nlframe: before the stop: ", 0) == 0 || (r.status == 0 && m == "nlframe: " + r.message) ||
        (r.status == 0 && m.rfind("nlframe: " + r.message + ",", 0) == 0);
    std::smatch t;
    if (summary && std::regex_search(m, t, time)) return std::stod(t[1].str());
  }
  return r.seconds;
}

std::string peak_object(const GroupPeak& p) {
  const bool force = p.kind == GroupPeak::Kind::kForce;
  const char* dir = p.direction == 1 ? "\"x\"" : p.direction == 2 ? "\"y\"" : "\"r\"";
  return std::string("{\"kind\": ") + (force ? "\"force\"" : "\"load_factor\"") +
         ", \"group\": " + std::to_string(p.group) + ", \"value\": " + number(p.value) +
         ", \"step\": " + std::to_string(p.step) + ", \"direction\": " + (force ? dir : "null") +
         ", \"joint\": " + (force ? std::to_string(p.joint) : "null") +
         ", \"displacement\": " + (force ? number(p.displacement) : "null") +
         ", \"passed\": " + (p.passed ? "true" : "false") + ", \"converged\": " + (p.converged ? "true" : "false") +
         ", \"strain\": " + number(p.strain) + "}";
}

}  // namespace

std::string run_record_text(const RunResult& r, const std::string& deck, const fs::path& deck_path,
                            const fs::path& folder, const std::string& id) {
  const RunSummary& s = r.summary;
  std::string out = "{\n \"status\": " + std::to_string(r.status) + ",\n \"message\": " + json_string(r.message) +
                    ",\n \"steps\": " + std::to_string(s.steps) + ",\n \"iterations\": " +
                    std::to_string(s.iterations) + ",\n \"not_converged\": [";
  for (std::size_t k = 0; k < s.not_converged_ranges.size(); ++k)
    out += std::string(k ? ", " : "") + "[" + std::to_string(s.not_converged_ranges[k].first) + ", " +
           std::to_string(s.not_converged_ranges[k].last) + "]";
  out += "],\n \"peaks\": [";
  const int named = std::min(s.peak_count, RunSummary::kPeaks);
  for (int k = 0; k < named; ++k)
    out += std::string(k ? ",\n  " : "\n  ") + peak_object(s.peaks[static_cast<std::size_t>(k)]);
  out += "],\n \"messages\": [";
  for (std::size_t k = 0; k < r.messages.size(); ++k) out += std::string(k ? ",\n  " : "\n  ") + json_string(r.messages[k]);
  out += "],\n \"seconds\": " + number(summary_seconds(r)) + ",\n \"deck\": " + json_string(deck) +
         ",\n \"deck_path\": " + json_string(deck_path.string()) + ",\n \"folder\": " + json_string(folder.string()) +
         ",\n \"id\": " + json_string(id) + ",\n \"files\": " + files_object(folder, deck_path) + "\n}\n";
  return out;
}

std::string new_run_identity() {
  std::random_device rd;
  std::string id;
  static const char* hex = "0123456789abcdef";
  for (int k = 0; k < 32; ++k) id += hex[rd() & 15U];
  return id;
}

std::string write_run_record(const RunResult& r, const std::string& deck, const fs::path& folder) {
  std::error_code ec;
  const fs::path where = fs::absolute(folder.empty() ? fs::path(".") : folder, ec).lexically_normal();
  const fs::path deck_path = fs::absolute(deck, ec).lexically_normal();
  fs::path dir = where;
  if (dir.has_filename() == false) dir = dir.parent_path();
  const fs::path path = dir / kRunRecord, part = dir / (std::string(kRunRecord) + ".part");
  {
    std::ofstream f(part, std::ios::binary | std::ios::trunc);
    f << run_record_text(r, deck, deck_path, dir, new_run_identity());
    f.flush();
    if (!f) {
      f.close();
      fs::remove(part, ec);
      return part.string() + ": cannot write the run record";
    }
  }
  fs::rename(part, path, ec);
  if (ec) return path.string() + ": cannot write the run record: " + ec.message();
  return {};
}

}  // namespace nlf
