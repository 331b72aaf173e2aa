// The shell-link binary file format: reader, writer and the SetPath edit. See shell_link_file.h.
//
// Layout (all integers little-endian):
//   header (0x4C bytes) [LinkTargetIDList] [LinkInfo] [StringData...] ExtraData-blocks terminal
// Every size and offset the file states is checked against the structure that holds it and
// against the file before anything is read through it; all arithmetic on them is done in size_t
// after a check that it cannot wrap.
#include "platform/emulated/shell_link_file.h"

#include <cstring>
#include <utility>

namespace emu {
namespace {

constexpr DWORD kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} as stored.
constexpr BYTE kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

constexpr DWORD kLinkInfoHeaderSizeBasic = 0x1C;    // without the UTF-16 offsets
constexpr DWORD kLinkInfoHeaderSizeUnicode = 0x24;  // with them (any larger size has them too)
constexpr DWORD kVolumeIDAndLocalBasePath = 0x1;
constexpr DWORD kCommonNetworkRelativeLinkAndPathSuffix = 0x2;
constexpr DWORD kValidDevice = 0x1;
constexpr DWORD kDriveFixed = 3;

constexpr size_t kMaxCount = 0xFFFF;  // 16-bit counts and sizes

// Bits the writer recomputes from the model.
constexpr DWORD kModelFlags = kHasLinkTargetIDList | kHasLinkInfo | kHasName | kHasRelativePath |
                              kHasWorkingDir | kHasArguments | kHasIconLocation | kIsUnicode |
                              kHasExpString | kHasDarwinID | kHasExpIcon;

// ---------------------------------------------------------------------------------------------
// Bounded reading
// ---------------------------------------------------------------------------------------------

// A window on bytes; every read names an offset inside the window and fails if it would leave it.
class Bytes {
 public:
  Bytes(const BYTE* data, size_t size) : data_(data), size_(size) {}
  size_t size() const { return size_; }
  // True when [offset, offset + length) lies inside the window.
  bool Has(size_t offset, size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  bool U16(size_t offset, WORD* value) const {
    if (!Has(offset, 2)) return false;
    *value = static_cast<WORD>(data_[offset] | (data_[offset + 1] << 8));
    return true;
  }
  bool U32(size_t offset, DWORD* value) const {
    if (!Has(offset, 4)) return false;
    *value = static_cast<DWORD>(data_[offset]) | (static_cast<DWORD>(data_[offset + 1]) << 8) |
             (static_cast<DWORD>(data_[offset + 2]) << 16) |
             (static_cast<DWORD>(data_[offset + 3]) << 24);
    return true;
  }
  // The window [offset, offset + length); the caller has checked Has(offset, length).
  Bytes Sub(size_t offset, size_t length) const { return Bytes(data_ + offset, length); }
  const BYTE* at(size_t offset) const { return data_ + offset; }

 private:
  const BYTE* data_;
  size_t size_;
};

// Windows-1252's characters for the bytes 0x80-0x9F; the five it leaves undefined map to the
// control character of the same value, as the system's conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromCp1252(BYTE b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

// One byte per UTF-16 unit ('?' for a character Windows-1252 lacks, one for a surrogate pair).
std::string ToCp1252(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] == c) {
        byte = static_cast<char>(0x80 + k);
        break;
      }
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000)
      ++i;
    out.push_back(byte);
  }
  return out;
}

// A NUL-terminated 8-bit string at `offset`; the terminator must lie inside the window.
bool AnsiZ(const Bytes& b, size_t offset, std::u16string* out) {
  if (offset >= b.size()) return false;
  const BYTE* start = b.at(offset);
  const void* nul = std::memchr(start, 0, b.size() - offset);
  if (!nul) return false;
  size_t length = static_cast<size_t>(static_cast<const BYTE*>(nul) - start);
  out->clear();
  out->reserve(length);
  for (size_t i = 0; i < length; ++i) out->push_back(FromCp1252(start[i]));
  return true;
}

// A NUL-terminated UTF-16 string at `offset`; the terminator must lie inside the window.
bool WideZ(const Bytes& b, size_t offset, std::u16string* out) {
  out->clear();
  for (size_t at = offset;; at += 2) {
    WORD unit;
    if (!b.U16(at, &unit)) return false;
    if (unit == 0) return true;
    out->push_back(static_cast<char16_t>(unit));
  }
}

