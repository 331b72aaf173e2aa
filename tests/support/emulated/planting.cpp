#include "tests/support/planting.h"

#include <filesystem>

#include "tests/support/lane.h"

namespace plant {

bool SymbolicLink(const std::string& at, const std::string& target) {
  std::error_code error;
  const auto hostTarget = lane::FsPath(target);
  if (std::filesystem::is_directory(hostTarget))
    std::filesystem::create_directory_symlink(hostTarget, lane::FsPath(at), error);
  else
    std::filesystem::create_symlink(hostTarget, lane::FsPath(at), error);
  return !error;
}

bool HardLink(const std::string& at, const std::string& existing) {
  std::error_code error;
  std::filesystem::create_hard_link(lane::FsPath(existing), lane::FsPath(at), error);
  return !error;
}

void RemoveLink(const std::string& at) {
  std::error_code error;
  std::filesystem::remove(lane::FsPath(at), error);
}

}  // namespace plant
