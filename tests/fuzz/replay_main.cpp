// Replays a fuzz target's corpus: runs LLVMFuzzerTestOneInput once over every file of each
// folder named on the command line. Built with the ordinary compiler and sanitizers, so that the
// test suite checks every corpus entry (each crash the fuzzer ever found among them) on every
// run, without the fuzzer's own runtime.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER...\n", argv[0]);
    return 2;
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  for (int i = 1; i < argc; ++i) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
      if (entry.is_regular_file()) files.push_back(entry.path());
    if (files.empty()) {
      std::fprintf(stderr, "%s holds no inputs\n", argv[i]);
      return 1;
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      // A heap block exactly as long as the file, so that a read past its end shows.
      const std::vector<uint8_t> input(bytes.begin(), bytes.end());
      LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%s: %zu inputs replayed\n", argv[i], files.size());
  }
  return 0;
}
