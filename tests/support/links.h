// Shortcut files in tests: written and read through the platform's own shell link object, and
// handled as plain files through the lane's view of the file system.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace testlink {

struct LinkProps {
  std::string target;
  std::string arguments;
  std::string description;
  std::string iconLocation;
  int iconIndex = 0;
  std::string workingDirectory;
  WORD hotKey = 0;
  int showCommand = SW_SHOWNORMAL;
  bool operator==(const LinkProps& other) const;
};
std::ostream& operator<<(std::ostream& out, const LinkProps& props);

// A link with every property set to something of its own.
LinkProps Sample(const std::string& tag);

// Both open a COM scope of their own for the work.
void Write(const std::string& windowsPath, const LinkProps& props);
std::optional<LinkProps> Read(const std::string& windowsPath);
// The properties of a link object at hand.
LinkProps PropsOf(IShellLinkA* link);

std::vector<BYTE> Bytes(const std::string& windowsPath);  // empty when the file is missing
void PutBytes(const std::string& windowsPath, const std::vector<BYTE>& bytes);
bool Exists(const std::string& windowsPath);
// Names of the entries in a folder, sorted.
std::vector<std::string> List(const std::string& windowsFolder);
void MakeFolder(const std::string& windowsFolder);
void RemoveAll(const std::string& windowsPath);

}  // namespace testlink
