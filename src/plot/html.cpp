#include "plot/html.h"

#include "plot/mode_charts.h"
#include "plot/svg.h"

namespace nlf::plot {

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em auto;max-width:980px;color:#222}"
    "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.15em;margin-top:1.6em;border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:.5em 0}th,td{padding:.25em .8em;text-align:left;"
    "border-bottom:1px solid #eee}td.num{text-align:right;font-family:monospace}"
    "figure{margin:1em 0}figure img{max-width:100%;border:1px solid #ddd}"
    "figcaption{color:#555;font-size:.9em}.note{color:#a33}.meta{color:#666;font-size:.9em;margin-top:0}"
    "table.peaks td.num{font-size:1.1em;font-weight:bold}";

class Page {
 public:
  void raw(const std::string& s) { out_ += s; }
  void element(const std::string& tag, const std::string& text, const std::string& cls = "") {
    out_ += "<" + tag + (cls.empty() ? "" : " class=\"" + cls + "\"") + ">" + xml_escape(text) + "</" + tag + ">\n";
  }
  // A table with a heading row; cells of a column in `numeric` align right.
  void table(const std::string& cls, const std::vector<std::string>& head,
             const std::vector<std::vector<std::string>>& rows, const std::vector<bool>& numeric = {}) {
    out_ += "<table class=\"" + cls + "\">\n<tr>";
    for (const std::string& h : head) out_ += "<th>" + xml_escape(h) + "</th>";
    out_ += "</tr>\n";
    for (const auto& r : rows) {
      out_ += "<tr>";
      for (std::size_t i = 0; i < r.size(); ++i)
        out_ += (i < numeric.size() && numeric[i] ? "<td class=\"num\">" : "<td>") + xml_escape(r[i]) + "</td>";
      out_ += "</tr>\n";
    }
    out_ += "</table>\n";
  }
  void row(const std::string& name, const std::string& value) {
    out_ += "<tr><th>" + xml_escape(name) + "</th><td>" + xml_escape(value) + "</td></tr>\n";
  }
  std::string str() const { return out_; }

 private:
  std::string out_;
};

void extremes(Page& p, const std::string& cls, const std::vector<Extreme>& rows) {
  std::vector<std::vector<std::string>> r;
  for (const Extreme& e : rows) r.push_back({e.what, e.value, e.where});
  p.table(cls, {"largest", "value", "where"}, r, {false, true, false});
}

// Base shear, drift and strain of a lateral push at its peak.
void at_peak(Page& p, const AtPeak& a) {
  p.element("h3", "Group " + std::to_string(a.group) + " at its peak, step " + std::to_string(a.step));
  std::string supports;
  for (int j : a.supports) supports += (supports.empty() ? "" : ", ") + std::to_string(j);
  const std::string not_out = "step " + std::to_string(a.step) + " is not an output step";
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"base shear", a.base_shear ? plain_number(*a.base_shear) + " t" : "-",
                  a.base_shear ? "the sum of the horizontal reactions at joint" + std::string(a.supports.size() > 1 ? "s " : " ") +
                                     supports
                               : not_out});
  const bool drift = a.sway && a.height > 0;
  rows.push_back({"drift", drift ? plain_number(*a.sway / 10 / a.height * 100) + " % of the height" : "-",
                  drift ? "joint " + std::to_string(a.sway_joint) + ", the joint that sways most, moves " +
                              plain_number(*a.sway) + " mm; the frame is " + plain_number(a.height) + " cm high"
                        : not_out});
  rows.push_back({"largest fibre strain", a.strain ? plain_number(*a.strain) + " %" : "-",
                  a.strain ? a.strain_where : "Mstr.rst holds no stress table of step " + std::to_string(a.step)});
  p.table("at-peak", {"at the peak", "value", "where"}, rows, {false, true, false});
}

