// The shell-link file reader and writer of the emulated platform, per file: links that Wine's
// shell link object wrote and links of our own writer, from tests/data/lnk.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/emulated/shell_link_file.h"

namespace {

std::vector<BYTE> Fixture(const std::string& name) {
  std::ifstream in(std::string(PELMORA_SOURCE_DIR) + "/tests/data/lnk/" + name, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ParseShellLinkBench(benchmark::State& state, const char* fixture) {
  const std::vector<BYTE> bytes = Fixture(fixture);
  emu::ShellLinkFile link;
  if (bytes.empty() || FAILED(emu::ParseShellLink(bytes.data(), bytes.size(), &link))) {
    state.SkipWithError("fixture missing or unreadable");
    return;
  }
  for (auto _ : state) {
    emu::ShellLinkFile parsed;
    benchmark::DoNotOptimize(emu::ParseShellLink(bytes.data(), bytes.size(), &parsed));
    benchmark::DoNotOptimize(parsed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

void WriteShellLinkBench(benchmark::State& state, const char* fixture) {
  const std::vector<BYTE> bytes = Fixture(fixture);
  emu::ShellLinkFile link;
  if (bytes.empty() || FAILED(emu::ParseShellLink(bytes.data(), bytes.size(), &link))) {
    state.SkipWithError("fixture missing or unreadable");
    return;
  }
  std::size_t written = 0;
  for (auto _ : state) {
    const std::vector<BYTE> out = emu::WriteShellLink(link);
    written = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
  state.counters["file_bytes"] = static_cast<double>(written);
}

// What the tool does to each shortcut's model between reading and writing it.
void SetLinkTargetBench(benchmark::State& state) {
  const std::vector<BYTE> bytes = Fixture("wine-full.lnk");
  emu::ShellLinkFile link;
  if (bytes.empty() || FAILED(emu::ParseShellLink(bytes.data(), bytes.size(), &link))) {
    state.SkipWithError("fixture missing or unreadable");
    return;
  }
  const std::u16string target = u"C:\\Program Files\\Pelmora V3.2\\Pelmora.EXE";
  for (auto _ : state) {
    emu::ShellLinkFile copy = link;
    emu::SetLinkTarget(copy, target);
    benchmark::DoNotOptimize(copy);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

}  // namespace

BENCHMARK_CAPTURE(ParseShellLinkBench, wine_full, "wine-full.lnk");
BENCHMARK_CAPTURE(ParseShellLinkBench, wine_target_only, "wine-target-only.lnk");
BENCHMARK_CAPTURE(ParseShellLinkBench, emulated_full, "emulated-full.lnk");
BENCHMARK_CAPTURE(WriteShellLinkBench, wine_full, "wine-full.lnk");
BENCHMARK_CAPTURE(WriteShellLinkBench, wine_target_only, "wine-target-only.lnk");
BENCHMARK_CAPTURE(WriteShellLinkBench, emulated_full, "emulated-full.lnk");
BENCHMARK(SetLinkTargetBench);
