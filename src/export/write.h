// The CSV tables of a run, one writer each. Every row starts with the step;
// numbers keep the digits the result files print.
#pragma once

#include <ostream>
#include <string>

#include "export/csv.h"
#include "export/run_tables.h"
#include "results/modes.h"

namespace nlf::exporter {

// What a writer did: rows written and fields that printed as asterisks
// (left empty).
struct Written {
  long rows = 0;
  long overflows = 0;
  std::string places;  // the columns and rows of the overflows (CsvWriter::overflow_places)
};

// Joints: step, joint, the displacements (Jdis.rst), the applied, external
// and internal loads (Jfor.rst).
Written write_joints(const RunTables& t, std::ostream& out);
// Member end forces and end strains (Mfor.rst).
Written write_member_forces(const RunTables& t, std::ostream& out);
// Member node displacements on the detail steps (Mdis.rst).
Written write_member_nodes(const RunTables& t, std::ostream& out);
// One row per member station: the fibre states (as printed, + at the upper
// bound, - at the lower, and counted), the stresses of the 20
// fibres and the strains of the outer fibres (Mstr.rst).
Written write_stations(const RunTables& t, std::ostream& out);
// A response curve: the step and the watched values, named by their labels.
Written write_curve(const results::CurveFile& f, std::ostream& out);

// The buckling modes of the run's V cards (modes.rst): one row per
// analysis, mode and joint, with the critical factor and the mode's
// displacements at the joint, scaled as the file has them.
Written write_modes(const std::vector<results::BucklingAnalysis>& analyses, std::ostream& out);

}  // namespace nlf::exporter
