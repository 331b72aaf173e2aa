// DeleteRegistryTree against the platform's RegDeleteTreeA, on identical trees seeded afresh
// before every timed removal, the two taking turns (ours first in even rounds, theirs first in odd
// ones), and the tree sizes taking turns within each round. Only the removal is timed.
//
//   tree_removal_side_by_side [--keys 1000,10000] [--rounds 15] [--values 0]
//                             [--shapes balanced] [--costs]
//
// Prints tab-separated lines:
//   sample   <shape> <keys> <values> <round> <ours|theirs> <seconds>
//   summary  <shape> <keys> <values> <rounds> <ours median s> <theirs median s> <ratio>
//            <ours min s> <theirs min s>
//   cost     <call> <microseconds per call>           (--costs: each registry call on its own)
//
//   tree_removal_side_by_side --trace <ours|theirs> [--keys 100] [--shapes balanced]
// removes one seeded tree between two OutputDebugStringA marks ("pelmora-bench: removal starts"
// and "... ends"), for a relay trace of the system calls each removal makes (tools/bench runs it
// with WINEDEBUG=+relay and counts the ntdll calls between the marks).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/registry_trees.h"
#include "bench/windows/stats.h"
#include "registry/delete_registry_tree.h"

namespace {

using benchstats::Now;
using benchtree::Shape;

const std::string kRoot = std::string(benchtree::kBenchRoot) + "\\side-by-side";

Shape ShapeNamed(const std::string& name) {
  if (name == "wide") return Shape::Wide;
  if (name == "deep") return Shape::Deep;
  return Shape::Balanced;
}

void RemoveLeftovers() {
  if (benchtree::KeyExists(kRoot)) RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot.c_str());
}

// One timed removal of a freshly seeded tree; negative when it went wrong.
double TimedRemoval(const benchtree::Tree& tree, bool ours) {
  RemoveLeftovers();
  if (!benchtree::SeedTree(kRoot, tree)) return -1;
  const double start = Now();
  const bool done = ours ? DeleteRegistryTree(kRoot)
                         : RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot.c_str()) == ERROR_SUCCESS;
  const double took = Now() - start;
  if (!done || benchtree::KeyExists(kRoot)) return -1;
  return took;
}

int SideBySide(const std::vector<std::string>& shapes, const std::vector<int>& sizes, int rounds,
               int values) {
  for (const std::string& shapeName : shapes) {
    std::vector<benchtree::Tree> trees;
    for (int keys : sizes) {
      trees.push_back(benchtree::MakeTree(ShapeNamed(shapeName), keys, values));
      if (benchtree::LongestPath(trees.back(), kRoot) > benchtree::kLongestKeyPath) {
        std::fprintf(stderr, "%s tree of %d keys: a path is too long\n", shapeName.c_str(), keys);
        return 1;
      }
      // One untimed pair first, so that neither side pays for a cold start.
      TimedRemoval(trees.back(), true);
      TimedRemoval(trees.back(), false);
    }
    // The sizes take turns too, every round, so that what the machine does meanwhile falls on
    // all of them alike and the growth from one size to the next is not a drift of the machine.
    std::vector<std::vector<double>> ours(sizes.size()), theirs(sizes.size());
    for (int round = 0; round < rounds; ++round) {
      for (std::size_t step = 0; step < sizes.size(); ++step) {
        const std::size_t size = round % 2 == 0 ? step : sizes.size() - 1 - step;
        for (int turn = 0; turn < 2; ++turn) {
          const bool oursNow = (round % 2 == 0) == (turn == 0);
          const double took = TimedRemoval(trees[size], oursNow);
          if (took < 0) {
            std::fprintf(stderr, "%s removal of the %s tree of %d keys failed\n",
                         oursNow ? "our" : "the platform's", shapeName.c_str(), sizes[size]);
            return 1;
          }
          (oursNow ? ours : theirs)[size].push_back(took);
          std::printf("sample\t%s\t%d\t%d\t%d\t%s\t%.6f\n", shapeName.c_str(), sizes[size],
                      values, round, oursNow ? "ours" : "theirs", took);
        }
      }
    }
    for (std::size_t size = 0; size < sizes.size(); ++size) {
      const double oursMedian = benchstats::Median(ours[size]);
      const double theirsMedian = benchstats::Median(theirs[size]);
      std::printf("summary\t%s\t%d\t%d\t%d\t%.6f\t%.6f\t%.3f\t%.6f\t%.6f\n", shapeName.c_str(),
                  sizes[size], values, rounds, oursMedian, theirsMedian, oursMedian / theirsMedian,
                  benchstats::Minimum(ours[size]), benchstats::Minimum(theirs[size]));
    }
    std::fflush(stdout);
  }
  RemoveLeftovers();
  return 0;
}

// ---- the registry calls one by one -------------------------------------------------------

struct Entry {
  std::string path;  // full path below HKEY_LOCAL_MACHINE
  std::string name;
  int parent = -1;
};

