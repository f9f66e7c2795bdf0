// Fuzz target: the restart read. The input is the restart file fort.9 of a
// fixed small continuing deck, which runs in a private temporary folder (made
// once; the deck is written there at start-up, the input before every run).
// The deck keeps the restored state (a negative L card), loads the saved
// cantilever's joint 2 with a joint and a member load and runs four steps,
// two under load control and two under arc-length control, so that whatever
// the reader lets through is used by a short but whole analysis.
//
// The run must end with status 0 (done), 1 (an error the program found) or
// 2 (a file could not be read), and a refusal of the file (status 2) must
// name fort.9 and a record. A crash, a sanitizer report, another status, an
// internal error (an exception that none of the run's own stops expects),
// running out of memory, or a refusal that does not name the file and the
// record is a fault. The record-wise mutator is in restart_mutator.cpp.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "run/engine.h"

namespace {

namespace fs = std::filesystem;

fs::path g_dir;

// Continues from unit 9 with at most 8 iterations in each of 4 steps.
constexpr const char* kContinuingDeck =
    "   9  0  1     CONTINUED CANTILEVER\n"
    "L -8 -1  0\n"
    "B  1111  0\n"
    "B  2  0  0        0.        1.\n"
    "U  1  0  0        0.     0.001\n"
    "E  0  2  1     1E-10\n"
    "E  0  2  1     1E-08       0.5\n"
    "F\n";

void write_file(const fs::path& p, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size)) std::abort();
  std::fclose(f);
}

[[noreturn]] void fault(const nlf::RunResult& r, const char* what) {
  std::fprintf(stderr, "nlframe fuzz: %s (status %d): %s\n", what, r.status, r.message.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string tmpl = (fs::temp_directory_path() / "nlframe-fuzz-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) {
    std::perror("nlframe fuzz: mkdtemp");
    std::abort();
  }
  g_dir = tmpl;
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(g_dir, ec);
  });
  write_file(g_dir / "deck.dat", kContinuingDeck, std::string_view(kContinuingDeck).size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The seeds hold one or two members; files much longer add nothing.
  if (size > (512u << 10)) return -1;
  write_file(g_dir / "fort.9", data, size);
  nlf::RunRequest req;
  req.deck = "deck.dat";
  req.folder = g_dir;
  req.threads = 1;
  nlf::QuietOutput quiet;
  const nlf::RunResult r = nlf::run_deck(req, quiet);
  if (r.status < 0 || r.status > 2) fault(r, "exit status");
  if (r.internal_error) fault(r, "internal error");
  if (r.message == "out of memory") fault(r, "out of memory");
  if (r.status == 2 && r.message.rfind("fort.9: record ", 0) != 0) fault(r, "a refusal without the record");
  return 0;
}
