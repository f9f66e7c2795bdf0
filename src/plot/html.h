// The report page of a run, index.html beside its pictures: the title, the
// peak of every load group with the state of a lateral push there, how
// each group was applied and why it ended, the summary, the model, the pictures, the
// largest results of the pictures' step and links to the run's files. The
// page is well-formed XML as well as HTML, so that any XML tool reads it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "check/check.h"
#include "plot/groups.h"
#include "plot/summary.h"
#include "results/modes.h"

namespace nlf::plot {

struct Picture {
  std::string file;     // beside the page: "curve-61.svg"
  std::string caption;  // "Response curve fort.61"
  int step = 0;         // the step a frame picture shows; 0 for a curve
};

// A file of the run that the page links to: its path from the page and
// what it holds.
struct FileLink {
  std::string href;
  std::string what;
};

struct PageContent {
  std::string title;  // of the deck; the deck name when it has none
  std::string deck;
  std::string version;  // "nlframe-plot 2.0"
  std::string results_date;  // when the run wrote its listing, "" if unknown
  std::string written;       // when the page was written
  RunSummary summary;
  std::vector<Picture> pictures;
  std::string table_pictures;  // the pictures of the tables' step: "frame.svg and plastic.svg"
  std::string table_step_words;  // "step 20, the detail step nearest to the peak at step 18"
  std::map<int, std::string> section_names;  // the deck's names of its sections
  // The deck's notes of what the model carries: "imperfections", "residual stresses".
  std::map<std::string, std::string> model_notes;
  std::optional<DeckFacts> model;  // the model as the deck check reads it
  std::string model_note;  // why the model is left out
  std::vector<FileLink> files;
  std::vector<results::BucklingAnalysis> buckling;  // the V cards' critical factors
  std::vector<GroupRow> groups;     // how every load group was applied and why it ended
  std::optional<AtPeak> at_peak;    // a lateral push at its peak
};

std::string html_page(const PageContent& c);

}  // namespace nlf::plot
