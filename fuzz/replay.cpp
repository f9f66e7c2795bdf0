// Replays corpora through a fuzz target without libFuzzer: every file of the
// folders named on the command line, in name order, once, to the target's
// LLVMFuzzerTestOneInput (after its LLVMFuzzerInitialize, when it has one).
// The normal build links it with each target, so that the tests run the seed
// corpora and the inputs kept from fuzzing, under the sanitizers too. A
// target stops the process on a fault; the replay ends with status 0 when
// every input passed.
//   replay_<target> FOLDER...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  // The paths first: a target may change the current folder as it starts.
  std::vector<fs::path> inputs;
  for (int a = 1; a < argc; ++a) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(argv[a], ec))
      if (e.is_regular_file()) inputs.push_back(fs::absolute(e.path()));
    if (ec) {
      std::fprintf(stderr, "replay: %s: %s\n", argv[a], ec.message().c_str());
      return 2;
    }
  }
  if (argc < 2 || inputs.empty()) {
    std::fprintf(stderr, "replay: no input (usage: %s FOLDER...)\n", argv[0]);
    return 2;
  }
  std::sort(inputs.begin(), inputs.end());
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (const fs::path& p : inputs) {
    std::ifstream in(p, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "replay: %s: cannot read\n", p.c_str());
      return 2;
    }
    std::fprintf(stderr, "replay: %s\n", p.filename().c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "replay: %zu inputs passed\n", inputs.size());
  return 0;
}
