#include "plot/app.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <system_error>

#include "io/version.h"
#include "plot/html.h"
#include "plot/page_content.h"
#include "plot/svg.h"
#include "results/arguments.h"

namespace nlf::plot {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "nlframe-plot";

int parse_int(const std::string& opt, const std::string& v, int lo, int hi, const char* what) {
  int n = 0;
  const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
  if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || n < lo || n > hi)
    throw UsageError("option '" + opt + "' needs " + what + ", not '" + v + "'");
  return n;
}

}  // namespace

std::string usage_text() {
  return std::string("Usage: ") + kProgram + " [options] DECK\n" +
         "Draws SVG pictures of a finished nlframe run: one response-curve chart per\n"
         "history file (curve-61.svg, ...), the frame with its deformed shape\n"
         "(frame.svg) and the plastic zones of the members (plastic.svg).\n"
         "\n"
         "Options:\n"
         "  -d, --dir DIR      run folder holding Mdis.rst, Mstr.rst and fort.61, ...\n"
         "                     (default: the deck's folder)\n"
         "  -o, --output DIR   folder for the pictures (default: the run folder)\n"
         "      --step N       step to draw (default: the last step in Mdis.rst,\n"
         "                     which holds member displacements on detail steps only)\n"
         "      --scale F      magnification of the displacements (default: the largest\n"
         "                     displacement shows as about a tenth of the frame size)\n"
         "      --xy I,J       response curves as column J against column I alone;\n"
         "                     columns count from 1 in the order of the W card, 0 is\n"
         "                     the step number (default: a watched force against a\n"
         "                     watched displacement of its joint, the other columns\n"
         "                     against the step, one panel for each unit)\n"
         "      --html         also write index.html beside the pictures: the run's\n"
         "                     summary, the pictures and the largest results of the\n"
         "                     last step\n"
         "  -h, --help         show this help and exit\n"
         "      --version      show the version and exit\n"
         "\n"
         "Exit status: 0 all pictures written, 1 a result file missing, unreadable or\n"
         "not matching the deck (the other pictures are still written), 2 bad command\n"
         "line or a deck that cannot be read (missing, a folder, a result file).\n";
}

Options parse_options(const std::vector<std::string>& args) {
  using results::OptionKind;
  Options o;
  bool deck_seen = false;
  const auto kind = [](const std::string& n) {
    if (n == "-h" || n == "--help" || n == "--html") return OptionKind::kFlag;
    if (n == "-d" || n == "--dir" || n == "-o" || n == "--output" || n == "--step" || n == "--scale" || n == "--xy")
      return OptionKind::kValue;
    return OptionKind::kUnknown;
  };
  const auto take = [&](const std::string& name, const std::string& value) {
    if (name == "-h" || name == "--help" || name == "--html") {
      (name == "--html" ? o.html : o.help) = true;
      return;
    }
    if (name == "-d" || name == "--dir") {
      if (value.empty()) throw UsageError("option '" + name + "' needs a folder");
      o.run_dir = value;
    } else if (name == "-o" || name == "--output") {
      if (value.empty()) throw UsageError("option '" + name + "' needs a folder");
      o.out_dir = value;
    } else if (name == "--step") {
      o.step = parse_int(name, value, 1, 999999, "a step number of 1 or more");
    } else if (name == "--scale") {
      double f = 0;
      const auto r = std::from_chars(value.data(), value.data() + value.size(), f);
      if (value.empty() || r.ec != std::errc() || r.ptr != value.data() + value.size() || !std::isfinite(f) || f <= 0)
        throw UsageError("option '--scale' needs a positive number, not '" + value + "'");
      o.scale = f;
    } else {  // --xy
      const auto comma = value.find(',');
      if (comma == std::string::npos) throw UsageError("option '--xy' needs two columns I,J, not '" + value + "'");
      const char* what = "two columns I,J from 0 (the step) to 7";
      o.xy = ColumnPair{parse_int(name, value.substr(0, comma), 0, 7, what),
                        parse_int(name, value.substr(comma + 1), 0, 7, what)};
    }
  };
  results::scan_arguments<UsageError>(args, kind, take, o.deck, deck_seen);
  if (!deck_seen && !o.help) throw UsageError("no deck given");
  return o;
}

