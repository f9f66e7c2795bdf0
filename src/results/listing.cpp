#include "results/listing.h"

#include <cmath>

#include "io/card.h"
#include "io/stop.h"

namespace nlf::results {

long ListingSummary::iterations() const {
  long n = 0;
  for (const StepIterations& s : steps) n += s.iterations;
  return n;
}

std::vector<int> ListingSummary::not_converged() const {
  std::vector<int> v;
  for (const StepIterations& s : steps)
    if (s.done && !s.converged) v.push_back(s.step);
  return v;
}

int ListingSummary::completed() const {
  int n = 0;
  for (const StepIterations& s : steps) n += s.done ? 1 : 0;
  return n;
}

int ListingSummary::stopped_in() const {
  for (const StepIterations& s : steps)
    if (!s.done) return s.step;
  return 0;
}

const StepIterations* ListingSummary::step(int number) const {
  for (const StepIterations& s : steps)
    if (s.step == number) return &s;
  return nullptr;
}

namespace {

bool card_echo(std::string_view line, char letter) {
  return line.size() > 2 && line[0] == ' ' && line[1] == letter &&
         (line[2] == ' ' || line[2] == '-' || (line[2] >= '0' && line[2] <= '9'));
}

// The numbers of a line in their order, read between the words.
std::vector<double> numbers(std::string_view line) {
  std::vector<double> v;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ') ++j;
    if (const auto x = read_real(line.substr(i, j - i))) v.push_back(*x);
    i = j;
  }
  return v;
}

std::string lower(std::string_view s) {
  std::string t(trim(s));
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return t;
}

// "ERROR ... STEP    5: SEGMENT 1 OF MEMBER    3 HAS NO LENGTH LEFT": the
// words after the step, blanks run together.
std::string stop_words(std::string_view line) {
  const std::size_t colon = line.find(": ");
  std::string t, words = lower(colon == std::string_view::npos ? line.substr(1) : line.substr(colon + 2));
  for (char c : words)
    if (c != ' ' || (!t.empty() && t.back() != ' ')) t += c;
  return t;
}

// The listing read line by line: the echoed cards of the load history, the
// step headings with their iteration lines, and the lines that end a group
// or the run.
class Parser {
 public:
  explicit Parser(const std::string& name) : name_(name) {}

  void line(std::size_t i, std::string_view line) {
    const FieldSource src{name_, static_cast<long>(i + 1)};
    if (line.size() >= 2 && line[0] == ' ' && line[1] >= 'A' && line[1] <= 'Z' &&
        (line.size() == 2 || line[2] == ' ' || line[2] == '-' || (line[2] >= '0' && line[2] <= '9')))
      card_after_ = true;  // an echoed card: the load history was read
    if (starts_with(line, " CUT BACK:")) {
      stop_.clear();  // a failed attempt tried again, not a stop
      if (open_) drop_attempt();
    } else if (starts_with(line, " END OF THE GROUP:")) {
      group_end(line);
    } else if (starts_with(line, " ERROR") || starts_with(line, " DIAG")) {
      stop_ = starts_with(line, " DIAG") ? "a pivot of the stiffness matrix is not positive" : stop_words(line);
    } else if (card_echo(line, 'L')) {
      limits(line, src);
    } else if (line.size() > 2 && line[0] == ' ' && (line[1] == 'A' || line[1] == 'E') && line[2] == ' ') {
      group_card(line, src);
    } else if (card_echo(line, 'B')) {
      pattern_card(line, src);
    } else if (line.size() > 1 && line[0] == ' ' && line[1] == 'F' && trim(line.substr(2)).empty()) {
      sum_.finished = true;
    } else if (line.size() > 2 && line[0] == ' ' && line[1] >= 'C' && line[1] <= 'Z' && line[1] != 'E' &&
               (line[2] == ' ' || (line[2] >= '0' && line[2] <= '9'))) {
      new_pattern_ = true;  // another card between B cards
    } else if (starts_with(line, " STEP") && cols(line, 9, 3) == " ( ") {
      heading(i, line);
    } else {
      iteration(line);
    }
  }