// The length of a well-formed ID list (item IDs, each at least its 2-byte size, then the 2-byte
// terminal ID) that fills the window exactly.
bool IsIDList(const Bytes& b) {
  size_t at = 0;
  for (;;) {
    WORD itemSize;
    if (!b.U16(at, &itemSize)) return false;
    if (itemSize == 0) return at + 2 == b.size();
    if (itemSize < 2 || !b.Has(at, itemSize)) return false;
    at += itemSize;
  }
}

// Walks extra-data blocks that fill the window exactly, each at least 8 bytes; calls
// visit(offset, size, signature) for each. False if the window is not such a sequence.
template <class Visit>
bool ForEachBlock(const Bytes& b, Visit visit) {
  size_t at = 0;
  while (at < b.size()) {
    DWORD blockSize, signature;
    if (!b.U32(at, &blockSize) || blockSize < 8 || !b.Has(at, blockSize) ||
        !b.U32(at + 4, &signature))
      return false;
    visit(at, static_cast<size_t>(blockSize), signature);
    at += blockSize;
  }
  return true;
}

// An offset into a structure's variable part: past its fixed fields, inside the structure.
bool InBody(DWORD offset, size_t fixedSize, size_t structSize) {
  return offset >= fixedSize && offset < structSize;
}

// VolumeID: size (> 0x10), drive type, serial number, label offset, [UTF-16 label offset],
// label. Only checked: the model does not keep it.
bool CheckVolumeID(const Bytes& linkInfo, size_t offset) {
  DWORD size;
  if (!linkInfo.U32(offset, &size) || size <= 0x10 || !linkInfo.Has(offset, size)) return false;
  Bytes vol = linkInfo.Sub(offset, size);
  DWORD labelOffset;
  std::u16string label;
  if (!vol.U32(0x0C, &labelOffset)) return false;
  if (labelOffset == 0x14) {
    DWORD unicodeOffset;
    return vol.U32(0x10, &unicodeOffset) && InBody(unicodeOffset, 0x14, size) &&
           WideZ(vol, unicodeOffset, &label);
  }
  return InBody(labelOffset, 0x10, size) && AnsiZ(vol, labelOffset, &label);
}

// CommonNetworkRelativeLink: size (>= 0x14), flags, NetName offset, DeviceName offset, provider
// type, [UTF-16 NetName and DeviceName offsets when the NetName offset is past 0x14], strings.
bool ReadNetName(const Bytes& linkInfo, size_t offset, std::u16string* netName) {
  DWORD size, flags, netOffset, deviceOffset;
  if (!linkInfo.U32(offset, &size) || size < 0x14 || !linkInfo.Has(offset, size)) return false;
  Bytes link = linkInfo.Sub(offset, size);
  if (!link.U32(4, &flags) || !link.U32(8, &netOffset) || !link.U32(0x0C, &deviceOffset))
    return false;
  size_t fixed = netOffset > 0x14 ? 0x1C : 0x14;
  if (size < fixed || !InBody(netOffset, fixed, size) || !AnsiZ(link, netOffset, netName))
    return false;
  std::u16string device;
  if ((flags & kValidDevice) &&
      (!InBody(deviceOffset, fixed, size) || !AnsiZ(link, deviceOffset, &device)))
    return false;
  if (fixed == 0x1C) {
    DWORD netUnicode, deviceUnicode;
    if (!link.U32(0x14, &netUnicode) || !link.U32(0x18, &deviceUnicode)) return false;
    if (netUnicode != 0) {
      std::u16string wide;
      if (!InBody(netUnicode, fixed, size) || !WideZ(link, netUnicode, &wide)) return false;
      *netName = std::move(wide);
    }
    if ((flags & kValidDevice) && deviceUnicode != 0 &&
        (!InBody(deviceUnicode, fixed, size) || !WideZ(link, deviceUnicode, &device)))
      return false;
  }
  return true;
}

