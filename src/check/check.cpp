#include "check/check.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "check/mechanism.h"
#include "io/stop.h"
#include "io/units.h"
#include "model/plausibility.h"
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

// The deck line of the n-th card with the letter `ch` in column 1 (0 when
// the deck has fewer).
long nth_card_line(const std::string& path, char ch, int n) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return 0;
  long line = 1, found = 0;
  int seen = 0;
  bool start = true;
  for (int c = std::getc(f); c != EOF && found == 0; c = std::getc(f)) {
    if (start && c == ch && ++seen == n) found = line;
    start = (c == '\n');
    if (start) ++line;
  }
  std::fclose(f);
  return found;
}

// The reads of one check, in the order of a run. Each step reports what
// it finds to the DeckCheck; a step after which nothing more can be read
// returns false.
class Checker {
 public:
  Checker(const std::string& path, const Capacity& asked, DeckCheck& check, DeckFacts& facts)
      : path_(path), asked_(asked), check_(check), facts_(facts) {
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
    // Read as far as a joint number allows; the capacity asked for is
    // weighed below, as the run would weigh it.
    if (ctl_.IRESIN != 0) {
      sz_ = read_restart_sizes(units_, ctl_, MAXJOINTNO);
      sz_.NRHS = scan_load_columns(units_, kComment, ctl_.control_line);
    } else {
      const int w = watch_lines(path_);
      for (int u = 61; u <= 60 + w; ++u) units_.open_text(u, kNullDevice);
      try {
        sz_ = counting_pass(units_, kComment, MAXJOINTNO);
      } catch (const Stop&) {
        // The one stop of the counting pass: the 1000th J card.
        const long line = units_.deck().line_number();
        check_.add(line,
                   deck_place(path_, line, 0, 0,
                              "J card: more than " + std::to_string(MAXJOINTNO) +
                                  " joints, the most a joint number of three columns allows"),
                   1);
        return false;
      }
    }
    const Layout L = compute_layout(sz_);
    const Capacity fixed;
    facts_.need_integer = L.ilast;
    facts_.need_real = L.rlast;
    facts_.need_joints = sz_.MUMJ;
    facts_.fixed_holds = sz_.MUMJ <= fixed.joints && integer_workspace(L, fixed).fits() &&
                         real_workspace(L, fixed).fits();
    facts_.follows = asked_.follows;
    const Capacity cap = capacity_for(asked_, sz_);
    bool fits = true;
    if (sz_.MUMJ > cap.joints) {
      const long line = nth_card_line(path_, 'J', cap.joints + 1);
      check_.add(line,
                 deck_place(path_, line, 0, 0,
                            "J card: more than " + std::to_string(cap.joints) +
                                " joints, the most the fixed stores hold (the deck has " +
                                std::to_string(sz_.MUMJ) + "; --capacity auto sizes the stores from the deck)"),
                 1);
      fits = false;
    }
    for (const WorkspaceNeed& w : {integer_workspace(L, cap), real_workspace(L, cap)}) {
      if (w.fits()) continue;
      check_.add(0, path_ + ": " + w.text() + (cap.follows ? "" : " (--capacity auto sizes the stores from the deck)"),
                 1);
      fits = false;
    }
    if (!restart_units(sz_.MUMW) || !fits) return false;

    const MemberStatePlan plan = member_state_plan(sz_, false, cap.nsymax);
    if (!plan.fits) {
      check_.add(0, path_ + ": the member-state store is too small for one member", 1);
      return false;
    }
    stores_ = std::make_unique<Stores>(cap);
    bind_model(md_, *stores_, sz_);
    facts_.klast = plan.KLAST;
    facts_.in_memory = plan.in_memory;
    facts_.nsymax = cap.nsymax;
    fs_.setup(stores_->FSTORE.data(), plan.members_held, plan.in_memory, units_);
    return true;
  }

  bool structure() {
    if (ctl_.IRESIN != 0) load_state(units_.records(ctl_.IRESIN), md_, fs_);
    read_structure(md_, fs_, units_, kComment, ctl_.control_line, ctl_.IRESIN != 0);

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
    for (const std::string& w : plausibility_findings(md_)) check_.add(0, path_ + ": warning: " + w, 0);
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
        const bool more = read_load_group(md_, units_, kComment, g);
        if (g.buckling.asked) ++facts_.buckling;
        count_loaded_members();
        if (!more) return;
        // The supports of the first group are those of the first solve.
        if (facts_.groups == 0 && ctl_.IRESIN == 0 && check_.errors() == 0)
          for (const std::string& w : mechanism_findings(md_)) check_.add(0, path_ + ": warning: " + w, 0);
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

  // Members with a member load in the pattern just read, counted once.
  void count_loaded_members() {
    if (md_.MLOADS == nullptr) return;
    loaded_.resize(static_cast<std::size_t>(std::max(md_.NM, 0)), 0);
    for (int m = 1; m <= md_.NM; ++m)
      if (!md_.MLOADS->pattern[static_cast<std::size_t>(m - 1)].zero() && !loaded_[static_cast<std::size_t>(m - 1)]) {
        loaded_[static_cast<std::size_t>(m - 1)] = 1;
        ++facts_.loaded_members;
      }
  }

  std::vector<char> loaded_;
  std::string path_;
  Capacity asked_;
  DeckCheck& check_;
  DeckFacts& facts_;
  Units units_;
  std::unique_ptr<Stores> stores_;
  Model md_;
  FibreStore fs_;
  RunControl ctl_;
  Sizes sz_;
};

}  // namespace

Capacity check_capacity_option(const std::string& value) {
  if (value == "auto") return Capacity::following();
  long long mib = 0;
  bool digits = !value.empty() && value.size() <= 7;
  for (char ch : value) {
    digits = digits && ch >= '0' && ch <= '9';
    if (digits) mib = 10 * mib + (ch - '0');
  }
  if (!digits || mib < 1 || mib > (1LL << 20))
    throw std::invalid_argument("option '--capacity' needs 'auto' or a size in MiB from 1 to 1048576, not '" +
                                value + "'");
  return Capacity::following(mib << 20);
}

CheckResult check_deck(const std::string& path, const Capacity& capacity) {
  CheckResult r;
  DeckCheck check;
  {
    Checker c(path, capacity, check, r.facts);
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