  ListingSummary finish() {
    // Every step before the last was done, or the next would not have begun.
    // The last one was done when its last iteration line stopped the
    // iterations, or when the load history was read after it.
    if (open_ && !card_after_) {
      StepIterations& s = sum_.steps.back();
      const bool stop = s.iterations > sum_.min_iterations &&
                        (s.iterations >= sum_.max_iterations || s.ratio < s.tolerance || std::isnan(s.ratio));
      if (!stop) {
        s.done = false;
        s.converged = false;
      }
    }
    ends();
    return std::move(sum_);
  }

 private:
  // Takes back the open attempt: cut back, or its heading repeated.
  void drop_attempt() {
    if (counted_in_ >= 0) {
      ListedGroup& g = sum_.groups[static_cast<std::size_t>(counted_in_)];
      if (--g.steps == 0) g.first_step = 0;
    }
    sum_.steps.pop_back();
    counted_in_ = -1;
    open_ = false;
  }

  void limits(std::string_view line, const FieldSource& src) {
    try {
      const Card c = decode_card(card_columns(line.substr(1)), src);
      if (c.i1 != 0) sum_.max_iterations = c.i1 < 0 ? -c.i1 : c.i1;
      if (c.i2 != 0) sum_.min_iterations = c.i2 < 0 ? -c.i2 : c.i2;
    } catch (const FileError&) {
    }
    new_pattern_ = true;
  }

  // The echo of a load-group card: one blank, then the card.
  void group_card(std::string_view line, const FieldSource& src) {
    try {
      const Card c = decode_card(card_columns(line.substr(1)), src);
      tol_ = c.X(1);
      ListedGroup g;
      g.card = line[1];
      g.arc_length = c.X(2) != 0;
      g.planned = c.i2 > 1 ? c.i2 : 1;
      g.prescribed = pattern_;
      sum_.groups.push_back(g);
    } catch (const FileError&) {
      // Not a card the run accepted; the run stopped there.
    }
    new_pattern_ = true;
  }

  void pattern_card(std::string_view line, const FieldSource& src) {
    if (new_pattern_) pattern_.clear();
    new_pattern_ = false;
    try {
      const Card c = decode_card(card_columns(line.substr(1)), src);
      const int code = c.i2 < 0 ? -c.i2 : c.i2;
      const int digits[3] = {code / 100 % 10, code / 10 % 10, code % 10};
      for (int d = 1; d <= 3; ++d) {
        std::erase_if(pattern_, [&](const PrescribedFreedom& f) { return f.joint == c.i1 && f.dir == d; });
        if (digits[d - 1] != 0 && c.X(d) != 0) pattern_.push_back({c.i1, d});
      }
    } catch (const FileError&) {
    }
  }

  void heading(std::size_t i, std::string_view line) {
    const auto step = read_int(cols(line, 5, 4));
    if (!step) throw ResultError(where(name_, i) + ": step number unreadable");
    if (open_ && sum_.steps.back().step == *step) drop_attempt();
    sum_.steps.push_back({*step, 0, 0, tol_, true, 0});
    open_ = true;
    card_after_ = false;
    counted_in_ = -1;
    stop_.clear();
    if (!sum_.groups.empty()) {
      ListedGroup& g = sum_.groups.back();
      if (g.steps++ == 0) g.first_step = *step;
      counted_in_ = static_cast<int>(sum_.groups.size()) - 1;
    }
  }

  // Iteration line: 2X,I3,2X,4E20.4 (the norms, their ratio, the
  // load-factor increment).
  void iteration(std::string_view line) {
    if (!open_ || line.size() != 87 || !starts_with(line, "  ")) return;
    const auto iter = read_int(cols(line, 2, 3));
    const auto ratio = read_real(cols(line, 47, 20));
    if (!iter || !ratio) return;
    StepIterations& s = sum_.steps.back();
    s.iterations = *iter;
    s.ratio = *ratio;
    s.converged = *ratio < s.tolerance || std::isnan(*ratio);
    if (const auto dl = read_real(cols(line, 67, 20)); dl && std::isfinite(*dl)) s.dlambda += *dl;
  }

