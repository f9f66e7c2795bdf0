// Fuzz target: a whole run of a deck held in memory. The input is written as
// deck.dat into a private temporary folder (made once, and emptied before
// every run so that no file of an earlier input is seen), and the program
// runs there as it would from the console. The folder also holds fort.9, the
// restart file of a small cantilever saved once at start-up, so that a deck
// whose control card reads unit 9 continues from a real saved state. The run
// must end with status 0 (done), 1 (an error the program found) or 2 (a file
// could not be read); a crash, a sanitizer report, another status or an
// exception that escapes is a fault.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "run/run.h"

namespace {

namespace fs = std::filesystem;

fs::path g_dir;
std::string g_restart;  // the bytes of fort.9

// A cantilever that saves its state on unit 9 after two steps.
constexpr const char* kSaveDeck =
    "   0  9  1     SAVED CANTILEVER\n"
    "P  0  0  0     2100.       21.       21.\n"
    "O  1  0  0       20.       10.        0.        0.        0.       2.4\n"
    "J  1  0  0        0.        0.\n"
    "J  2  0  0      300.        0.\n"
    "M  1  2  1       0.2       0.4       0.6       0.8                           0.001\n"
    "K  2  0  0        1.        0.        0.\n"
    "W  0  0  0      2.22      2.12\n"
    "L 20  1  0\n"
    "B  1111  0\n"
    "B  2  0  0        0.       -3.\n"
    "E  0  2  1     1E-10\n"
    "F\n";

void empty_folder() {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(g_dir, ec)) fs::remove_all(e.path(), ec);
}

void write_file(const char* name, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size)) std::abort();
  std::fclose(f);
}

std::string read_file(const char* name) {
  std::string s;
  if (std::FILE* f = std::fopen(name, "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string tmpl = (fs::temp_directory_path() / "nlframe-fuzz-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) {
    std::perror("nlframe fuzz: mkdtemp");
    std::abort();
  }
  g_dir = tmpl;
  fs::current_path(g_dir);
  // The console output (" STEP:" lines) is of no use here.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(g_dir, ec);
  });
  write_file("deck.dat", kSaveDeck, std::string_view(kSaveDeck).size());
  if (nlf::run_with_input("deck.dat\n") != 0) std::abort();
  g_restart = read_file("fort.9");
  if (g_restart.empty()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Work grows with the deck; long decks add little that short ones miss.
  if (size > 4096) return -1;
  empty_folder();
  write_file("fort.9", g_restart.data(), g_restart.size());
  write_file("deck.dat", data, size);
  const int status = nlf::run_with_input("deck.dat\n");
  if (status < 0 || status > 2) {
    std::fprintf(stderr, "nlframe fuzz: exit status %d\n", status);
    std::abort();
  }
  return 0;
}