namespace {

// "5, 10, 15" or, for long lists, "1, 2, 3, ..., 98, 99, 100 (100 steps)".
template <class Blocks>
std::string step_list(const Blocks& v) {
  if (v.empty()) return "none";
  std::string s;
  auto add = [&](int n) { s += (s.empty() ? "" : ", ") + std::to_string(n); };
  if (v.size() <= 8) {
    for (const auto& b : v) add(b.step);
    return s;
  }
  for (std::size_t i = 0; i < 3; ++i) add(v[i].step);
  s += ", ...";
  for (std::size_t i = v.size() - 3; i < v.size(); ++i) add(v[i].step);
  return s + " (" + std::to_string(v.size()) + " steps)";
}

class Runner {
 public:
  Runner(const Options& o, std::ostream& out, std::ostream& err) : o_(o), out_(out), err_(err) {}

  int go() {
    try {
      frame_ = read_frame(o_.deck);
    } catch (const PlotError& e) {
      error(e.what());
      return kFailed;
    }
    for (const std::string& w : frame_.warnings) warn(w);

    dir_ = o_.run_dir ? *o_.run_dir : o_.deck.parent_path();
    if (dir_.empty()) dir_ = ".";
    std::error_code ec;
    if (!fs::is_directory(dir_, ec)) {
      error(dir_.string() + ": no such folder");
      return kFailed;
    }
    outdir_ = o_.out_dir ? *o_.out_dir : dir_;
    fs::create_directories(outdir_, ec);
    if (ec || !fs::is_directory(outdir_)) {
      error(outdir_.string() + ": cannot create the output folder" + (ec ? " (" + ec.message() + ")" : ""));
      return kFailed;
    }
    deck_time_ = fs::last_write_time(o_.deck, ec);
    if (ec) deck_time_ = fs::file_time_type::min();

    have_disp_ = load("Mdis.rst", disp_, read_member_displacements);
    have_stress_ = load("Mstr.rst", stress_, read_member_stresses);
    // A step asked for without member displacements has no frame picture:
    // nothing is written, rather than pictures of another step beside it.
    if (o_.step && have_disp_ && !find_step(disp_, *o_.step)) {
      error("Mdis.rst has no member displacements for step " + std::to_string(*o_.step) +
            " (they are written on detail steps only; steps there: " + step_list(disp_) + "); nothing written");
      return status_;
    }
    if (o_.step && !have_disp_) {
      error("no frame picture for step " + std::to_string(*o_.step) + " without Mdis.rst; nothing written");
      return status_;
    }

    step_ = picture_step();
    summary_ = summarize_run(dir_, step_);
    curves();
    pictures();
    if (o_.html) page();
    return status_;
  }

 private:
  void error(const std::string& msg) {
    err_ << kProgram << ": error: " << msg << '\n';
    status_ = kFailed;
  }
  void warn(const std::string& msg) { err_ << kProgram << ": warning: " << msg << '\n'; }

  // A result file older than the deck most likely comes from an earlier run.
  void check_age(const fs::path& p) {
    std::error_code ec;
    const auto t = fs::last_write_time(p, ec);
    if (!ec && t < deck_time_)
      warn(p.string() + " is older than the deck; it may come from a run of an earlier version of the deck");
  }

  void write(const std::string& name, const std::string& text, const std::string& caption = "", int step = 0) {
    const fs::path p = outdir_ / name;
    const fs::path tmp = outdir_ / (name + ".tmp");
    {
      std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
      f << text;
      f.close();
      if (!f) {
        std::error_code ec;
        fs::remove(tmp, ec);
        throw PlotError(p.string() + ": cannot be written");
      }
    }
    std::error_code ec;
    fs::rename(tmp, p, ec);
    if (ec) {
      fs::remove(tmp, ec);
      throw PlotError(p.string() + ": cannot be written");
    }
    out_ << "wrote " << p.string() << '\n';
    if (!caption.empty()) pictures_.push_back({name, caption, step});
  }

