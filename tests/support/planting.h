// Things a hostile or careless machine leaves where the tool works: links of every kind, made
// the way they would arrive on each lane, and removed again without touching what they name.
#pragma once

#include <string>

namespace plant {

// A symbolic link at `at` naming `target` (a file or a folder; both Windows paths). On Wine,
// whose CreateSymbolicLinkA answers success and makes nothing, it is a host symbolic link: what
// Wine shows for a link made on the host. False when no link could be made.
bool SymbolicLink(const std::string& at, const std::string& target);
// A second name `at` for the existing file `existing`.
bool HardLink(const std::string& at, const std::string& existing);
// Removes the link at `at` itself, never what it names (deleting a host symbolic link through
// Wine deletes its target instead).
void RemoveLink(const std::string& at);

}  // namespace plant