std::vector<Entry> Entries(const benchtree::Tree& tree) {
  std::vector<Entry> entries;
  std::vector<int> branch;  // branch[d]: the entry at depth d on the current branch
  for (const benchtree::Node& node : tree.nodes) {
    branch.resize(static_cast<std::size_t>(node.depth));
    Entry entry;
    entry.name = node.name;
    entry.parent = branch.empty() ? -1 : branch.back();
    entry.path = entry.parent < 0 ? kRoot : entries[entry.parent].path + "\\" + node.name;
    branch.push_back(static_cast<int>(entries.size()));
    entries.push_back(entry);
  }
  return entries;
}

void Cost(const char* call, double seconds, std::size_t count) {
  std::printf("cost\t%s\t%.3f\n", call, seconds / static_cast<double>(count) * 1e6);
}

// Times each kind of call the two removals make, over every key of a balanced tree.
int CallCosts(int keys) {
  const benchtree::Tree tree = benchtree::MakeTree(Shape::Balanced, keys, 0);
  const std::vector<Entry> entries = Entries(tree);
  RemoveLeftovers();
  if (!benchtree::SeedTree(kRoot, tree)) return 1;
  std::vector<HKEY> handles(entries.size());

  double start = Now();
  for (std::size_t i = 0; i < entries.size(); ++i)
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, entries[i].path.c_str(), 0, KEY_ALL_ACCESS, &handles[i]);
  Cost("RegOpenKeyExA by full path from HKLM", Now() - start, entries.size());

  std::vector<HKEY> relative(entries.size());
  start = Now();
  for (std::size_t i = 1; i < entries.size(); ++i)
    RegOpenKeyExA(handles[entries[i].parent], entries[i].name.c_str(), 0, KEY_ALL_ACCESS,
                  &relative[i]);
  Cost("RegOpenKeyExA by name below the parent's handle", Now() - start, entries.size() - 1);
  start = Now();
  for (std::size_t i = 1; i < entries.size(); ++i) RegCloseKey(relative[i]);
  Cost("RegCloseKey", Now() - start, entries.size() - 1);

  DWORD subkeys = 0, longest = 0, values = 0, longestValue = 0, longestData = 0;
  start = Now();
  for (HKEY key : handles)
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, &values,
                     &longestValue, &longestData, nullptr, nullptr);
  Cost("RegQueryInfoKeyA", Now() - start, handles.size());

  CPINFO info;
  start = Now();
  for (std::size_t i = 0; i < entries.size(); ++i) GetCPInfo(CP_ACP, &info);
  Cost("GetCPInfo", Now() - start, entries.size());

  std::size_t enumerated = 0;
  char name[MAX_PATH];
  start = Now();
  for (HKEY key : handles) {
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      ++enumerated;
    }
  }
  // Each key's listing ends with one call that finds no more: counted as calls too.
  Cost("RegEnumKeyExA", Now() - start, enumerated + handles.size());

  for (HKEY key : handles) RegCloseKey(key);

  // Children come after their parents: deleting from the last entry back deletes leaves only.
  start = Now();
  for (std::size_t i = entries.size(); i-- > 0;)
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, entries[i].path.c_str());
  Cost("RegDeleteKeyA by full path from HKLM", Now() - start, entries.size());
  RemoveLeftovers();
  return 0;
}

// One removal between two marks that a relay trace shows.
int Trace(const std::string& shapeName, int keys, int values, bool ours) {
  const benchtree::Tree tree = benchtree::MakeTree(ShapeNamed(shapeName), keys, values);
  RemoveLeftovers();
  if (!benchtree::SeedTree(kRoot, tree)) return 1;
  OutputDebugStringA("pelmora-bench: removal starts");
  const bool done = ours ? DeleteRegistryTree(kRoot)
                         : RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot.c_str()) == ERROR_SUCCESS;
  OutputDebugStringA("pelmora-bench: removal ends");
  return done && !benchtree::KeyExists(kRoot) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<int> sizes = benchstats::IntList(benchstats::Option(argc, argv, "--keys", "1000,10000"));
  const int rounds = std::stoi(benchstats::Option(argc, argv, "--rounds", "15"));
  const int values = std::stoi(benchstats::Option(argc, argv, "--values", "0"));
  std::vector<std::string> shapes;
  for (const std::string& shape :
       {std::string("wide"), std::string("deep"), std::string("balanced")})
    if (benchstats::Option(argc, argv, "--shapes", "balanced").find(shape) != std::string::npos)
      shapes.push_back(shape);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--costs") return CallCosts(1000);
  const std::string trace = benchstats::Option(argc, argv, "--trace", "");
  if (!trace.empty())
    return Trace(shapes.empty() ? "balanced" : shapes.front(), sizes.empty() ? 100 : sizes.front(),
                 values, trace == "ours");
  return SideBySide(shapes, sizes, rounds, values);
}