  void page() {
    const RunSummary& s = summary_;
    for (const std::string& n : s.notes) warn(n + "; index.html leaves it out");
    PageContent c;
    c.title = frame_.title.empty() ? o_.deck.filename().string() : frame_.title;
    c.deck = o_.deck.filename().string();
    c.version = std::string(kProgram) + " " + kVersion;
    c.results_date = file_date(dir_ / "R.rst");
    c.written = date_text(std::chrono::system_clock::now());
    c.summary = s;
    c.pictures = pictures_;
    for (const Picture& p : pictures_)
      if (p.step != 0 && p.step == s.table_step)
        c.table_pictures += (c.table_pictures.empty() ? "" : " and ") + p.file;
    c.model = model_facts(o_.deck, c.model_note);
    c.files = file_links(o_.deck, dir_, outdir_, curve_units(frame_, dir_));
    try {
      write("index.html", html_page(c));
    } catch (const PlotError& e) {
      error(e.what());
    }
  }

  void curves() {
    const std::vector<int> units = curve_units(frame_, dir_);
    if (o_.xy && units.empty()) error("--xy given, but the run has no response-curve files (no W cards)");
    for (int u : units) {
      const fs::path p = dir_ / ("fort." + std::to_string(u));
      try {
        const CurveFile f = read_curve_file(p);
        check_age(p);
        for (const std::string& w : f.warnings) warn(w);
        std::vector<int> marks;
        if (const int peak = peak_step(summary_.peaks)) marks.push_back(peak);
        const std::string what = chart_title(f, o_.xy);
        write("curve-" + std::to_string(u) + ".svg", curve_chart(f, o_.xy, frame_.title, marks),
              "Response curve " + f.name + (what.empty() ? "" : ": " + what));
      } catch (const PlotError& e) {
        error(e.what());
      }
    }
  }

  template <class T, class Read>
  bool load(const char* name, std::vector<T>& v, Read read) {
    const fs::path p = dir_ / name;
    try {
      v = read(p);
      check_age(p);
      return true;
    } catch (const PlotError& e) {
      error(e.what());
      return false;
    }
  }

  // The step of the pictures: as asked, else the last complete detail
  // step, else the last step of the stress table.
  std::optional<int> picture_step() {
    std::optional<int> step = o_.step;
    if (!step) {
      for (auto it = disp_.rbegin(); it != disp_.rend(); ++it) {
        if (it->complete && it->members.size() == frame_.members.size()) {
          step = it->step;
          break;
        }
        warn("Mdis.rst: the block of step " + std::to_string(it->step) + " is incomplete and is passed over");
      }
      if (!step && !stress_.empty()) step = stress_.back().step;
    }
    return step;
  }

  void pictures() {
    const std::vector<DisplacementStep>& disp = disp_;
    const std::vector<StressStep>& stress = stress_;
    const bool have_disp = have_disp_, have_stress = have_stress_;
    const std::optional<int> step = step_;

    if (have_disp) {
      try {
        peak_picture(disp, step);
        frame_picture(disp, step);
      } catch (const PlotError& e) {
        error(e.what());
      }
    }
    if (have_stress) {
      try {
        plastic_picture(stress, step);
      } catch (const PlotError& e) {
        error(e.what());
      }
    }
  }

