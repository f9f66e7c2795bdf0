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

}  // namespace

ListingSummary parse_listing(const std::string& name, const std::vector<std::string>& lines) {
  ListingSummary sum;
  double tol = 0;
  std::vector<PrescribedFreedom> pattern;
  bool new_pattern = true;
  // The attempt at a step that is read: the group that counts it (-1:
  // none, or no attempt open); whether a card followed its heading.
  int counted_in = -1;
  bool open = false, card_after = false;
  // Takes back the open attempt: cut back, or its heading repeated.
  const auto drop_attempt = [&] {
    if (counted_in >= 0) {
      ListedGroup& g = sum.groups[static_cast<std::size_t>(counted_in)];
      if (--g.steps == 0) g.first_step = 0;
    }
    sum.steps.pop_back();
    counted_in = -1;
    open = false;
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const FieldSource src{name, static_cast<long>(i + 1)};
    if (line.size() >= 2 && line[0] == ' ' && line[1] >= 'A' && line[1] <= 'Z' &&
        (line.size() == 2 || line[2] == ' ' || line[2] == '-' || (line[2] >= '0' && line[2] <= '9')))
      card_after = true;  // an echoed card: the load history was read
    if (starts_with(line, " CUT BACK:")) {
      if (open) drop_attempt();
      continue;
    }
    if (card_echo(line, 'L')) {
      try {
        const Card c = decode_card(card_columns(line.substr(1)), src);
        if (c.i1 != 0) sum.max_iterations = c.i1 < 0 ? -c.i1 : c.i1;
        if (c.i2 != 0) sum.min_iterations = c.i2 < 0 ? -c.i2 : c.i2;
      } catch (const FileError&) {
      }
      new_pattern = true;
      continue;
    }
    // The echo of a load-group card: one blank, then the card.
    if (line.size() > 2 && line[0] == ' ' && (line[1] == 'A' || line[1] == 'E') && line[2] == ' ') {
      try {
        const Card c = decode_card(card_columns(line.substr(1)), src);
        tol = c.X(1);
        ListedGroup g;
        g.card = line[1];
        g.arc_length = c.X(2) != 0;
        g.prescribed = pattern;
        sum.groups.push_back(g);
      } catch (const FileError&) {
        // Not a card the run accepted; the run stopped there.
      }
      new_pattern = true;
      continue;
    }
    if (card_echo(line, 'B')) {
      if (new_pattern) pattern.clear();
      new_pattern = false;
      try {
        const Card c = decode_card(card_columns(line.substr(1)), src);
        const int code = c.i2 < 0 ? -c.i2 : c.i2;
        const int digits[3] = {code / 100 % 10, code / 10 % 10, code % 10};
        for (int d = 1; d <= 3; ++d) {
          std::erase_if(pattern, [&](const PrescribedFreedom& f) { return f.joint == c.i1 && f.dir == d; });
          if (digits[d - 1] != 0 && c.X(d) != 0) pattern.push_back({c.i1, d});
        }
      } catch (const FileError&) {
      }
      continue;
    }
    if (line.size() > 2 && line[0] == ' ' && line[1] >= 'C' && line[1] <= 'Z' && line[1] != 'E' &&
        (line[2] == ' ' || (line[2] >= '0' && line[2] <= '9'))) {
      new_pattern = true;  // another card between B cards
      continue;
    }
    if (starts_with(line, " STEP") && cols(line, 9, 3) == " ( ") {
      const auto step = read_int(cols(line, 5, 4));
      if (!step) throw ResultError(where(name, i) + ": step number unreadable");
      if (open && sum.steps.back().step == *step) drop_attempt();
      sum.steps.push_back({*step, 0, 0, tol, true, 0});
      open = true;
      card_after = false;
      counted_in = -1;
      if (!sum.groups.empty()) {
        ListedGroup& g = sum.groups.back();
        if (g.steps++ == 0) g.first_step = *step;
        counted_in = static_cast<int>(sum.groups.size()) - 1;
      }
      continue;
    }
    // Iteration line: 2X,I3,2X,4E20.4 (the norms, their ratio, the
    // load-factor increment).
    if (!open || line.size() != 87 || !starts_with(line, "  ")) continue;
    const auto iter = read_int(cols(line, 2, 3));
    const auto ratio = read_real(cols(line, 47, 20));
    if (!iter || !ratio) continue;
    StepIterations& s = sum.steps.back();
    s.iterations = *iter;
    s.ratio = *ratio;
    s.converged = *ratio < s.tolerance || std::isnan(*ratio);
    if (const auto dl = read_real(cols(line, 67, 20)); dl && std::isfinite(*dl)) s.dlambda += *dl;
  }
  // Every step before the last was done, or the next would not have begun.
  // The last one was done when its last iteration line stopped the
  // iterations, or when the load history was read after it.
  if (open && !card_after) {
    StepIterations& s = sum.steps.back();
    const bool stop = s.iterations > sum.min_iterations &&
                      (s.iterations >= sum.max_iterations || s.ratio < s.tolerance || std::isnan(s.ratio));
    if (!stop) {
      s.done = false;
      s.converged = false;
    }
  }
  return sum;
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
