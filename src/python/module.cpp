// The compiled part of the Python package nlframe: a run of the engine with
// the interpreter's lock released, the deck check, and a finished run's
// tables as the CSV text nlframe-export writes. The package (python/nlframe)
// builds its objects and DataFrames on these.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "check/check.h"
#include "export/run_tables.h"
#include "export/write.h"
#include "io/version.h"
#include "results/listing.h"
#include "results/peaks.h"
#include "results/tables.h"
#include "run/driver.h"
#include "run/engine.h"
#include "run/threads.h"

namespace py = pybind11;

namespace {

// A flag that another thread sets to cancel the runs it was given to.
struct CancelToken {
  std::atomic<bool> flag{false};
};

py::dict run_result(const nlf::RunResult& r) {
  py::dict d;
  d["status"] = r.status;
  d["message"] = r.message;
  d["started"] = r.started;
  d["internal_error"] = r.internal_error;
  d["seconds"] = r.seconds;
  d["steps"] = r.summary.steps;
  d["iterations"] = r.summary.iterations;
  d["not_converged_steps"] = r.summary.not_converged;
  py::list ranges;
  for (const nlf::StepRange& s : r.summary.not_converged_ranges) ranges.append(py::make_tuple(s.first, s.last));
  d["not_converged"] = ranges;
  py::list peaks;
  const int named = std::min(r.summary.peak_count, nlf::RunSummary::kPeaks);
  for (int k = 0; k < named; ++k) {
    const nlf::GroupPeak& p = r.summary.peaks[static_cast<std::size_t>(k)];
    py::dict one;
    const bool force = p.kind == nlf::GroupPeak::Kind::kForce;
    one["kind"] = force ? "force" : "load_factor";
    one["group"] = p.group;
    one["value"] = p.value;
    one["step"] = p.step;
    one["direction"] = force ? py::object(py::str(p.direction == 1 ? "x" : p.direction == 2 ? "y" : "r"))
                             : py::object(py::none());
    one["joint"] = force ? py::object(py::int_(p.joint)) : py::object(py::none());
    one["displacement"] = force ? py::object(py::float_(p.displacement)) : py::object(py::none());
    one["passed"] = p.passed;
    one["converged"] = p.converged;
    one["strain"] = p.strain;
    peaks.append(one);
  }
  d["peaks"] = peaks;
  d["messages"] = r.messages;
  return d;
}

// Runs a deck; the lock is released while the engine works and taken back
// after every step, for the progress function and for Ctrl-C. An exception
// of either cancels the run and is raised when the run has closed its
// files.
// `capacity`: "" the fixed stores, "auto" or a fibre budget in MiB for
// stores that follow the model (as the program's --capacity).
nlf::Capacity capacity_of(const std::string& capacity) {
  if (capacity.empty()) return {};
  try {
    return nlf::check_capacity_option(capacity);
  } catch (const std::invalid_argument& e) {
    std::string text = e.what();
    const std::string option = "option '--capacity'";
    if (text.rfind(option, 0) == 0) text = "capacity" + text.substr(option.size());
    throw py::value_error(text);
  }
}

py::dict run(const std::string& deck, const std::string& name, const std::string& folder, int threads,
             py::object progress, std::shared_ptr<CancelToken> cancel, const std::string& capacity) {
  if (threads < 1 || threads > nlf::kMaxThreads)
    throw py::value_error("threads must be a whole number from 1 to " + std::to_string(nlf::kMaxThreads) +
                          ", not " + std::to_string(threads));
  CancelToken own;
  CancelToken& token = cancel ? *cancel : own;
  nlf::RunRequest req;
  req.deck = deck;
  req.deck_name = name;
  req.folder = folder;
  req.threads = threads;
  req.capacity = capacity_of(capacity);
  req.cancel = &token.flag;
  std::unique_ptr<py::error_already_set> failure;
  // After every step: Ctrl-C (in the main thread) and the progress function.
  req.progress = [&](int step, double load_factor) {
    py::gil_scoped_acquire lock;
    if (failure) return;
    try {
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (!progress.is_none()) progress(step, load_factor);
    } catch (py::error_already_set& e) {
      failure = std::make_unique<py::error_already_set>(std::move(e));
      token.flag.store(true);
    }
  };
  nlf::RunResult r;
  {
    nlf::QuietOutput quiet;
    py::gil_scoped_release unlock;
    r = nlf::run_deck(req, quiet);
  }
  // The callback's objects go while the lock is held.
  req.progress = nullptr;
  if (failure) throw std::move(*failure);
  return run_result(r);
}

py::dict check(const std::string& deck, const std::string& capacity) {
  const nlf::Capacity asked = capacity_of(capacity);
  nlf::CheckResult r;
  {
    py::gil_scoped_release unlock;
    r = nlf::check_deck(deck, asked);
  }
  py::dict d;
  d["status"] = r.status;
  d["errors"] = r.errors;
  d["warnings"] = r.warnings;
  py::list findings;
  for (const nlf::DeckFinding& f : r.findings) findings.append(py::make_tuple(f.status, f.line, f.text));
  d["findings"] = findings;
  // What the model needs of the stores, as far as the check read it.
  const nlf::DeckFacts& f = r.facts;
  py::dict c;
  c["joints"] = f.need_joints;
  c["members"] = f.members;
  c["integer"] = f.need_integer;
  c["real"] = f.need_real;
  c["member_state"] = f.klast;
  c["band"] = f.band;
  c["in_memory"] = f.in_memory;
  c["fixed_holds"] = f.fixed_holds;
  d["capacity"] = c;
  return d;
}

// The tables of a finished run as nlframe-export writes them, read by its
// readers: joints (displacements and loads side by side, with the names of
// both parts), member forces, member nodes, stations and one per curve.
py::dict tables(const std::string& deck, const std::string& folder) {
  using namespace nlf;
  std::string joints, forces, nodes, stations;
  std::vector<std::pair<int, std::string>> curves;
  std::vector<std::string> warnings;
  {
    py::gil_scoped_release unlock;
    const exporter::RunTables t = exporter::read_run(deck, folder);
    warnings = t.frame.warnings;
    auto text = [&](auto&& writer) {
      std::ostringstream s;
      writer(s);
      return std::move(s).str();
    };
    joints = text([&](std::ostream& s) { exporter::write_joints(t, s); });
    forces = text([&](std::ostream& s) { exporter::write_member_forces(t, s); });
    nodes = text([&](std::ostream& s) { exporter::write_member_nodes(t, s); });
    stations = text([&](std::ostream& s) { exporter::write_stations(t, s); });
    for (const auto& [unit, f] : t.curves)
      curves.emplace_back(unit, text([&](std::ostream& s) { exporter::write_curve(f, s); }));
  }
  auto names = [](const results::TableLayout& l) {
    py::list v;
    for (std::size_t i = 1; i < l.fields.size(); ++i) v.append(l.fields[i].name);
    return v;
  };
  py::dict d;
  d["joints"] = py::bytes(joints);
  d["joint_displacement_columns"] = names(results::joint_displacements_layout());
  d["joint_force_columns"] = names(results::joint_forces_layout());
  d["member_forces"] = py::bytes(forces);
  d["member_nodes"] = py::bytes(nodes);
  d["stations"] = py::bytes(stations);
  py::dict c;
  for (const auto& [unit, text] : curves) c[py::int_(unit)] = py::bytes(text);
  d["curves"] = c;
  d["warnings"] = warnings;
  return d;
}

// What the files of a finished run tell without its standard error: the
// steps done, the iterations, the steps not converged and the peak of every
// group, by the readers of nlframe-plot (force peaks from the output steps
// only; displacements in cm and rad, as the engine gives them).
py::dict listing_summary(const std::string& folder) {
  using namespace nlf::results;
  ListingSummary listing;
  std::vector<GroupPeak> peaks;
  {
    py::gil_scoped_release unlock;
    const std::filesystem::path dir(folder);
    listing = read_listing(dir / "R.rst");
    peaks = group_peaks(listing, read_table(joint_forces_layout(), (dir / "Jfor.rst").string()),
                        read_table(joint_displacements_layout(), (dir / "Jdis.rst").string()));
  }
  py::dict d;
  d["steps"] = listing.completed();
  d["iterations"] = listing.iterations();
  d["not_converged"] = listing.not_converged();
  py::list out;
  for (const GroupPeak& p : peaks) {
    py::dict one;
    const bool force = p.kind == GroupPeak::Kind::kForce;
    one["kind"] = force ? "force" : "load_factor";
    one["group"] = p.group;
    one["value"] = p.value;
    one["step"] = p.step;
    one["direction"] = force ? py::object(py::str(p.direction == 1 ? "x" : p.direction == 2 ? "y" : "r"))
                             : py::object(py::none());
    one["joint"] = force ? py::object(py::int_(p.joint)) : py::object(py::none());
    one["displacement"] = force ? py::object(py::float_(p.displacement / (p.direction == 3 ? 100 : 10)))
                                : py::object(py::none());
    one["passed"] = p.passed;
    one["converged"] = p.converged;
    out.append(one);
  }
  d["peaks"] = out;
  return d;
}

}  // namespace