  void frame_picture(const std::vector<DisplacementStep>& disp, std::optional<int> step) {
    const DisplacementStep* d = step ? find_step(disp, *step) : nullptr;
    std::string note;
    if (!d) {
      if (o_.step)
        throw PlotError("Mdis.rst has no member displacements for step " + std::to_string(*step) +
                        " (they are written on detail steps only; steps there: " + step_list(disp) +
                        "); frame.svg not written");
      note = "undeformed: Mdis.rst holds no detail step yet";
      warn("Mdis.rst holds no member displacements yet; frame.svg shows the undeformed frame");
    } else {
      std::vector<std::pair<int, int>> ends;
      for (const MemberShift& m : d->members) ends.push_back({m.ja, m.jb});
      check_members(frame_, "Mdis.rst", d->step, ends, d->complete);
    }
    const double scale = d ? (o_.scale ? *o_.scale : default_scale(frame_, *d)) : 1.0;
    const bool last = d && !disp.empty() && d->step == disp.back().step;
    const std::vector<LoadArrow> loads = d ? applied_loads(dir_, frame_, d->step) : std::vector<LoadArrow>{};
    write("frame.svg", frame_chart(frame_, d, scale, note, loads),
          d ? "Deformed frame at step " + std::to_string(d->step) + (last ? ", the last detail step" : "") +
                  ", with its applied loads"
            : "Frame",
          d ? d->step : 0);
  }

  // The frame at the peak of the last group that has one: at the detail
  // step nearest to it, when that is not the step of frame.svg.
  void peak_picture(const std::vector<DisplacementStep>& disp, std::optional<int> step) {
    const int peak = peak_step(summary_.peaks);
    if (peak == 0 || o_.step) return;
    const DisplacementStep* near = nullptr;
    for (const DisplacementStep& d : disp)
      if (d.complete && d.members.size() == frame_.members.size() &&
          (!near || std::abs(d.step - peak) < std::abs(near->step - peak)))
        near = &d;
    if (!near || (step && near->step == *step)) return;
    std::vector<std::pair<int, int>> ends;
    for (const MemberShift& m : near->members) ends.push_back({m.ja, m.jb});
    check_members(frame_, "Mdis.rst", near->step, ends, near->complete);
    const double scale = o_.scale ? *o_.scale : default_scale(frame_, *near);
    const std::string at = near->step == peak ? "at the peak (step " + std::to_string(peak) + ")"
                                              : "at step " + std::to_string(near->step) +
                                                    ", the detail step nearest to the peak at step " +
                                                    std::to_string(peak);
    write("frame-peak.svg", frame_chart(frame_, near, scale, "", applied_loads(dir_, frame_, near->step)),
          "Deformed frame " + at + ", with its applied loads", near->step);
  }

  void plastic_picture(const std::vector<StressStep>& stress, std::optional<int> step) {
    if (!step) throw PlotError("Mstr.rst holds no step yet; plastic.svg not written");
    const StressStep* s = find_step(stress, *step);
    if (!s)
      throw PlotError("Mstr.rst has no stress table for step " + std::to_string(*step) +
                      " (steps there: " + step_list(stress) + "); plastic.svg not written");
    std::vector<std::pair<int, int>> ends;
    bool complete = true;
    for (std::size_t m = 0; m < s->members.size(); ++m) {
      ends.push_back({s->members[m].ja, s->members[m].jb});
      if (s->members[m].count != kStations) {
        // Only the last member of the file can be cut short.
        ends.pop_back();
        complete = false;
        break;
      }
    }
    check_members(frame_, "Mstr.rst", s->step, ends, complete);
    write("plastic.svg", plastic_chart(frame_, *s), "Plastic zones at step " + std::to_string(s->step), s->step);
  }

  const Options& o_;
  std::ostream& out_;
  std::ostream& err_;
  Frame frame_;
  fs::path dir_, outdir_;
  fs::file_time_type deck_time_{};
  int status_ = kOk;
  std::vector<Picture> pictures_;
  std::vector<DisplacementStep> disp_;
  std::vector<StressStep> stress_;
  bool have_disp_ = false, have_stress_ = false;
  std::optional<int> step_;
  RunSummary summary_;
};

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return results::run_command<Options, UsageError>(kProgram, args, out, err, parse_options, usage_text(),
                                                   [&](const Options& o) { return Runner(o, out, err).go(); });
}

}  // namespace nlf::plot
