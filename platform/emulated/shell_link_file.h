// The shell-link (.lnk) binary file format, as the emulated shell link object loads and saves it.
//
// A model of one link file plus a reader and a writer. The reader is a pure function over bytes:
// it never reads outside the buffer it is given, whatever the bytes say, and it refuses anything
// malformed rather than guessing. The writer produces files that the system's own shell link
// object and independent readers load.
//
// Text: the model is UTF-16 throughout. The file's 8-bit strings (the LinkInfo's LocalBasePath,
// and StringData without IsUnicode) are taken as Windows-1252, the emulated default ANSI code page;
// the writer always writes the UTF-16 forms as well, so no reader needs the 8-bit ones.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulated/windows_api_emulated.h"

namespace emu {

// LinkFlags bits of the header.
enum ShellLinkFlag : DWORD {
  kHasLinkTargetIDList = 0x00000001,
  kHasLinkInfo = 0x00000002,
  kHasName = 0x00000004,
  kHasRelativePath = 0x00000008,
  kHasWorkingDir = 0x00000010,
  kHasArguments = 0x00000020,
  kHasIconLocation = 0x00000040,
  kIsUnicode = 0x00000080,
  kForceNoLinkInfo = 0x00000100,
  kHasExpString = 0x00000200,
  kHasDarwinID = 0x00001000,
  kHasExpIcon = 0x00004000,
};

// Signatures of the extra-data blocks.
enum ShellLinkBlock : DWORD {
  kEnvironmentVariableBlock = 0xA0000001,
  kConsoleBlock = 0xA0000002,
  kTrackerBlock = 0xA0000003,
  kConsoleFEBlock = 0xA0000004,
  kSpecialFolderBlock = 0xA0000005,
  kDarwinBlock = 0xA0000006,
  kIconEnvironmentBlock = 0xA0000007,
  kShimBlock = 0xA0000008,
  kPropertyStoreBlock = 0xA0000009,
  kKnownFolderBlock = 0xA000000B,
  kVistaAndAboveIDListBlock = 0xA000000C,
};

// What ParseShellLink answers for bytes that are not a well-formed link.
constexpr HRESULT kShellLinkBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);

struct ShellLinkFile {
  // As read. WriteShellLink recomputes the bits of the parts the model holds (target ID list,
  // LinkInfo, the five strings, IsUnicode, ForceNoLinkInfo) and those of the extra-data blocks it
  // carries (HasExpString, HasDarwinID, HasExpIcon); every other bit is written as it is here.
  DWORD linkFlags = 0;
  DWORD fileAttributes = 0;
  FILETIME creationTime{}, accessTime{}, writeTime{};
  DWORD fileSize = 0;
  INT iconIndex = 0;
  INT showCommand = 1;  // SW_SHOWNORMAL
  WORD hotKey = 0;      // low byte: virtual key; high byte: HOTKEYF_SHIFT 1, CONTROL 2, ALT 4
  // The LinkTargetIDList's IDList (item IDs and the terminal ID), kept as read; empty = none.
  std::vector<BYTE> idList;
  // The target as the LinkInfo names it: LocalBasePath followed by CommonPathSuffix (the UTF-16
  // forms where the file has them), or for a network-only LinkInfo the NetName, a backslash and
  // the suffix. Empty = no LinkInfo (or one that the ForceNoLinkInfo flag says to ignore).
  std::u16string targetPath;
  // The StringData strings; a string stops at its first NUL (some writers count one).
  std::optional<std::u16string> description, relativePath, workingDirectory, arguments, iconLocation;
  // The extra-data blocks as read, each whole (BlockSize, BlockSignature, data), without the
  // terminal block. Written back as they are, so they must be well-formed blocks.
  std::vector<BYTE> extraData;
};

// Reads a link file. Never reads outside [data, data + size). Returns S_OK and fills *out, or
// kShellLinkBadFormat for anything malformed, truncated or contradictory (leaving *out as it was),
// E_POINTER when out is null, E_INVALIDARG when data is null and size is not zero.
// Bytes after the terminal block are ignored; a file that ends where the terminal block would
// begin is accepted as if it were there.
HRESULT ParseShellLink(const BYTE* data, size_t size, ShellLinkFile* out);

// Writes a link file: the header; the LinkTargetIDList when idList is not empty; a LinkInfo when
// targetPath is not empty (a fixed-drive VolumeID without serial number or label, the path whole
// in LocalBasePath in 8-bit and UTF-16 forms, empty CommonPathSuffix); the present strings in
// UTF-16 without terminators; the extra-data blocks; the terminal block.
// Returns an empty vector when the model cannot be written: a StringData string longer than 65535
// UTF-16 units (their counts are 16-bit), an idList that is not a well-formed ID list or longer
// than 65535 bytes, or extraData that is not a sequence of well-formed blocks. Whatever
// ParseShellLink read can be written.
std::vector<BYTE> WriteShellLink(const ShellLinkFile& link);

// What the shell link object's SetPath does to a loaded link: the new target in the LinkInfo
// (ForceNoLinkInfo cleared), the old ID list dropped, the header's description of the old target
// (attributes, times, size) zeroed, and the extra-data blocks that describe the old target dropped
// (environment-variable target, darwin, special folder, known folder, tracker, Vista ID list),
// with their flags; every other block and property kept as it was.
void SetLinkTarget(ShellLinkFile& link, const std::u16string& path);

}  // namespace emu
