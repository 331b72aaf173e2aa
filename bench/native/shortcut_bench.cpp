// The shortcut work on the emulated platform: OpenFolderShortcut over desktop folders of 10 to
// 10^4 items, and the whole run (RunMainSequence) with 0 to 5 * 10^3 unrelated desktop items.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "app/main_sequence.h"
#include "bench/native/emulated_desktop.h"
#include "platform/emulated/control.h"
#include "platform/holders.h"
#include "shortcuts/open_folder_shortcut.h"

namespace {

using benchdesk::EmulatedDesktop;

constexpr const char* kSought = "Pelmora Heritage";

// One lookup of a shortcut among `items` desktop items, the shortcut being one of them: a full
// enumeration of the folder, then the link loaded.
void OpenFolderShortcutBench(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  EmulatedDesktop machine;
  machine.AddUnrelatedItems(items - 1);
  EmulatedDesktop::WriteLink(machine.Host(EmulatedDesktop::kDesktop) / (std::string(kSought) + ".lnk"),
                             "sought");

  ComScope com;  // the caller's scope, as in the tool: the link outlives the lookup's own
  long long calls = 0;
  double looking = 0;
  for (auto _ : state) {
    emu::ClearJournal();
    ComPtr<IShellLinkA> link;
    AnsiString path;
    const auto start = std::chrono::steady_clock::now();
    OpenFolderShortcut(nullptr, "", "", "", 0, kSought, CSIDL_DESKTOPDIRECTORY, false, &link, path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    looking += took.count();
    calls = emu::CallsSoFar();
    if (!link || path.empty()) {
      state.SkipWithError("the shortcut was not found");
      break;
    }
  }
  if (state.iterations() == 0) return;
  state.counters["items"] = items;
  state.counters["calls_per_item"] = static_cast<double>(calls) / items;
  state.counters["us_per_item"] = looking / static_cast<double>(state.iterations()) / items * 1e6;
}

// The whole run: five earlier uninstall entries removed, six shortcuts repointed through the
// desktop, which holds `items` unrelated items. Registry and shortcuts are seeded afresh (not
// timed) before each run.
void RunMainSequenceBench(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  EmulatedDesktop machine;
  machine.AddUnrelatedItems(items);
  machine.InstallShortcuts();

  auto seed = [] {
    HKEY key = nullptr;
    for (const char* entry : earlierUninstallKeys) {
      for (const char* sub : {"", "\\Components\\Core\\Files", "\\Features"}) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(entry) + sub).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        static const char kData[] = "Pelmora";
        RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kData),
                       sizeof kData);
        RegCloseKey(key);
      }
    }
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, currentUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    static const char kName[] = "Pelmora V3.2";
    static const char kCommand[] = "C:\\Program Files\\Pelmora V3.2\\remove.exe";
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kName),
                   sizeof kName);
    RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(kCommand),
                   sizeof kCommand);
    RegCloseKey(key);
  };

  long long calls = 0;
  for (auto _ : state) {
    seed();
    machine.RestoreShortcuts();
    emu::ClearJournal();
    const auto start = std::chrono::steady_clock::now();
    const int status = RunMainSequence();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    calls = emu::CallsSoFar();
    if (status != 0 || emu::OpenRegistryHandles() != 0 || emu::ComInitDepth() != 0) {
      state.SkipWithError("the run did not end cleanly");
      break;
    }
  }
  state.counters["items"] = items;
  state.counters["calls"] = static_cast<double>(calls);
}

}  // namespace

BENCHMARK(OpenFolderShortcutBench)
    ->ArgName("items")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.2);
BENCHMARK(RunMainSequenceBench)
    ->ArgName("desktop_items")
    ->Arg(0)
    ->Arg(1000)
    ->Arg(5000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);