void groups(Page& p, const PageContent& c) {
  if (c.groups.empty()) return;
  std::vector<std::vector<std::string>> rows;
  for (const GroupRow& g : c.groups) rows.push_back({std::to_string(g.group), g.control, g.steps, g.end});
  p.element("h3", "How each load group was applied and why it ended");
  p.table("groups", {"group", "applied by", "steps", "ended"}, rows, {true, false, false, false});
}

void peaks(Page& p, const PageContent& c) {
  const RunSummary& s = c.summary;
  p.element("h2", "Peak load of every load group");
  if (s.peaks.empty()) {
    p.element("p", "No load group has a step in the listing yet.", "note");
    groups(p, c);
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const results::GroupPeak& k : s.peaks) {
    const bool force = k.kind == results::GroupPeak::Kind::kForce;
    rows.push_back({std::to_string(k.group),
                    force ? "prescribed displacement" : "load factor of the group",
                    peak_value_text(k), std::to_string(k.step), peak_displacement_text(k),
                    peak_remark_text(k)});
  }
  p.table("peaks", {"group", "peak of", "peak", "step", "displacement there", "trust"}, rows,
          {false, false, true, true, false, false});
  p.element("p",
            "A group that prescribes displacements reaches its peak at the largest force that its prescribed "
            "joints resist (the sum of the internal forces there, over the output steps); any other group at its "
            "largest load factor (the multiple of the group's load that it has added). A peak is passed when a "
            "later step of the group is below it (in size); otherwise it is only the largest value reached, and "
            "the group ended while it was still rising. A peak from a step that did not converge (it stopped at "
            "its iteration limit) is only as good as that step. A group that spreads its total load over its "
            "steps (as the deck's note says) counts the share of that total it applied.",
            "meta");
  if (c.at_peak) at_peak(p, *c.at_peak);
  groups(p, c);
}

// The imperfections and residual stresses the deck's notes tell of.
void model_notes(Page& p, const PageContent& c) {
  for (const char* what : {"imperfections", "residual stresses", "load groups"})
    if (const auto n = c.model_notes.find(what); n != c.model_notes.end()) p.row(what, n->second);
}

void critical(Page& p, const PageContent& c) {
  if (c.buckling.empty()) return;
  p.element("h2", "Critical load factors");
  std::vector<std::vector<std::string>> rows;
  for (const results::BucklingAnalysis& b : c.buckling)
    for (const results::ModeShape& m : b.modes)
      rows.push_back({std::to_string(b.analysis), std::to_string(b.step), b.stiffness == "TANGENT" ? "tangent" : "elastic",
                      std::to_string(m.mode), factor_text(m.factor)});
  p.table("critical", {"V card", "after step", "stiffness", "mode", "critical factor αcr"}, rows,
          {true, true, false, true, true});
  p.element("p",
            "Each factor multiplies the load pattern of the group after its V card as the B cards write it; the "
            "frame buckles elastically at that multiple. Below 10 (15 for a plastic analysis) the frame's "
            "second-order effects matter. The first modes of the first V card are drawn under Pictures.",
            "meta");
}

void model(Page& p, const PageContent& c) {
  p.element("h2", "Model");
  if (!c.model) {
    p.element("p", "The model is not summed up: " + c.model_note, "note");
    if (!c.model_notes.empty()) {
      p.raw("<table class=\"model\">\n");
      model_notes(p, c);
      p.raw("</table>\n");
    }
    return;
  }
  const DeckFacts& m = *c.model;
  p.raw("<table class=\"model\">\n");
  p.row("joints", std::to_string(m.joints));
  p.row("members", std::to_string(m.members) + " (five segments, 20 fibres a section)");
  if (m.springs > 0) p.row("joint springs", std::to_string(m.springs));
  p.row("equations", std::to_string(m.equations) + ", band width " + std::to_string(m.band));
  p.row("material", "bilinear steel: E " + plain_number(m.E) + " t/cm\u00b2, E2 " + plain_number(m.E2) +
                        " t/cm\u00b2, E3 " + plain_number(m.E3) + " t/cm\u00b2" +
                        (m.strain_limit > 0 ? "; strain limit " + plain_number(m.strain_limit)
                                            : std::string()));
  model_notes(p, c);
  p.raw("</table>\n");
  std::vector<std::vector<std::string>> rows;
  for (const SectionFacts& s : m.sections)
    rows.push_back({c.section_names.count(s.number) ? c.section_names.at(s.number) + " (" + std::to_string(s.number) + ")"
                                                    : std::to_string(s.number),
                    plain_number(s.area), plain_number(s.inertia), plain_number(s.plastic),
                    plain_number(s.yield), plain_number(s.mp), std::to_string(s.members)});
  p.table("sections",
          {"section", "area (cm\u00b2)", "I (cm\u2074)", "Zp (cm\u00b3)", "yield (t/cm\u00b2)", "Mp (t\u00b7cm)",
           "members"},
          rows, {c.section_names.empty(), true, true, true, true, true, true});
}

}  // namespace

