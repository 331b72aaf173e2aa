#include "bench/common/registry_trees.h"

#include <algorithm>
#include <functional>

namespace benchtree {

const char* ShapeName(Shape shape) {
  switch (shape) {
    case Shape::Wide:
      return "wide";
    case Shape::Deep:
      return "deep";
    case Shape::Balanced:
      return "balanced";
  }
  return "?";
}

namespace {

void AddWide(Tree& tree) {
  for (int i = 1; i < tree.keys; ++i) tree.nodes.push_back({1, "k" + std::to_string(i)});
}

void AddDeep(Tree& tree) {
  int left = tree.keys - 1;
  for (int chain = 0; left > 0; ++chain) {
    const int length = std::min(left, kDeepChain);
    tree.nodes.push_back({1, "c" + std::to_string(chain)});
    for (int depth = 2; depth <= length; ++depth) tree.nodes.push_back({depth, "k"});
    left -= length;
  }
}

void AddBalanced(Tree& tree) {
  // Key i of the level-by-level numbering has the children fanOut * i + 1 ... fanOut * i + fanOut.
  std::function<void(int, int)> visit = [&](int index, int depth) {
    for (int child = 1; child <= kBalancedFanOut; ++child) {
      const long long childIndex = static_cast<long long>(kBalancedFanOut) * index + child;
      if (childIndex >= tree.keys) return;
      tree.nodes.push_back({depth + 1, "b" + std::to_string(child - 1)});
      visit(static_cast<int>(childIndex), depth + 1);
    }
  };
  visit(0, 0);
}

// Opens (creating it if need be) `name` below `parent`.
HKEY Create(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

bool AddValues(HKEY key, int count) {
  static const char kData[] = "C:\\Program Files\\Pelmora\\remove.exe";
  for (int i = 0; i < count; ++i) {
    const std::string name = "Value" + std::to_string(i);
    if (RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(kData),
                       sizeof kData) != ERROR_SUCCESS)
      return false;
  }
  return true;
}

}  // namespace

Tree MakeTree(Shape shape, int keys, int valuesPerKey) {
  Tree tree;
  tree.shape = shape;
  tree.keys = keys;
  tree.valuesPerKey = valuesPerKey;
  tree.nodes.reserve(static_cast<std::size_t>(keys));
  tree.nodes.push_back({0, ""});
  switch (shape) {
    case Shape::Wide:
      AddWide(tree);
      break;
    case Shape::Deep:
      AddDeep(tree);
      break;
    case Shape::Balanced:
      AddBalanced(tree);
      break;
  }
  return tree;
}

std::size_t LongestPath(const Tree& tree, const std::string& rootPath) {
  std::vector<std::size_t> lengths{rootPath.size()};  // by depth
  std::size_t longest = rootPath.size();
  for (std::size_t i = 1; i < tree.nodes.size(); ++i) {
    const Node& node = tree.nodes[i];
    lengths.resize(static_cast<std::size_t>(node.depth) + 1);
    lengths[node.depth] = lengths[node.depth - 1] + 1 + node.name.size();
    longest = std::max(longest, lengths[node.depth]);
  }
  return longest;
}

int Depth(const Tree& tree) {
  int depth = 0;
  for (const Node& node : tree.nodes) depth = std::max(depth, node.depth);
  return depth;
}

bool SeedTree(const std::string& rootPath, const Tree& tree) {
  std::vector<HKEY> open;  // open[d] is the key at depth d on the current branch
  bool ok = true;
  for (const Node& node : tree.nodes) {
    while (static_cast<int>(open.size()) > node.depth) {
      RegCloseKey(open.back());
      open.pop_back();
    }
    HKEY key = node.depth == 0 ? Create(HKEY_LOCAL_MACHINE, rootPath) : Create(open.back(), node.name);
    if (!key || !AddValues(key, tree.valuesPerKey)) {
      if (key) RegCloseKey(key);
      ok = false;
      break;
    }
    open.push_back(key);
  }
  for (HKEY key : open) RegCloseKey(key);
  return ok;
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

}  // namespace benchtree
