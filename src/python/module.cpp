// The compiled part of the Python package nlframe: a run of the engine with
// the interpreter's lock released, the deck check, and a finished run's
// tables as the CSV text nlframe-export writes. The package (python/nlframe)
// builds its objects and DataFrames on these.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "check/check.h"
#include "export/run_tables.h"
#include "export/write.h"
#include "io/stop.h"
#include "io/version.h"
#include "plot/app.h"
#include "results/h5_member_tables.h"
#include "results/listing.h"
#include "results/peaks.h"
#include "results/run_check.h"
#include "results/tables.h"
#include "run/driver.h"
#include "run/command_line.h"
#include "run/engine.h"
#include "run/threads.h"

namespace py = pybind11;

namespace {

// A flag that another thread sets to cancel the runs it was given to.
struct CancelToken {
  std::atomic<bool> flag{false};
};

// A peak of a load group as the package's Peak takes it: a dict, which the
// run's record keeps as it is. `displacement` in cm or rad.
template <class GroupPeak>
py::dict peak_dict(const GroupPeak& p, double displacement) {
  py::dict one;
  const bool force = p.kind == GroupPeak::Kind::kForce;
  one["kind"] = force ? "force" : "load_factor";
  one["group"] = p.group;
  one["value"] = p.value;
  one["step"] = p.step;
  one["direction"] = force ? py::object(py::str(p.direction == 1 ? "x" : p.direction == 2 ? "y" : "r"))
                           : py::object(py::none());
  one["joint"] = force ? py::object(py::int_(p.joint)) : py::object(py::none());
  one["displacement"] = force ? py::object(py::float_(displacement)) : py::object(py::none());
  one["passed"] = p.passed;
  one["converged"] = p.converged;
  return one;
}

py::list not_converged_ranges(const nlf::RunResult& r) {
  py::list ranges;
  for (const nlf::StepRange& s : r.summary.not_converged_ranges) ranges.append(py::make_tuple(s.first, s.last));
  return ranges;
}

py::list run_peaks(const nlf::RunResult& r) {
  py::list peaks;
  const int named = std::min(r.summary.peak_count, nlf::RunSummary::kPeaks);
  for (int k = 0; k < named; ++k) {
    const nlf::GroupPeak& p = r.summary.peaks[static_cast<std::size_t>(k)];
    py::dict one = peak_dict(p, p.displacement);
    one["strain"] = p.strain;
    peaks.append(one);
  }
  return peaks;
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

// The package's `threads` argument by the engine's rule: None asks for
// NLFRAME_THREADS or every core; a count must be an int (not a bool) the
// rule takes. A ValueError says what is wrong, before any file is touched.
int threads_of(const py::object& threads) {
  const auto refused = [&] {
    return py::value_error("threads must be a whole number from 1 to " + std::to_string(nlf::kMaxThreads) +
                           ", not " + py::repr(threads).cast<std::string>());
  };
  const bool given = !threads.is_none();
  long long n = 0;
  if (given) {
    if (!PyLong_Check(threads.ptr()) || PyBool_Check(threads.ptr())) throw refused();
    int overflow = 0;
    n = PyLong_AsLongLongAndOverflow(threads.ptr(), &overflow);
    // 0 would ask the rule for the environment's count.
    if (overflow != 0 || n == 0 || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
      throw refused();
  }
  try {
    return nlf::resolve_threads(static_cast<int>(n));
  } catch (const nlf::Stop& s) {
    if (given) throw refused();
    std::string text = s.message;
    if (text.rfind("nlframe: ", 0) == 0) text.erase(0, 9);
    throw py::value_error(text);
  }
}

// `threads`: a count, or 0 for the engine's rule (NLFRAME_THREADS or every
// core); the engine refuses any other.
// `results`: "text", "h5" or "h5-only"; `tables` a comma list (as the
// program's --tables); `every` and `fibres_every` 1 or more. A bad value is
// a ValueError before the run begins.
nlf::ResultOptions results_of(const std::string& results, const std::string& tables, int every, int fibres_every,
                              int compress) {
  nlf::ResultOptions r;
  try {
    r.store = nlf::parse_result_store(results);
    r.choice.parts = nlf::parse_tables(tables);
  } catch (const nlf::UsageError& e) {
    // "option '--tables' needs ..." becomes "tables needs ...".
    std::string text = e.what();
    for (const char* o : {"results", "tables"}) {
      const std::string option = std::string("option '--") + o + "'";
      if (text.rfind(option, 0) == 0) text = o + text.substr(option.size());
    }
    throw py::value_error(text);
  }
  if (every < 1 || fibres_every < 1)
    throw py::value_error("every and fibres_every need a whole number of steps from 1 up");
  r.choice.every = every;
  r.choice.fibre_every = fibres_every;
  if (compress < 0 || compress > 9) throw py::value_error("compress needs a deflate level from 0 (none) to 9");
  r.choice.deflate = compress;
  return r;
}

nlf::RunResult run(const std::string& deck, const std::string& name, const std::string& folder, int threads,
             py::object progress, std::shared_ptr<CancelToken> cancel, const std::string& capacity,
             const std::string& results, const std::string& tables, int every, int fibres_every, int compress) {
  CancelToken own;
  CancelToken& token = cancel ? *cancel : own;
  nlf::RunRequest req;
  req.deck = deck;
  req.deck_name = name;
  req.folder = folder;
  req.threads = threads;
  req.capacity = capacity_of(capacity);
  req.results = results_of(results, tables, every, fibres_every, compress);
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
  if (failure) {
    // The run's result goes with the exception, so that the package can
    // still leave the record of a run that Ctrl-C ended.
    try {
      failure->value().attr("nlframe_result") = py::cast(r);
    } catch (const py::error_already_set&) {
      // An exception that takes no attributes: raised without the result.
    }
    throw std::move(*failure);
  }
  return r;
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
  // Table -> the places of its values printed as asterisks (read as NaN).
  std::vector<std::pair<std::string, std::string>> overflows;
  {
    py::gil_scoped_release unlock;
    const exporter::RunTables t = exporter::read_run(deck, folder);
    warnings = t.frame.warnings;
    auto text = [&](const std::string& table, auto&& writer) {
      std::ostringstream s;
      const exporter::Written w = writer(s);
      if (w.overflows > 0) overflows.emplace_back(table, w.places);
      return std::move(s).str();
    };
    joints = text("joint_displacements and joint_forces", [&](std::ostream& s) { return exporter::write_joints(t, s); });
    forces = text("member_forces", [&](std::ostream& s) { return exporter::write_member_forces(t, s); });
    nodes = text("member_nodes", [&](std::ostream& s) { return exporter::write_member_nodes(t, s); });
    stations = text("stations", [&](std::ostream& s) { return exporter::write_stations(t, s); });
    for (const auto& [unit, f] : t.curves)
      curves.emplace_back(unit, text("curves[" + std::to_string(unit) + "]",
                                     [&](std::ostream& s) { return exporter::write_curve(f, s); }));
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
  d["overflows"] = overflows;
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
    // From results.h5 when the run kept its tables there alone.
    peaks = group_peaks(listing, read_table_of_run(joint_forces_layout(), dir),
                        read_table_of_run(joint_displacements_layout(), dir));
  }
  py::dict d;
  d["steps"] = listing.completed();
  d["iterations"] = listing.iterations();
  d["not_converged"] = listing.not_converged();
  py::list out;
  for (const GroupPeak& p : peaks) out.append(peak_dict(p, p.displacement / (p.direction == 3 ? 100 : 10)));
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

  py::class_<nlf::RunResult>(m, "RunResult", "What a run of the engine gives back (nlframe.run makes a Run of it).")
      .def_readwrite("status", &nlf::RunResult::status)
      .def_readwrite("message", &nlf::RunResult::message)
      .def_readwrite("started", &nlf::RunResult::started)
      .def_readwrite("internal_error", &nlf::RunResult::internal_error)
      .def_readwrite("seconds", &nlf::RunResult::seconds)
      .def_readwrite("messages", &nlf::RunResult::messages)
      .def_property_readonly("steps", [](const nlf::RunResult& r) { return r.summary.steps; })
      .def_property_readonly("iterations", [](const nlf::RunResult& r) { return r.summary.iterations; })
      .def_property_readonly("not_converged", &not_converged_ranges, "(first, last) of every run of steps not converged")
      .def_property_readonly("peaks", &run_peaks, "the peak of every group, as dicts of Peak's fields");

  m.def("run", &run, py::arg("deck"), py::arg("name"), py::arg("folder"), py::arg("threads"), py::arg("progress") = py::none(),
        py::arg("cancel") = nullptr, py::arg("capacity") = "", py::arg("results") = "text",
        py::arg("tables") = "all", py::arg("every") = 1, py::arg("fibres_every") = 1, py::arg("compress") = 0);
  m.def("check_results",
        [](const std::string& r, const std::string& t, int e, int f, int c) { results_of(r, t, e, f, c); },
        py::arg("results"), py::arg("tables"), py::arg("every"), py::arg("fibres_every"), py::arg("compress"));
  m.def("check", &check, py::arg("deck"), py::arg("capacity") = "");
  m.def("tables", &tables, py::arg("deck"), py::arg("folder"));
  m.def("listing_summary", &listing_summary, py::arg("folder"));
  // Raises ResultError when the run in `folder` is not a run of `deck`
  // (the check of nlframe-export and nlframe-plot).
  m.def(
      "check_run",
      [](const std::string& deck, const std::string& folder) {
        py::gil_scoped_release unlock;
        nlf::results::check_run_of_deck(deck, folder);
      },
      py::arg("deck"), py::arg("folder"));
  // The report page of a finished run and its pictures, as nlframe-plot
  // --html writes them: (status, standard output, standard error).
  m.def(
      "report",
      [](const std::string& deck, const std::string& folder, const std::string& out) {
        std::ostringstream o, e;
        int status = 0;
        {
          py::gil_scoped_release unlock;
          status = nlf::plot::run({"--html", "-d", folder, "-o", out, "--", deck}, o, e);
        }
        return py::make_tuple(status, o.str(), e.str());
      },
      py::arg("deck"), py::arg("folder"), py::arg("out"));
  m.def("threads", &threads_of, py::arg("threads"));
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
