#include "results/deck.h"

#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <regex>
#include <utility>

#include "io/card.h"
#include "io/stop.h"
#include "results/text.h"

namespace nlf::results {

std::array<double, 2> node_point(double xa, double ya, double xb, double yb, double t, double bow) {
  const double len = std::hypot(xb - xa, yb - ya);
  if (len == 0) return {xa, ya};
  const double c = (xb - xa) / len, s = (yb - ya) / len;
  const double e = bow * len;
  const double w = std::sin(std::numbers::pi * t) * e;
  return {xa + c * t * len - s * w, ya + s * t * len + c * w};
}

namespace {

// The name in a comment card "$ section 3: HEB240" (exactly one blank
// after the '$' and after "section" and the colon), with its section
// number; nullopt for any other card.
std::optional<std::pair<int, std::string>> section_name(const std::string& cols) {
  constexpr std::string_view kHead = "$ section ";
  if (!starts_with(cols, kHead)) return std::nullopt;
  std::size_t i = kHead.size(), d = i;
  while (i < cols.size() && cols[i] >= '0' && cols[i] <= '9') ++i;
  if (i == d || i - d > 3 || cols.compare(i, 2, ": ") != 0) return std::nullopt;
  const std::string name(trim(std::string_view(cols).substr(i + 2)));
  if (name.empty()) return std::nullopt;
  return std::pair{std::stoi(cols.substr(d, i - d)), name};
}

// The heading of a note card "$ imperfections: ..." with the text after
// the colon; nullopt for any other card.
std::optional<std::pair<std::string, std::string>> note_card(const std::string& cols) {
  for (const std::string_view head : {"imperfections", "residual stresses", "load groups"}) {
    if (!starts_with(cols, "$ ") || cols.compare(2, head.size(), head) != 0 ||
        cols.compare(2 + head.size(), 1, ":") != 0)
      continue;
    return std::pair{std::string(head), std::string(trim(std::string_view(cols).substr(3 + head.size())))};
  }
  return std::nullopt;
}

// A watch code J.KD names joint J (the integer part of code + 0.5, as the
// run decodes it).
void mark_watched(Frame& f, const std::vector<Card>& cards) {
  for (const Card& c : cards)
    for (int k = 1; k <= 7; ++k) {
      const double code = c.X(k);
      if (!(code >= 0.5 && code < 1e6)) continue;
      const int number = static_cast<int>(code + 0.5);
      for (Joint& j : f.joints)
        if (j.number == number) j.watched = true;
    }
}

// "group 2 adds its total load in 5 steps", as often as the note says it.
std::map<int, int> total_groups(const std::string& note) {
  static const std::regex said(R"(group (\d+) adds its total load in (\d+) steps)");
  std::map<int, int> groups;
  for (std::sregex_iterator it(note.begin(), note.end(), said), end; it != end; ++it)
    groups[std::stoi((*it)[1])] = std::stoi((*it)[2]);
  return groups;
}

bool section_card(char ch) { return std::string_view("THIORC").find(ch) != std::string_view::npos; }

// A comment card: the start of a note "$ imperfections: ..." or a card
// "$   ..." that continues the note before it. Returns the note that the
// next card may continue.
std::string* add_note(Frame& f, const std::string& cols, std::string* note) {
  if (auto n = note_card(cols)) {
    std::string& text = f.model_notes[n->first];
    if (!text.empty() && !n->second.empty()) text += ' ';
    text += n->second;
    return &text;
  }
  if (!note || !starts_with(cols, "$   ")) return nullptr;
  const std::string_view more = trim(std::string_view(cols).substr(1));
  if (!more.empty()) {
    *note += ' ';
    *note += more;
  }
  return note;
}

// An M card: the member between two joints of earlier J cards, its node
// points on its bow.
Member member_card(const Card& c, Frame& f, const std::map<int, int>& jmap, const std::string& at) {
  const auto ia = jmap.find(c.i1), ib = jmap.find(c.i2);
  if (ia == jmap.end() || ib == jmap.end())
    throw ResultError(at + ": member " + std::to_string(f.members.size() + 1) + " names joint " +
                      std::to_string(ia == jmap.end() ? c.i1 : c.i2) + ", which no earlier J card defines");
  Member m;
  m.a = ia->second;
  m.b = ib->second;
  const Joint& ja = f.joints[static_cast<std::size_t>(m.a)];
  const Joint& jb = f.joints[static_cast<std::size_t>(m.b)];
  if (ja.x == jb.x && ja.y == jb.y)
    f.warnings.push_back(at + ": member " + std::to_string(f.members.size() + 1) + " has zero length");
  m.x[0] = ja.x;
  m.y[0] = ja.y;
  for (int k = 1; k <= 4; ++k) {
    const auto p = node_point(ja.x, ja.y, jb.x, jb.y, c.X(k), c.X(5));
    m.x[static_cast<std::size_t>(k)] = p[0];
    m.y[static_cast<std::size_t>(k)] = p[1];
  }
  m.x[5] = jb.x;
  m.y[5] = jb.y;
  m.section = std::abs(c.i3);
  return m;
}

// A B card of the load history: the directions it prescribes (held at
// zero or pushed) and the loads it puts on its joint.
void pattern_card(const Card& c, Frame& f, const std::map<int, int>& jmap, const std::string& at) {
  const auto ij = jmap.find(c.i1);
  if (ij == jmap.end()) {
    // A continued run has its joints from the restart file.
    if (f.restart_in == 0)
      f.warnings.push_back(at + ": B card names joint " + std::to_string(c.i1) + ", which is not defined");
    return;
  }
  const int code = std::abs(c.i2);
  Joint& j = f.joints[static_cast<std::size_t>(ij->second)];
  const int digit[3] = {code / 100 % 10, code / 10 % 10, code % 10};
  for (int d = 0; d < 3; ++d) {
    const unsigned bit = 1u << d;
    if (!digit[d]) {
      if (c.X(d + 1) != 0) j.loaded = true;
      continue;
    }
    j.fixity |= bit;
    (c.X(d + 1) == 0 ? j.held : j.pushed) |= bit;
  }
  if (c.X(1) != 0) f.lateral = true;
}

// The member loads of the load history's patterns: the first B or U card
// after any other card starts a pattern, and the first U card of a pattern
// replaces the member loads kept from the patterns before it.
struct MemberLoadPatterns {
  bool fresh = true;   // the next B or U card starts a pattern
  bool loads = false;  // the pattern under way has given member loads
  void next() { fresh = true; }
  void start() {
    if (!fresh) return;
    fresh = false;
    loads = false;
  }
  void member_load(const Card& c, Frame& f) {
    const int n = static_cast<int>(f.members.size());
    const int last = c.i2 == 0 ? c.i1 : c.i2;
    if (c.i1 < 1 || last > n || last < c.i1) return;  // the run refuses such a card
    if (!loads) {
      for (Member& m : f.members) m.qx = m.qy = m.along = m.across = 0;
      loads = true;
    }
    for (int m = c.i1; m <= last; ++m) {
      Member& d = f.members[static_cast<std::size_t>(m - 1)];
      (c.i3 == 1 ? d.along : d.qx) += c.X(1);
      (c.i3 == 1 ? d.across : d.qy) += c.X(2);
    }
  }
};

}  // namespace

Frame parse_frame(const std::string& name, const std::vector<std::string>& lines) {
  Frame f;
  std::optional<std::pair<int, std::string>> named;  // the comment card just before
  std::map<int, int> jmap;  // user number -> index of the latest J card
  std::vector<Card> watch_cards;
  bool control = false, history = false;
  std::string* note = nullptr;  // the note that a card "$   ..." continues
  MemberLoadPatterns patterns;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string cols = card_columns(lines[i]);
    if (cols[0] == kComment) {
      named = section_name(cols);
      note = add_note(f, cols, note);
      continue;
    }
    note = nullptr;
    const auto name_of_card = std::exchange(named, std::nullopt);
    const FieldSource src{name, static_cast<long>(i + 1)};
    const std::string at = name + ", line " + std::to_string(i + 1);
    try {
      if (!control) {
        const ControlCard cc = decode_control_card(cols, src);
        std::string t = cc.title;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        f.title = t;
        f.restart_in = cc.iresin;
        f.restart_out = cc.iresout;
        control = true;
        continue;
      }
      const char ch = cols[0];
      if (ch == 'W') {
        ++f.watch_cards;
        try {
          watch_cards.push_back(decode_card(cols, src));
        } catch (const FileError&) {
          // The run refuses such a card; the picture numbers its joints without it.
        }
      }
      if (ch == 'L') history = true;
      if (!history && section_card(ch) && name_of_card) {
        const Card c = decode_card(cols, src);
        if (c.i1 == name_of_card->first) f.section_names[c.i1] = name_of_card->second;
        continue;
      }
      if (history) {
        // A pattern of B and U cards; any other card but a V card ends it.
        if (ch != 'B' && ch != 'U') {
          if (ch != 'V') patterns.next();
          continue;
        }
        patterns.start();
        if (ch == 'U') {
          patterns.member_load(decode_card(cols, src), f);
          continue;
        }
      } else if (ch != 'J' && ch != 'M') {
        continue;
      }

      const Card c = decode_card(cols, src);
      if (ch == 'J') {
        if (jmap.count(c.i1))
          f.warnings.push_back(at + ": joint " + std::to_string(c.i1) +
                               " defined again; later cards use this definition");
        jmap[c.i1] = static_cast<int>(f.joints.size());
        f.joints.push_back({c.i1, c.X(1), c.X(2), 0});
      } else if (ch == 'M') {
        f.members.push_back(member_card(c, f, jmap, at));
      } else {
        pattern_card(c, f, jmap, at);
      }
    } catch (const FileError& e) {
      throw ResultError(e.what());
    }
  }
  if (!control) throw ResultError(name + ": no control card; the deck is empty");
  mark_watched(f, watch_cards);
  if (const auto n = f.model_notes.find("load groups"); n != f.model_notes.end()) f.total_groups = total_groups(n->second);
  return f;
}

Frame read_frame(const std::filesystem::path& deck) {
  return parse_frame(deck.string(), read_text_lines(deck));
}

std::vector<int> curve_units(const Frame& frame, const std::filesystem::path& run_dir) {
  std::vector<int> units;
  if (frame.restart_in == 0) {
    for (int k = 0; k < frame.watch_cards; ++k) units.push_back(kFirstCurveUnit + k);
    return units;
  }
  for (int u = kFirstCurveUnit; u < kFirstCurveUnit + 1000; ++u) {
    if (u == frame.restart_in || u == frame.restart_out) continue;
    if (!std::filesystem::exists(run_dir / ("fort." + std::to_string(u)))) break;
    units.push_back(u);
  }
  return units;
}

}  // namespace nlf::results