  // "END OF THE GROUP: LOAD FACTOR ... IS BELOW ... OF THE LARGEST ... AT
  // STEP n", "... FIBRE STRAIN ... AT MEMBER m STATION s EXCEEDS THE LIMIT
  // ...", "... STEP n <what failed> WITH THE ARC LENGTH AT ITS FLOOR ...".
  void group_end(std::string_view line) {
    if (sum_.groups.empty()) return;
    GroupEnd& e = sum_.groups.back().end;
    const std::string_view rest = line.substr(18);
    const std::vector<double> v = numbers(rest);
    if (rest.find("WITH THE ARC LENGTH AT ITS FLOOR") != std::string_view::npos) {
      // The failed step is not taken: the next group starts with its number.
      if (open_) drop_attempt();
      stop_.clear();
      e.kind = GroupEnd::Kind::kFloor;
      const std::size_t from = rest.find_first_not_of(" 0123456789", rest.find("STEP") + 4);
      e.cause = lower(rest.substr(from, rest.find(" WITH THE ARC") - from));
      if (!v.empty()) e.value = v.back();
    } else if (starts_with(trim(rest), "LOAD FACTOR") && v.size() >= 4) {
      e.kind = GroupEnd::Kind::kDrop;
      e.value = v[0];
      e.limit = v[1];
      e.peak = v[2];
      e.peak_step = static_cast<int>(v[3]);
    } else if (starts_with(trim(rest), "FIBRE STRAIN") && v.size() >= 4) {
      e.kind = GroupEnd::Kind::kStrainLimit;
      e.value = v[0];
      e.member = static_cast<int>(v[1]);
      e.station = static_cast<int>(v[2]);
      e.limit = v[3];
    }
  }

  // Why every group ended: what the run said, else the card after its
  // steps, else the stop of the run.
  void ends() {
    for (std::size_t k = 0; k < sum_.groups.size(); ++k) {
      ListedGroup& g = sum_.groups[k];
      const bool last = k + 1 == sum_.groups.size();
      const int last_step = g.steps > 0 ? g.first_step + g.steps - 1 : 0;
      if (g.end.kind != GroupEnd::Kind::kStopped) {  // the run's line said why
        g.end.step = last_step;
        continue;
      }
      if (!last || (sum_.finished && stop_.empty())) {
        g.end.kind = GroupEnd::Kind::kSteps;
        g.end.step = last_step;
        continue;
      }
      g.end.kind = GroupEnd::Kind::kStopped;
      g.end.cause = stop_;
      g.end.step = sum_.stopped_in();
      if (g.end.step == 0 && !stop_.empty()) g.end.step = last_step + 1;  // stopped in the step after
    }
  }

  const std::string& name_;
  ListingSummary sum_;
  double tol_ = 0;
  std::vector<PrescribedFreedom> pattern_;
  bool new_pattern_ = true;
  // The attempt at a step that is read: the group that counts it (-1:
  // none, or no attempt open); whether a card followed its heading.
  int counted_in_ = -1;
  bool open_ = false, card_after_ = false;
  std::string stop_;  // what stopped the run, as the listing says it
};

}  // namespace

ListingSummary parse_listing(const std::string& name, const std::vector<std::string>& lines) {
  Parser p(name);
  for (std::size_t i = 0; i < lines.size(); ++i) p.line(i, lines[i]);
  return p.finish();
}

ListingSummary read_listing(const std::filesystem::path& p) {
  return parse_listing(p.filename().string(), read_text_lines(p));
}

std::string step_ranges(const std::vector<int>& steps) {
  std::string s;
  for (std::size_t i = 0; i < steps.size();) {
    std::size_t j = i;
    while (j + 1 < steps.size() && steps[j + 1] == steps[j] + 1) ++j;
    if (!s.empty()) s += ", ";
    s += std::to_string(steps[i]);
    if (j > i) {
      s += '-';
      s += std::to_string(steps[j]);
    }
    i = j + 1;
  }
  return s;
}

}  // namespace nlf::results