std::string html_page(const PageContent& c) {
  const RunSummary& s = c.summary;
  Page p;
  p.raw("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
        "<meta charset=\"utf-8\"/>\n<title>" + xml_escape(c.title) + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n<body>\n");
  p.element("h1", c.title);
  p.element("p", "Results of " + c.deck + (c.results_date.empty() ? "" : ", run on " + c.results_date) +
                     "; report by " + c.version + (c.written.empty() ? "" : " on " + c.written),
            "meta");

  peaks(p, c);
  critical(p, c);

  p.element("h2", "Summary");
  p.raw("<table class=\"summary\">\n");
  if (s.listing) {
    const std::vector<int> bad = s.listing->not_converged();
    p.row("load steps", std::to_string(s.listing->completed()));
    if (const int cut = s.listing->stopped_in())
      p.row("step not completed",
            std::to_string(cut) + ": the run stopped in it (or is still running); the peaks leave it out");
    p.row("iterations", std::to_string(s.listing->iterations()));
    p.row("steps not converged",
          bad.empty() ? "none" : std::to_string(bad.size()) + " (steps " + results::step_ranges(bad) + ")");
  }
  p.row("output steps", std::to_string(s.output_steps));
  for (const Extreme& e : s.largest_load) p.row("largest applied " + e.what, e.value + " at " + e.where);
  p.raw("</table>\n");
  for (const std::string& n : s.notes) p.element("p", n, "note");

  model(p, c);

  p.element("h2", "Pictures");
  if (c.pictures.empty()) p.element("p", "No picture could be drawn.", "note");
  for (const Picture& pic : c.pictures)
    p.raw("<figure>\n<img src=\"" + xml_escape(pic.file) + "\" alt=\"" + xml_escape(pic.caption) +
          "\"/>\n<figcaption>" + xml_escape(pic.caption) + " (" + xml_escape(pic.file) + ")</figcaption>\n</figure>\n");

  if (s.table_step > 0) {
    p.element("h2", "Largest results of step " + std::to_string(s.table_step));
    const std::string words = c.table_step_words.empty() ? "" : " (" + c.table_step_words + ")";
    p.element("p", std::string("The step of ") + (c.table_pictures.empty() ? "no picture" : c.table_pictures) + words +
                       (s.table_step == s.last_step ? "; the last output step." : "; the last output step is " +
                                                                                    std::to_string(s.last_step) + "."),
              "meta");
    if (!s.displacements.empty()) {
      p.element("h3", "Joint displacements");
      extremes(p, "displacements", s.displacements);
    }
    if (!s.member_forces.empty()) {
      p.element("h3", "Member end forces");
      extremes(p, "member-forces", s.member_forces);
    }
  }

  if (!c.files.empty()) {
    p.element("h2", "Files");
    p.raw("<ul class=\"files\">\n");
    for (const FileLink& f : c.files)
      p.raw("<li><a href=\"" + xml_escape(f.href) + "\">" + xml_escape(f.href) + "</a>: " + xml_escape(f.what) +
            "</li>\n");
    p.raw("</ul>\n");
  }
  p.raw("</body>\n</html>\n");
  return p.str();
}

}  // namespace nlf::plot