#ifndef NLFRAME_PYTHON_EXECUTABLE
#define NLFRAME_PYTHON_EXECUTABLE ""
#endif

PYBIND11_MODULE(_nlframe, m) {
  m.doc() = "The nlframe engine, deck check and result readers (use the package nlframe).";
  py::register_exception<nlf::results::ResultError>(m, "ResultError", PyExc_OSError);

  py::class_<CancelToken, std::shared_ptr<CancelToken>>(m, "Cancel",
                                                        "A flag that cancels the runs it is given to.")
      .def(py::init<>())
      .def("cancel", [](CancelToken& t) { t.flag.store(true); },
           "Stops the runs at their next iteration (from any thread).")
      .def_property_readonly("cancelled", [](const CancelToken& t) { return t.flag.load(); });

  m.def("run", &run, py::arg("deck"), py::arg("name"), py::arg("folder"), py::arg("threads"), py::arg("progress") = py::none(),
        py::arg("cancel") = nullptr, py::arg("capacity") = "");
  m.def("check", &check, py::arg("deck"), py::arg("capacity") = "");
  m.def("tables", &tables, py::arg("deck"), py::arg("folder"));
  m.def("listing_summary", &listing_summary, py::arg("folder"));
  m.def("parse_thread_count", &nlf::parse_thread_count);
  m.def("machine_threads", &nlf::machine_threads);
  m.attr("CANCELLED") = nlf::kCancelled;
  m.attr("MAX_THREADS") = nlf::kMaxThreads;
  // The joints the fixed stores hold, and the most a joint number allows.
  m.attr("FIXED_JOINTS") = nlf::kFixedJoints;
  m.attr("MAX_JOINTS") = nlf::MAXJOINTNO;
  m.attr("VERSION") = nlf::kVersion;
  // The interpreter the module was built for (its version; its path where
  // the build names it).
  m.attr("BUILT_FOR_VERSION") = PY_VERSION;
  m.attr("BUILT_FOR_EXECUTABLE") = NLFRAME_PYTHON_EXECUTABLE;
}