// LinkInfo: size, header size, flags, VolumeID / LocalBasePath / CommonNetworkRelativeLink /
// CommonPathSuffix offsets, [UTF-16 LocalBasePath / CommonPathSuffix offsets], then the parts.
bool ReadLinkInfo(const Bytes& li, std::u16string* target) {
  DWORD headerSize, flags, volumeOffset, baseOffset, netOffset, suffixOffset;
  if (!li.U32(4, &headerSize) || !li.U32(8, &flags) || !li.U32(0x0C, &volumeOffset) ||
      !li.U32(0x10, &baseOffset) || !li.U32(0x14, &netOffset) || !li.U32(0x18, &suffixOffset))
    return false;
  if (headerSize != kLinkInfoHeaderSizeBasic && headerSize < kLinkInfoHeaderSizeUnicode)
    return false;
  if (headerSize > li.size()) return false;
  DWORD baseUnicode = 0, suffixUnicode = 0;
  if (headerSize >= kLinkInfoHeaderSizeUnicode &&
      (!li.U32(0x1C, &baseUnicode) || !li.U32(0x20, &suffixUnicode)))
    return false;

  std::u16string suffix;
  if (suffixOffset != 0 &&
      (!InBody(suffixOffset, headerSize, li.size()) || !AnsiZ(li, suffixOffset, &suffix)))
    return false;
  if (suffixUnicode != 0 &&
      (!InBody(suffixUnicode, headerSize, li.size()) || !WideZ(li, suffixUnicode, &suffix)))
    return false;

  std::u16string base;
  if (flags & kVolumeIDAndLocalBasePath) {
    if (!InBody(volumeOffset, headerSize, li.size()) || !CheckVolumeID(li, volumeOffset))
      return false;
    if (!InBody(baseOffset, headerSize, li.size()) || !AnsiZ(li, baseOffset, &base)) return false;
    if (baseUnicode != 0 &&
        (!InBody(baseUnicode, headerSize, li.size()) || !WideZ(li, baseUnicode, &base)))
      return false;
  }
  std::u16string netName;
  if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
    if (!InBody(netOffset, headerSize, li.size()) || !ReadNetName(li, netOffset, &netName))
      return false;
  }

  if (flags & kVolumeIDAndLocalBasePath) {
    *target = base + suffix;
  } else if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
    *target = netName;
    if (!suffix.empty()) {
      if (target->empty() || target->back() != u'\\') target->push_back(u'\\');
      *target += suffix;
    }
  } else {
    target->clear();
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

void Put16(std::vector<BYTE>& out, size_t value) {
  out.push_back(static_cast<BYTE>(value));
  out.push_back(static_cast<BYTE>(value >> 8));
}
void Put32(std::vector<BYTE>& out, size_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}
void PutFileTime(std::vector<BYTE>& out, const FILETIME& t) {
  Put32(out, t.dwLowDateTime);
  Put32(out, t.dwHighDateTime);
}
void PutWide(std::vector<BYTE>& out, const std::u16string& text) {
  for (char16_t c : text) Put16(out, c);
}

std::vector<BYTE> LinkInfoFor(const std::u16string& path) {
  // header | VolumeID | LocalBasePath | CommonPathSuffix | LocalBasePathUnicode |
  // CommonPathSuffixUnicode
  const std::string ansi = ToCp1252(path);
  const size_t volumeOffset = kLinkInfoHeaderSizeUnicode;
  const size_t volumeSize = 0x11;  // fixed fields and an empty 8-bit label
  const size_t baseOffset = volumeOffset + volumeSize;
  const size_t suffixOffset = baseOffset + ansi.size() + 1;
  const size_t baseUnicodeOffset = suffixOffset + 1;
  const size_t suffixUnicodeOffset = baseUnicodeOffset + 2 * (path.size() + 1);
  const size_t size = suffixUnicodeOffset + 2;

  std::vector<BYTE> out;
  out.reserve(size);
  Put32(out, size);
  Put32(out, kLinkInfoHeaderSizeUnicode);
  Put32(out, kVolumeIDAndLocalBasePath);
  Put32(out, volumeOffset);
  Put32(out, baseOffset);
  Put32(out, 0);  // no CommonNetworkRelativeLink
  Put32(out, suffixOffset);
  Put32(out, baseUnicodeOffset);
  Put32(out, suffixUnicodeOffset);
  // VolumeID
  Put32(out, volumeSize);
  Put32(out, kDriveFixed);
  Put32(out, 0);     // serial number
  Put32(out, 0x10);  // label offset
  out.push_back(0);  // empty label
  out.insert(out.end(), ansi.begin(), ansi.end());
  out.push_back(0);
  out.push_back(0);  // empty suffix
  PutWide(out, path);
  Put16(out, 0);
  Put16(out, 0);  // empty UTF-16 suffix
  return out;
}

}  // namespace

