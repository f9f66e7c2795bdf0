#include "plot/html.h"

#include "plot/svg.h"

namespace nlf::plot {

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em auto;max-width:980px;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.15em;margin-top:1.6em;border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:.5em 0}th,td{padding:.25em .8em;text-align:left;"
    "border-bottom:1px solid #eee}td.num{text-align:right;font-family:monospace}"
    "figure{margin:1em 0}figure img{max-width:100%;border:1px solid #ddd}"
    "figcaption{color:#555;font-size:.9em}.note{color:#a33}";

class Page {
 public:
  void raw(const std::string& s) { out_ += s; }
  void element(const std::string& tag, const std::string& text, const std::string& cls = "") {
    out_ += "<" + tag + (cls.empty() ? "" : " class=\"" + cls + "\"") + ">" + xml_escape(text) + "</" + tag + ">\n";
  }
  // A table of (what, value, where) rows.
  void extremes(const std::string& cls, const std::vector<Extreme>& rows) {
    out_ += "<table class=\"" + cls + "\">\n<tr><th>largest</th><th>value</th><th>where</th></tr>\n";
    for (const Extreme& e : rows)
      out_ += "<tr><td>" + xml_escape(e.what) + "</td><td class=\"num\">" + xml_escape(e.value) + "</td><td>" +
              xml_escape(e.where) + "</td></tr>\n";
    out_ += "</table>\n";
  }
  void row(const std::string& name, const std::string& value) {
    out_ += "<tr><th>" + xml_escape(name) + "</th><td>" + xml_escape(value) + "</td></tr>\n";
  }
  std::string str() const { return out_; }

 private:
  std::string out_;
};

}  // namespace

std::string html_page(const std::string& title, const std::string& deck, const RunSummary& s,
                      const std::vector<Picture>& pictures) {
  const std::string heading = title.empty() ? deck : title;
  Page p;
  p.raw("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
        "<meta charset=\"utf-8\"/>\n<title>" + xml_escape(heading) + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n<body>\n");
  p.element("h1", heading);
  p.element("p", "Results of " + deck);

  p.element("h2", "Summary");
  p.raw("<table class=\"summary\">\n");
  if (s.listing) {
    const std::vector<int> bad = s.listing->not_converged();
    p.row("load steps", std::to_string(s.listing->steps.size()));
    p.row("iterations", std::to_string(s.listing->iterations()));
    p.row("steps not converged",
          bad.empty() ? "none" : std::to_string(bad.size()) + " (steps " + results::step_ranges(bad) + ")");
  }
  p.row("output steps", std::to_string(s.output_steps));
  for (const Extreme& e : s.largest_load) p.row("largest applied " + e.what, e.value + " at " + e.where);
  p.raw("</table>\n");
  for (const std::string& n : s.notes) p.element("p", n, "note");

  p.element("h2", "Pictures");
  if (pictures.empty()) p.element("p", "No picture could be drawn.", "note");
  for (const Picture& pic : pictures)
    p.raw("<figure>\n<img src=\"" + xml_escape(pic.file) + "\" alt=\"" + xml_escape(pic.caption) +
          "\"/>\n<figcaption>" + xml_escape(pic.caption) + " (" + xml_escape(pic.file) + ")</figcaption>\n</figure>\n");

  if (s.last_step > 0) {
    p.element("h2", "Last step (step " + std::to_string(s.last_step) + ")");
    if (!s.last_displacements.empty()) {
      p.element("h3", "Joint displacements");
      p.extremes("displacements", s.last_displacements);
    }
    if (!s.last_member_forces.empty()) {
      p.element("h3", "Member end forces");
      p.extremes("member-forces", s.last_member_forces);
    }
  }
  p.raw("</body>\n</html>\n");
  return p.str();
}

}  // namespace nlf::plot
