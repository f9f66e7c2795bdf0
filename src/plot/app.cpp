#include "plot/app.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <system_error>

#include "io/version.h"
#include "plot/html.h"
#include "plot/mode_charts.h"
#include "plot/page_content.h"
#include "plot/svg.h"
#include "results/arguments.h"
#include "results/h5_member_tables.h"
#include "results/run_check.h"

namespace nlf::plot {

namespace fs = std::filesystem;

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
    // Result files of another deck: nothing is drawn from them.
    try {
      check_run_of_deck(o_.deck, dir_);
    } catch (const ForeignRunError& e) {
      error(e.what());
      return kForeign;
    }
    outdir_ = o_.out_dir ? *o_.out_dir : dir_;
    fs::create_directories(outdir_, ec);
    if (ec || !fs::is_directory(outdir_)) {
      error(outdir_.string() + ": cannot create the output folder" + (ec ? " (" + ec.message() + ")" : ""));
      return kFailed;
    }
    deck_time_ = fs::last_write_time(o_.deck, ec);
    if (ec) deck_time_ = fs::file_time_type::min();

    // A run that kept its tables in results.h5 alone is read from there.
    const fs::path h5 = h5_results(dir_);
    if (!h5.empty() && !fs::exists(dir_ / "Mdis.rst") && !fs::exists(dir_ / "Mstr.rst")) {
      try {
        const H5Reader f(h5);
        disp_ = h5_member_displacements(f);
        stress_ = h5_member_stresses(f);
        have_disp_ = have_stress_ = true;
      } catch (const PlotError& e) {
        error(e.what());
      }
    } else {
      have_disp_ = load("Mdis.rst", disp_, read_member_displacements);
      have_stress_ = load("Mstr.rst", stress_, read_member_stresses);
    }
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

    summary_ = summarize_run(dir_, frame_, [&](const RunSummary& s) {
      peak_ = peak_step(s.peaks);
      step_ = picture_step();
      return step_;
    });
    curves();
    pictures();
    modes();
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
    if (s.table_step != 0) c.table_step_words = step_words(s.table_step);
    c.section_names = frame_.section_names;
    c.model_notes = frame_.model_notes;
    c.buckling = buckling_;
    if (s.listing) c.groups = group_rows(*s.listing, s.total_groups, frame_);
    if (peak_ != 0) c.at_peak = at_peak(frame_, s.base_shear, stress_, s.peaks.back().group, peak_);
    c.model = model_facts(o_.deck, c.model_note);
    c.files = file_links(o_.deck, dir_, outdir_, curve_units(frame_, dir_));
    try {
      write("index.html", html_page(c));
    } catch (const PlotError& e) {
      error(e.what());
    }
  }

  void curves() {
    if (const auto& b = summary_.base_shear) {
      try {
        const results::BaseShearPoint& p = b->points[b->peak];
        write("base-shear.svg", base_shear_chart(*b, frame_.title),
              "Base shear against the displacement X of joint " + std::to_string(b->joint) +
                  ", the joint that sways most: peak " + plain_number(p.shear) + " t at step " +
                  std::to_string(p.step) + ", " + plain_number(p.drift) + " mm");
      } catch (const PlotError& e) {
        error(e.what());
      }
    }
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
        const std::string what = chart_title(f, o_.xy, &frame_);
        write("curve-" + std::to_string(u) + ".svg", curve_chart(f, o_.xy, frame_.title, marks, &frame_),
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

  bool drawable(const DisplacementStep& d) const {
    return d.complete && d.members.size() == frame_.members.size();
  }

  // The step of the pictures and tables: as asked, else the detail step
  // nearest to the peak of the last group that has one, else the last
  // complete detail step, else the last step of the stress table.
  std::optional<int> picture_step() {
    if (o_.step) return o_.step;
    for (auto it = disp_.rbegin(); it != disp_.rend(); ++it) {
      if (drawable(*it)) {
        last_detail_ = it->step;
        break;
      }
      warn("Mdis.rst: the block of step " + std::to_string(it->step) + " is incomplete and is passed over");
    }
    if (peak_ != 0) {
      const DisplacementStep* near = nullptr;
      for (const DisplacementStep& d : disp_)
        if (drawable(d) && (!near || std::abs(d.step - peak_) < std::abs(near->step - peak_))) near = &d;
      if (near) {
        at_peak_ = true;
        return near->step;
      }
    }
    if (last_detail_ != 0) return last_detail_;
    if (!stress_.empty()) return stress_.back().step;
    return std::nullopt;
  }

  // How the captions name the step of a picture: "step 20, the detail step
  // nearest to the peak at step 18".
  std::string step_words(int step) const {
    std::string s = "step " + std::to_string(step);
    if (at_peak_ && step_ && step == *step_)
      return step == peak_ ? s + ", the peak" : s + ", the detail step nearest to the peak at step " + std::to_string(peak_);
    if (step == last_detail_) return s + ", the last detail step";
    return s;
  }

  void pictures() {
    const std::vector<DisplacementStep>& disp = disp_;
    const std::vector<StressStep>& stress = stress_;
    const bool have_disp = have_disp_, have_stress = have_stress_;
    const std::optional<int> step = step_;

    if (have_disp) {
      try {
        frame_picture(disp, step);
        last_picture(disp, step);
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
    const std::vector<LoadArrow> loads = d ? applied_loads(dir_, frame_, d->step) : std::vector<LoadArrow>{};
    write("frame.svg", frame_chart(frame_, d, scale, note, loads),
          d ? "Deformed frame at " + step_words(d->step) + ", with its applied loads" : "Frame",
          d ? d->step : 0);
  }

  // The frame at the last complete detail step too, when the pictures are
  // of the step nearest to the peak: how the run ended.
  void last_picture(const std::vector<DisplacementStep>& disp, std::optional<int> step) {
    if (!at_peak_ || last_detail_ == 0 || (step && *step == last_detail_)) return;
    const DisplacementStep* last = find_step(disp, last_detail_);
    if (!last) return;
    std::vector<std::pair<int, int>> ends;
    for (const MemberShift& m : last->members) ends.push_back({m.ja, m.jb});
    check_members(frame_, "Mdis.rst", last->step, ends, last->complete);
    const double scale = o_.scale ? *o_.scale : default_scale(frame_, *last);
    write("frame-last.svg", frame_chart(frame_, last, scale, "", applied_loads(dir_, frame_, last->step)),
          "Deformed frame at " + step_words(last->step) + ", with its applied loads", last->step);
  }

  // The first modes of the run's first V card, when it had one.
  void modes() {
    std::error_code ec;
    const fs::path p = dir_ / "modes.rst";
    if (!fs::is_regular_file(p, ec)) return;
    try {
      buckling_ = read_modes(p);
      if (buckling_.empty()) return;
      for (const ModePicture& m : mode_pictures(frame_, buckling_.front(), 3)) write(m.file, m.svg, m.caption);
    } catch (const PlotError& e) {
      error(e.what());
    }
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
    write("plastic.svg", plastic_chart(frame_, *s), "Plastic zones at " + step_words(s->step), s->step);
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
  int peak_ = 0;          // the step of the peak of the last group that has one
  bool at_peak_ = false;  // the pictures are of the detail step nearest to it
  int last_detail_ = 0;   // the last complete detail step
  RunSummary summary_;
  std::vector<BucklingAnalysis> buckling_;
};

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return results::run_command<Options, UsageError>(kProgram, args, out, err, parse_options, usage_text(),
                                                   [&](const Options& o) { return Runner(o, out, err).go(); });
}

}  // namespace nlf::plot
