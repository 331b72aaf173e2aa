// Fuzz target: the emulated platform's shell-link reader.
//
// Whatever the bytes, ParseShellLink must stay inside them and answer S_OK or the bad-format
// result. Whatever it reads must be writable, and the written file must read back to the same
// model (the writer recomputes the flag bits of the parts it writes; every other bit survives).
// What the shell link object's SetPath does to a loaded link must still give a writable file
// that reads back with the new target.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/emulated/shell_link_file.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "shell link round trip: %s\n", what);
    std::abort();
  }
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Everything the model holds, the flag word aside.
bool SameModel(const emu::ShellLinkFile& a, const emu::ShellLinkFile& b) {
  return a.fileAttributes == b.fileAttributes && SameTime(a.creationTime, b.creationTime) &&
         SameTime(a.accessTime, b.accessTime) && SameTime(a.writeTime, b.writeTime) &&
         a.fileSize == b.fileSize && a.iconIndex == b.iconIndex &&
         a.showCommand == b.showCommand && a.hotKey == b.hotKey && a.idList == b.idList &&
         a.targetPath == b.targetPath && a.description == b.description &&
         a.relativePath == b.relativePath && a.workingDirectory == b.workingDirectory &&
         a.arguments == b.arguments && a.iconLocation == b.iconLocation &&
         a.extraData == b.extraData;
}

// The flag bits the writer keeps as the model has them.
constexpr DWORD kRecomputed = emu::kHasLinkTargetIDList | emu::kHasLinkInfo | emu::kHasName |
                              emu::kHasRelativePath | emu::kHasWorkingDir | emu::kHasArguments |
                              emu::kHasIconLocation | emu::kIsUnicode | emu::kForceNoLinkInfo |
                              emu::kHasExpString | emu::kHasDarwinID | emu::kHasExpIcon;

void ExpectRoundTrip(const emu::ShellLinkFile& link, const char* stage) {
  const std::vector<BYTE> written = emu::WriteShellLink(link);
  Check(!written.empty(), stage);
  emu::ShellLinkFile again;
  Check(emu::ParseShellLink(written.data(), written.size(), &again) == S_OK, stage);
  Check(SameModel(link, again), stage);
  Check((again.linkFlags & ~kRecomputed) == (link.linkFlags & ~kRecomputed), stage);
  // A file of our own writing is a fixed point of reading and writing.
  Check(emu::WriteShellLink(again) == written, stage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  emu::ShellLinkFile link;
  const HRESULT parsed = emu::ParseShellLink(data, size, &link);
  Check(parsed == S_OK || parsed == emu::kShellLinkBadFormat, "unexpected result");
  if (parsed != S_OK) return 0;
  ExpectRoundTrip(link, "as read");

  emu::SetLinkTarget(link, u"C:\\Program Files\\Pelmora\\Pelmora.EXE");
  link.workingDirectory = u"C:\\Program Files\\Pelmora\\";
  ExpectRoundTrip(link, "repointed");
  return 0;
}
