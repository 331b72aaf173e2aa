// DeleteRegistryTree on the emulated registry: time and emulated calls per removed key, for the
// three tree shapes of bench/common/registry_trees.h at 10^2 ... 10^5 keys.
//
// Each iteration seeds a fresh tree (not timed) and times one removal of it. The journal is off:
// only the count of calls is kept (emu::CallsSoFar). For trees up to 10^4 keys one further,
// journaled, removal splits the calls by kind, so the registry's own calls can be told from the
// rest (the code page query that sizes the name buffers); a journal of a larger removal would
// hold millions of entries, and the split does not depend on the size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <limits>
#include <map>
#include <string>

#include "bench/common/registry_trees.h"
#include "platform/emulated/control.h"
#include "registry/delete_registry_tree.h"

namespace {

using benchtree::Shape;

std::string RootOf(const benchtree::Tree& tree) {
  return std::string(benchtree::kBenchRoot) + "\\" + benchtree::ShapeName(tree.shape);
}

void DeleteRegistryTreeBench(benchmark::State& state, Shape shape) {
  const int keys = static_cast<int>(state.range(0));
  const int valuesPerKey = static_cast<int>(state.range(1));
  const benchtree::Tree tree = benchtree::MakeTree(shape, keys, valuesPerKey);
  const std::string root = RootOf(tree);
  if (benchtree::LongestPath(tree, root) > benchtree::kLongestKeyPath) {
    state.SkipWithError("a key path of this tree is longer than the registry calls take");
    return;
  }
  emu::ResetMachine();
  emu::KeepJournal(false);

  double removing = 0;
  long long calls = 0;
  for (auto _ : state) {
    if (!benchtree::SeedTree(root, tree)) {
      state.SkipWithError("seeding failed");
      break;
    }
    emu::ClearJournal();
    const auto start = std::chrono::steady_clock::now();
    const bool done = DeleteRegistryTree(root);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    calls = emu::CallsSoFar();
    state.SetIterationTime(took.count());
    removing += took.count();
    if (!done || benchtree::KeyExists(root) || emu::OpenRegistryHandles() != 0) {
      state.SkipWithError("the tree was not removed cleanly");
      break;
    }
  }
  if (state.iterations() == 0) return;

  state.counters["keys"] = keys;
  state.counters["depth"] = benchtree::Depth(tree);
  state.counters["us_per_key"] =
      removing / static_cast<double>(state.iterations()) / keys * 1e6;
  state.counters["calls_per_key"] = static_cast<double>(calls) / keys;

  // Every run of a family reports the same counters: without the split, the column says so.
  state.counters["reg_calls_per_key"] = std::numeric_limits<double>::quiet_NaN();
  if (keys <= 10000) {
    benchtree::SeedTree(root, tree);
    emu::KeepJournal(true);
    emu::ClearJournal();
    DeleteRegistryTree(root);
    long long registryCalls = 0;
    for (const emu::JournalEntry& entry : emu::Journal())
      registryCalls += entry.call.rfind("Reg", 0) == 0;
    state.counters["reg_calls_per_key"] = static_cast<double>(registryCalls) / keys;
    emu::ClearJournal();
    emu::KeepJournal(false);
  }
}

// The same removal with the journal on, split by call: what each removed key costs, call by call.
void DeleteRegistryTreeCallMix(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const benchtree::Tree tree = benchtree::MakeTree(Shape::Balanced, keys, 0);
  const std::string root = RootOf(tree);
  emu::ResetMachine();
  std::map<std::string, long long> mix;
  for (auto _ : state) {
    state.PauseTiming();
    benchtree::SeedTree(root, tree);
    emu::KeepJournal(true);
    emu::ClearJournal();
    state.ResumeTiming();
    DeleteRegistryTree(root);
    state.PauseTiming();
    mix.clear();
    for (const emu::JournalEntry& entry : emu::Journal()) ++mix[entry.call];
    emu::ClearJournal();
    emu::KeepJournal(false);
    state.ResumeTiming();
  }
  for (const auto& [call, count] : mix)
    state.counters[call] = static_cast<double>(count) / keys;
}

void Sizes(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"keys", "values"});
  for (int keys : {100, 1000, 10000, 100000}) bench->Args({keys, 0});
  // Values cost a listing and a removal each; one size shows how much.
  bench->Args({10000, 2});
  bench->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.2);
}

}  // namespace

BENCHMARK_CAPTURE(DeleteRegistryTreeBench, wide, Shape::Wide)->Apply(Sizes);
BENCHMARK_CAPTURE(DeleteRegistryTreeBench, deep, Shape::Deep)->Apply(Sizes);
BENCHMARK_CAPTURE(DeleteRegistryTreeBench, balanced, Shape::Balanced)->Apply(Sizes);
BENCHMARK(DeleteRegistryTreeCallMix)->ArgName("keys")->Arg(1000)->Iterations(1);