HRESULT ParseShellLink(const BYTE* data, size_t size, ShellLinkFile* out) {
  if (!out) return E_POINTER;
  if (!data && size != 0) return E_INVALIDARG;
  const Bytes file(data, size);
  ShellLinkFile link;

  DWORD headerSize, showCommand, iconIndex;
  WORD hotKey;
  if (!file.U32(0, &headerSize) || headerSize != kHeaderSize || !file.Has(0, kHeaderSize) ||
      std::memcmp(file.at(4), kLinkClsid, sizeof kLinkClsid) != 0)
    return kShellLinkBadFormat;
  file.U32(0x14, &link.linkFlags);
  file.U32(0x18, &link.fileAttributes);
  file.U32(0x1C, &link.creationTime.dwLowDateTime);
  file.U32(0x20, &link.creationTime.dwHighDateTime);
  file.U32(0x24, &link.accessTime.dwLowDateTime);
  file.U32(0x28, &link.accessTime.dwHighDateTime);
  file.U32(0x2C, &link.writeTime.dwLowDateTime);
  file.U32(0x30, &link.writeTime.dwHighDateTime);
  file.U32(0x34, &link.fileSize);
  file.U32(0x38, &iconIndex);
  file.U32(0x3C, &showCommand);
  file.U16(0x40, &hotKey);
  link.iconIndex = static_cast<INT>(iconIndex);
  link.showCommand = static_cast<INT>(showCommand);
  link.hotKey = hotKey;
  const DWORD flags = link.linkFlags;
  size_t at = kHeaderSize;

  if (flags & kHasLinkTargetIDList) {
    WORD listSize;
    if (!file.U16(at, &listSize) || !file.Has(at + 2, listSize)) return kShellLinkBadFormat;
    at += 2;
    if (!IsIDList(file.Sub(at, listSize))) return kShellLinkBadFormat;
    link.idList.assign(file.at(at), file.at(at) + listSize);
    at += listSize;
  }

  if (flags & kHasLinkInfo) {
    DWORD infoSize;
    if (!file.U32(at, &infoSize) || infoSize < kLinkInfoHeaderSizeBasic ||
        !file.Has(at, infoSize))
      return kShellLinkBadFormat;
    std::u16string target;
    if (!ReadLinkInfo(file.Sub(at, infoSize), &target)) return kShellLinkBadFormat;
    if (!(flags & kForceNoLinkInfo)) link.targetPath = std::move(target);
    at += infoSize;
  }

  const std::pair<DWORD, std::optional<std::u16string>*> strings[] = {
      {kHasName, &link.description},          {kHasRelativePath, &link.relativePath},
      {kHasWorkingDir, &link.workingDirectory}, {kHasArguments, &link.arguments},
      {kHasIconLocation, &link.iconLocation}};
  const bool unicode = (flags & kIsUnicode) != 0;
  for (const auto& entry : strings) {
    if (!(flags & entry.first)) continue;
    WORD count;
    if (!file.U16(at, &count)) return kShellLinkBadFormat;
    at += 2;
    const size_t bytes = unicode ? 2 * static_cast<size_t>(count) : count;
    if (!file.Has(at, bytes)) return kShellLinkBadFormat;
    std::u16string text;
    text.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      char16_t c;
      if (unicode) {
        WORD unit = 0;  // always read: the whole string was checked to be there
        file.U16(at + 2 * i, &unit);
        c = static_cast<char16_t>(unit);
      } else {
        c = FromCp1252(*file.at(at + i));
      }
      if (c == 0) break;
      text.push_back(c);
    }
    *entry.second = std::move(text);
    at += bytes;
  }

  const size_t extraStart = at;
  while (at < size) {
    DWORD blockSize;
    if (!file.U32(at, &blockSize)) return kShellLinkBadFormat;
    if (blockSize < 4) break;  // the terminal block
    if (blockSize < 8 || !file.Has(at, blockSize)) return kShellLinkBadFormat;
    at += blockSize;
  }
  link.extraData.assign(file.at(extraStart), file.at(extraStart) + (at - extraStart));

  *out = std::move(link);
  return S_OK;
}

