// The CSV tables of a run from its HDF5 results file: the same files, rows
// and columns as from the text result files (write.h), every number at
// full precision (the shortest digits that read back as the file's value).
#pragma once

#include <ostream>

#include "export/write.h"
#include "results/h5_read.h"

namespace nlf::exporter {

Written write_joints(const results::H5Reader& f, std::ostream& out);
Written write_member_forces(const results::H5Reader& f, std::ostream& out);
Written write_member_nodes(const results::H5Reader& f, std::ostream& out);
Written write_stations(const results::H5Reader& f, std::ostream& out);
// Curve `name` ("61", ...) of the file.
Written write_curve(const results::H5Reader& f, const std::string& name, std::ostream& out);

}  // namespace nlf::exporter
