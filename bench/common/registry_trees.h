// Registry trees for the benchmarks, in three shapes, seeded through the ordinary registry API so
// that the same trees are built on the emulated platform and under Wine.
//
// A tree of N keys is its root key (the path the removal is given) and N - 1 keys below it:
//   wide      every key directly below the root;
//   deep      chains of up to kDeepChain keys hung below the root, one after the other. The 8-bit
//             registry calls take paths of at most 260 characters and the removal opens every key
//             by its full path from HKEY_LOCAL_MACHINE, so one chain of 10^5 keys could never be
//             opened: kDeepChain is as deep as paths allow with one-character names below
//             kBenchRoot (the longest path is checked when a tree is made);
//   balanced  a complete ten-ary tree, filled level by level until it has N keys.
// Every key may hold a number of short REG_SZ values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace benchtree {

enum class Shape { Wide, Deep, Balanced };

const char* ShapeName(Shape shape);

// Where the benchmarks put their trees, below HKEY_LOCAL_MACHINE.
constexpr const char* kBenchRoot = "SOFTWARE\\PelmoraFixupBench";
// Keys in one chain of the deep shape.
constexpr int kDeepChain = 100;
// Keys per level of the balanced shape.
constexpr int kBalancedFanOut = 10;
// The longest key path the 8-bit registry calls take.
constexpr std::size_t kLongestKeyPath = 260;

struct Node {
  int depth = 0;     // 0 for the root
  std::string name;  // empty for the root
};

struct Tree {
  Shape shape = Shape::Wide;
  int keys = 0;
  int valuesPerKey = 0;
  std::vector<Node> nodes;  // depth-first, every key after its parent
};

Tree MakeTree(Shape shape, int keys, int valuesPerKey = 0);

// The longest full path of the tree's keys when its root is `rootPath`.
std::size_t LongestPath(const Tree& tree, const std::string& rootPath);
// How deep the tree goes below its root.
int Depth(const Tree& tree);

// Creates the tree with its root at `rootPath` below HKEY_LOCAL_MACHINE. Each key is created
// below its parent's open handle, so seeding never meets the path limit. False when a call fails.
bool SeedTree(const std::string& rootPath, const Tree& tree);

bool KeyExists(const std::string& path);

}  // namespace benchtree