std::vector<BYTE> WriteShellLink(const ShellLinkFile& link) {
  const std::optional<std::u16string>* strings[] = {&link.description, &link.relativePath,
                                                    &link.workingDirectory, &link.arguments,
                                                    &link.iconLocation};
  const DWORD stringFlags[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                               kHasIconLocation};
  // LinkInfo sizes are 32-bit: the target's two forms and the fixed parts must fit.
  if (link.targetPath.size() > (0xFFFFFFFFu - 0x100) / 3 || link.idList.size() > kMaxCount) return {};
  if (!link.idList.empty() && !IsIDList(Bytes(link.idList.data(), link.idList.size()))) return {};
  for (const auto* s : strings)
    if (*s && (*s)->size() > kMaxCount) return {};
  DWORD blockFlags = 0;
  if (!ForEachBlock(Bytes(link.extraData.data(), link.extraData.size()),
                    [&blockFlags](size_t, size_t, DWORD signature) {
                      if (signature == kEnvironmentVariableBlock) blockFlags |= kHasExpString;
                      if (signature == kDarwinBlock) blockFlags |= kHasDarwinID;
                      if (signature == kIconEnvironmentBlock) blockFlags |= kHasExpIcon;
                    }))
    return {};

  DWORD flags = (link.linkFlags & ~kModelFlags) | kIsUnicode | blockFlags;
  if (!link.idList.empty()) flags |= kHasLinkTargetIDList;
  if (!link.targetPath.empty()) flags = (flags | kHasLinkInfo) & ~kForceNoLinkInfo;
  for (size_t i = 0; i < 5; ++i)
    if (*strings[i]) flags |= stringFlags[i];

  std::vector<BYTE> out;
  Put32(out, kHeaderSize);
  out.insert(out.end(), kLinkClsid, kLinkClsid + sizeof kLinkClsid);
  Put32(out, flags);
  Put32(out, link.fileAttributes);
  PutFileTime(out, link.creationTime);
  PutFileTime(out, link.accessTime);
  PutFileTime(out, link.writeTime);
  Put32(out, link.fileSize);
  Put32(out, static_cast<DWORD>(link.iconIndex));
  Put32(out, static_cast<DWORD>(link.showCommand));
  Put16(out, link.hotKey);
  out.resize(kHeaderSize, 0);  // reserved fields

  if (!link.idList.empty()) {
    Put16(out, link.idList.size());
    out.insert(out.end(), link.idList.begin(), link.idList.end());
  }
  if (!link.targetPath.empty()) {
    std::vector<BYTE> info = LinkInfoFor(link.targetPath);
    out.insert(out.end(), info.begin(), info.end());
  }
  for (const auto* s : strings) {
    if (!*s) continue;
    Put16(out, (*s)->size());
    PutWide(out, **s);
  }
  out.insert(out.end(), link.extraData.begin(), link.extraData.end());
  Put32(out, 0);  // terminal block
  return out;
}

void SetLinkTarget(ShellLinkFile& link, const std::u16string& path) {
  link.targetPath = path;
  link.idList.clear();
  link.fileAttributes = 0;
  link.creationTime = link.accessTime = link.writeTime = FILETIME{};
  link.fileSize = 0;
  link.linkFlags &= ~(kHasLinkTargetIDList | kForceNoLinkInfo | kHasExpString | kHasDarwinID);
  if (path.empty())
    link.linkFlags &= ~kHasLinkInfo;
  else
    link.linkFlags |= kHasLinkInfo;

  std::vector<BYTE> kept;
  const Bytes blocks(link.extraData.data(), link.extraData.size());
  const bool wellFormed =
      ForEachBlock(blocks, [&](size_t offset, size_t blockSize, DWORD signature) {
        switch (signature) {
          case kEnvironmentVariableBlock:
          case kDarwinBlock:
          case kSpecialFolderBlock:
          case kKnownFolderBlock:
          case kTrackerBlock:
          case kVistaAndAboveIDListBlock:
            return;
          default:
            kept.insert(kept.end(), blocks.at(offset), blocks.at(offset) + blockSize);
        }
      });
  // Blocks that are not well-formed were never read from a file; they are left alone.
  if (wellFormed) link.extraData = std::move(kept);
}

}  // namespace emu
