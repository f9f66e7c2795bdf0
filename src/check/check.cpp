#include "check/check.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

#include "io/stop.h"
#include "io/units.h"
#include "model/residual.h"
#include "model/restart_read.h"
#include "model/section_figures.h"
#include "model/structure.h"
#include "deck/control.h"
#include "deck/history.h"
#include "deck/workspace.h"
#include "store/bind.h"
#include "storage/fibre_store.h"

namespace nlf {

namespace {

constexpr const char* kNullDevice = "/dev/null";

// Lines with W in column 1: at least the number of response-curve files the
// counting pass opens. Each goes to the null device instead of fort.6N.
int watch_lines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return 0;
  int n = 0;
  bool start = true;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) {
    if (start && c == 'W') ++n;
    start = (c == '\n');
  }
  std::fclose(f);
  return n;
}

// The reads of one check, in the order of a run. Each step reports what
// it finds to the DeckCheck; a step after which nothing more can be read
// returns false.
class Checker {
 public:
  Checker(const std::string& path, DeckCheck& check, DeckFacts& facts)
      : path_(path), check_(check), facts_(facts) {
    units_.set_findings(&check_);
  }

  void run() {
    try {
      if (open() && sizes() && structure()) load_history();
    } catch (const FileError& e) {
      check_.add(units_.deck().line_number(), e.what(), 2);
    }
  }

 private:
  bool open() {
    units_.deck().open(path_);
    units_.open_text(16, kNullDevice);
    units_.open_text(6, kNullDevice);
    ctl_ = read_control_card(units_);
    facts_.title = ctl_.TITLE.substr(0, 64);
    while (!facts_.title.empty() && facts_.title.back() == ' ') facts_.title.pop_back();
    facts_.restart = ctl_.IRESIN != 0;
    return restart_units(-1);
  }

  // A restart unit that the program uses itself. Returns false when the
  // restart input cannot be read for that reason.
  bool restart_units(int nhist) {
    bool ok = true;
    for (const UnitClash& c : restart_unit_clashes(ctl_, nhist)) {
      const long line = ctl_.control_line;
      const int col = c.input ? 2 : 5;
      check_.add(line, deck_place(path_, line, col, col + 2, c.text()), 1);
      ok = ok && !c.input;
    }
    return ok;
  }

  bool sizes() {
    if (ctl_.IRESIN != 0) {
      sz_ = read_restart_sizes(units_, ctl_);
      sz_.NRHS = scan_load_columns(units_, kComment, ctl_.control_line);
    } else {
      const int w = watch_lines(path_);
      for (int u = 61; u <= 60 + w; ++u) units_.open_text(u, kNullDevice);
      try {
        sz_ = counting_pass(units_, kComment);
      } catch (const Stop&) {
        // The one stop of the counting pass: the 334th J card.
        const long line = units_.deck().line_number();
        check_.add(line, deck_place(path_, line, 0, 0, "J card: more than 333 joints"), 1);
        return false;
      }
    }
    const Layout L = compute_layout(sz_);
    bool fits = true;
    for (const WorkspaceNeed& w : {integer_workspace(L), real_workspace(L)}) {
      if (w.fits()) continue;
      check_.add(0, path_ + ": " + w.text(), 1);
      fits = false;
    }
    if (!restart_units(sz_.MUMW) || !fits) return false;

    const MemberStatePlan plan = member_state_plan(sz_);
    if (!plan.fits) {
      check_.add(0, path_ + ": the member-state store is too small for one member", 1);
      return false;
    }
    bind_model(md_, *stores_, sz_);
    facts_.klast = plan.KLAST;
    facts_.in_memory = plan.in_memory;
    fs_.setup(stores_->FSTORE.data(), plan.members_held, plan.in_memory, units_);
    return true;
  }

  bool structure() {
    if (ctl_.IRESIN != 0) LOADSTATE(units_.records(ctl_.IRESIN), md_, fs_);
    read_structure(md_, fs_, units_, kComment, ctl_.control_line);

    const BandStorage band = band_storage(md_);
    if (!band.fits)
      check_.add(0,
                 path_ + ": the band width " + std::to_string(band.width) + " exceeds the storage sized for " +
                     std::to_string(sz_.MBAND) + " (a Q card after the M cards of its joints?)",
                 1);
    facts_.joints = md_.NJ;
    facts_.members = md_.NM;
    facts_.springs = md_.NK;
    facts_.watches = md_.NW;
    facts_.equations = md_.NEQ;
    facts_.band = band.width;
    facts_.E = md_.E;
    facts_.E2 = md_.E2;
    facts_.E3 = md_.E3;
    facts_.strain_limit = md_.strain_limit;
    for (int s = 1; s <= sz_.MUMS; ++s) {
      if (!section_held(md_, s)) continue;
      const SectionFigures f = section_figures(md_, s);
      SectionFacts sf{s, f.area, f.inertia, f.plastic, md_.SY(s), f.mp, 0};
      for (int m = 1; m <= md_.NM; ++m)
        if (md_.ISEC(m) == s) ++sf.members;
      if (const SectionResidual* r = md_.residual(s)) {
        const ResidualSums t = residual_sums(md_, s, *r);
        sf.residual = true;
        sf.residual_X = r->X;
        sf.residual_force = t.force;
        sf.residual_moment = t.moment;
      }
      facts_.sections.push_back(sf);
    }
    return true;
  }

  // Group by group up to the F card, as the driver reads them. A refused
  // card or one that does not decode is reported and the reader goes on.
  void load_history() {
    LoadGroup g;
    DeckIn& deck = units_.deck();
    for (;;) {
      const long before = deck.line_number();
      try {
        if (!read_load_group(md_, units_, kComment, g)) return;
        ++facts_.groups;
        facts_.steps += g.NSTEP;
        if (g.arc_length()) ++facts_.arc_groups;
      } catch (const DeckRejected&) {
      } catch (const FileError& e) {
        check_.add(deck.line_number(), e.what(), 2);
        if (deck.line_number() == before) return;  // the end of the deck
      }
    }
  }

  std::string path_;
  DeckCheck& check_;
  DeckFacts& facts_;
  Units units_;
  std::unique_ptr<Stores> stores_ = std::make_unique<Stores>();
  Model md_;
  FibreStore fs_;
  RunControl ctl_;
  Sizes sz_;
};

}  // namespace

CheckResult check_deck(const std::string& path) {
  CheckResult r;
  DeckCheck check;
  {
    Checker c(path, check, r.facts);
    c.run();
  }
  r.status = check.status();
  r.errors = check.errors();
  r.warnings = check.warnings();
  r.findings = check.findings();
  // By deck line; the reports on the model as a whole come last.
  const auto key = [](const DeckFinding& f) { return f.line > 0 ? f.line : LONG_MAX; };
  std::stable_sort(r.findings.begin(), r.findings.end(),
                   [&](const DeckFinding& a, const DeckFinding& b) { return key(a) < key(b); });
  return r;
}

}  // namespace nlf
