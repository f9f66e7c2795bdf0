#include "deck/control.h"

#include <algorithm>
#include <array>

#include "deck/history.h"
#include "io/banner.h"
#include "io/stop.h"
#include "model/deck_error.h"

namespace nlf {

namespace {


bool is_comment(const std::string& line, char comment) {
  return !line.empty() && line[0] == comment;
}

// Decodes a history code JJJ.fg into its joint, kind and direction digits.
struct Code {
  int J, f, g;
};
Code decode_code(double x) {
  const int J = static_cast<int>(x + 0.5);
  const int f = static_cast<int>(10 * x + 0.5) - 10 * J;
  const int g = static_cast<int>(100 * x + 0.5) - 100 * J - 10 * f;
  return {J, f, g};
}

// Back to the start of the deck, then past its first `lines` lines.
void rewind_past(Units& units, long lines) {
  DeckIn& deck = units.deck();
  deck.rewind();
  std::string line;
  for (long i = 0; i < lines && deck.next(line); ++i) {
  }
}

}  // namespace

RunControl read_control_card(Units& units) {
  DeckIn& deck = units.deck();
  std::string line;
  do {
    deck.next_or_fail(line, "the control card");
  } while (is_comment(line, kComment));

  const ControlCard cc = decode_control_card(line, deck.source());
  RunControl rc;
  rc.IRESIN = cc.iresin;
  rc.IRESOUT = cc.iresout;
  rc.NPRINT = cc.nprint == 0 ? 1 : cc.nprint;
  rc.RCTL = cc.rctl;
  rc.TITLE.replace(0, std::min<std::size_t>(cc.title.size(), 132), cc.title, 0, 132);
  rc.control_line = deck.line_number();

  static const Format title("('1',10X,A)");
  static const Format values("(1X,3I3,F5.1)");
  TextOut& out = units.listing();
  out.write(title, {std::string_view(rc.TITLE).substr(0, 60)});
  out.write(values, {rc.IRESIN, rc.IRESOUT, rc.NPRINT, rc.RCTL});
  return rc;
}

std::string history_labels(const Card& c) {
  struct Kind {
    int f, g;
    const char* text;
  };
  static constexpr std::array<Kind, 6> kinds = {{{1, 1, "F.X(TON)"},
                                                 {1, 2, "F.Y(TON)"},
                                                 {1, 3, "F.R(TON-CM)"},
                                                 {2, 1, "D.X(MM)"},
                                                 {2, 2, "D.Y(MM)"},
                                                 {2, 3, "D.R(1/100)"}}};
  static const Format joint("(I3)");
  std::string labels(7 * 14, ' ');
  for (int k = 1; k <= 7; ++k) {
    const double x = c.X(k);
    // Zero, and codes that the structure input refuses (negative, or a joint
    // above 999), have no label; they are not decoded, as their joint part
    // need not fit an integer.
    if (!(x > 0 && x + 0.5 < MAXJOINTNO + 1)) continue;
    const Code code = decode_code(x);
    for (const Kind& kd : kinds) {
      if (kd.f != code.f || kd.g != code.g) continue;
      std::string label = joint.lines({code.J}).front() + kd.text;
      label.resize(14, ' ');
      labels.replace(14 * (k - 1), 14, label);
    }
  }
  return labels;
}

// The path fields of a group card, checked by the passes over the whole
// deck. A card that a deck check refuses is recorded there, and the pass
// goes on counting: the refusal is no stop of the pass.
static void group_card(Units& units, const Card& c) {
  try {
    check_group_card(units, c);
  } catch (const DeckRejected&) {
  }
}

Sizes counting_pass(Units& units, char comment, int joints) {
  Sizes sz;
  sz.MUMP = 5;
  sz.MUMT = 20;
  sz.NRHS = 1;
  std::array<int, MAXJOINTNO + 1> KJMAP{};
  std::array<int, 3 * MAXJOINTNO + 1> KEQ{};  // 1-based

  DeckIn& deck = units.deck();
  TextOut& listing = units.listing();
  std::string line;
  while (deck.next(line)) {
    if (is_comment(line, comment)) continue;
    const Card c = decode_deck_card(units, line, deck.source(), true);
    switch (c.ch) {
      case 'K':
        ++sz.MUMR;
        break;
      case 'T':
      case 'H':
      case 'I':
      case 'R':
      case 'O':
        ++sz.MUMS;
        break;
      case 'J': {
        ++sz.MUMJ;
        if (sz.MUMJ > joints) {
          listing.message({"ERROR ... NUMBER OF POINTS GT " + std::to_string(joints)});
          if (units.findings() != nullptr) {
            // A deck check reports the stop as its own finding.
          } else if (joints < MAXJOINTNO)
            units.error_line("nlframe: the deck has more than %d joints, the most the fixed stores hold "
                             "(--capacity auto sizes the stores from the deck, up to %d joints)",
                             joints, MAXJOINTNO);
          else
            units.error_line("nlframe: the deck has more than %d joints, the most a joint number of three "
                             "columns allows", joints);
          throw Stop{1};
        }
        const int n = sz.MUMJ;
        KEQ[3 * n - 2] = 3 * n - 2;
        KEQ[3 * n - 1] = 3 * n - 1;
        KEQ[3 * n] = 3 * n;
        // A joint number outside 1..999 is reported by the structure input.
        if (c.i1 >= 0 && c.i1 <= MAXJOINTNO) KJMAP[c.i1] = n;
        break;
      }
      case 'Q': {
        const auto ord = [&](int no) { return (no >= 0 && no <= MAXJOINTNO) ? KJMAP[no] : 0; };
        const int a = ord(c.i1), b = ord(c.i2);
        if (a == 0 || b == 0 || a == b || c.i3 < 0) {
          listing.message({"ERROR DATA IN Q DATA"});
          break;
        }
        const int lo = std::min(a, b), hi = std::max(a, b);
        const int digits[3] = {c.i3 / 100, (c.i3 % 100) / 10, c.i3 % 10};
        const int limit[3] = {2, 2, 1};
        for (int d = 0; d < 3; ++d) {
          const int v = digits[d];
          if (v == 0) continue;
          if (v > limit[d]) {
            listing.message({"ERROR DATA IN Q DATA"});
            break;
          }
          const int s = 3 * hi - 2 + d;
          for (int k = 3 * sz.MUMJ; k >= s + 1; --k) KEQ[k] = KEQ[k - 1];
          // X to X or to Y, Y to Y or to X, rotation to rotation.
          int master = 3 * lo - 2 + d;
          if (v == 2) master = (d == 0) ? 3 * lo - 1 : 3 * lo - 2;
          KEQ[s] = KEQ[master];
        }
        break;
      }
      case 'M': {
        const auto ord = [&](int no) { return (no >= 0 && no <= MAXJOINTNO) ? KJMAP[no] : 0; };
        const int i = ord(c.i1), j = ord(c.i2);
        ++sz.MUMM;
        if (i == 0 || j == 0) break;  // the structure input rejects the card
        int lo = KEQ[3 * i - 2], hi = lo;
        for (int s : {3 * i - 2, 3 * i - 1, 3 * i, 3 * j - 2, 3 * j - 1, 3 * j}) {
          lo = std::min(lo, KEQ[s]);
          hi = std::max(hi, KEQ[s]);
        }
        sz.MBAND = std::max(sz.MBAND, hi - lo + 1);
        break;
      }
      case 'W': {
        ++sz.MUMW;
        TextOut& hist = units.text(60 + sz.MUMW);
        write_banner(hist);
        static const Format header("(2X,' STEP',1X,7A14)");
        const std::string labels = history_labels(c);
        std::array<Item, 7> items = {
            Item(std::string_view(labels).substr(0, 14)),  Item(std::string_view(labels).substr(14, 14)),
            Item(std::string_view(labels).substr(28, 14)), Item(std::string_view(labels).substr(42, 14)),
            Item(std::string_view(labels).substr(56, 14)), Item(std::string_view(labels).substr(70, 14)),
            Item(std::string_view(labels).substr(84, 14))};
        hist.write(header, items);
        break;
      }
      case 'E':
      case 'A':
        // Either card asks for the arc-length path with a nonzero X2.
        if (c.X(2) != 0) sz.NRHS = 2;
        group_card(units, c);
        break;
      case 'U':
        // A member load of the load history: its members are all counted
        // by now (the history follows the structure).
        try {
          check_member_load_card(units, c, sz.MUMM);
        } catch (const DeckRejected&) {
        }
        break;
      default:
        break;
    }
  }
  rewind_past(units, 1);
  return sz;
}

Sizes read_restart_sizes(Units& units, const RunControl& ctl, int joints) {
  RecordFile& rf = units.records_existing(ctl.IRESIN);
  std::int32_t v[8];
  rf.read_ints(v, 8);
  Sizes sz;
  sz.MUMM = v[0];
  sz.MUMJ = v[1];
  sz.MUMP = v[2];
  sz.MUMT = v[3];
  sz.MUMR = v[4];
  sz.MUMS = v[5];
  sz.MBAND = v[6];
  sz.MUMW = v[7];
  if (sz.MUMP != 5 || sz.MUMT != 20 || sz.MUMM < 0 || sz.MUMJ < 0 || sz.MUMJ > MAXJOINTNO || sz.MUMR < 0 ||
      sz.MUMS < 0 || sz.MBAND < 0 || sz.MUMW < 0)
    throw FileError(rf.name() + ": record 1: not the sizes of a restart file of this program");
  if (sz.MUMJ > joints) {
    // A run with stores that follow the model saved it.
    units.listing().message({"ERROR ... NUMBER OF POINTS GT " + std::to_string(joints)});
    if (units.findings() == nullptr)
      units.error_line("nlframe: %s: the restart file holds %d joints, more than the %d the fixed stores hold "
                       "(--capacity auto sizes the stores from the deck, up to %d joints)",
                       rf.name().c_str(), sz.MUMJ, joints, MAXJOINTNO);
    throw Stop{1};
  }
  return sz;
}

bool restart_unit_in_use(int unit, int nhist) {
  if (unit == 1 || unit == 2 || unit == 5 || unit == 6) return true;
  if (unit >= 10 && unit <= 21) return true;
  if (nhist >= 0 && unit >= 61 && unit <= 60 + nhist) return true;
  return unit < 0;
}

int scan_load_columns(Units& units, char comment, long control_line) {
  DeckIn& deck = units.deck();
  std::string line;
  int nrhs = 1;
  while (deck.next(line)) {
    if (is_comment(line, comment) || line.empty()) continue;
    if (line[0] != 'E' && line[0] != 'A') continue;
    const Card c = decode_deck_card(units, line, deck.source(), true);
    if (c.X(2) != 0) nrhs = 2;
    group_card(units, c);
  }
  // A continued run reads on from the card after the control card: the
  // cards before it were read with it and are not met again.
  rewind_past(units, control_line);
  return nrhs;
}

}  // namespace nlf
