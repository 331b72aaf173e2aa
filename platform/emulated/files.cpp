// Emulated file calls over real host files, reached through the drive table.
#include <sys/stat.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>

#include "platform/emulated/control.h"
#include "platform/emulated/machine.h"

namespace emu {
namespace {

std::map<char, std::string>& Drives() {
  static std::map<char, std::string> drives;
  return drives;
}

char DriveKey(char letter) { return static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter); }

std::vector<std::string> Components(const std::string& text, bool* ok) {
  std::vector<std::string> parts;
  std::string part;
  *ok = true;
  auto flush = [&] {
    if (part == "..") *ok = false;
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (detail::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
      part += c;
      part += text[++i];
    } else if (c == '\\' || c == '/') {
      flush();
    } else {
      if (std::strchr("\"<>|*?:", c) || static_cast<unsigned char>(c) < 0x20) *ok = false;
      part += c;
    }
  }
  flush();
  return parts;
}

// The host entry of `dir` whose name matches `name` without regard to case, or `name` itself.
std::string MatchEntry(const std::string& dir, const std::string& ansiName) {
  const std::string wanted = detail::AnsiToUtf8(ansiName);
  struct stat st;
  if (lstat((dir + "/" + wanted).c_str(), &st) == 0) return wanted;
  const std::string folded = detail::FoldCase(ansiName);
  std::string found = wanted;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (detail::FoldCase(detail::Utf8ToAnsi(e->d_name)) == folded) {
        found = e->d_name;
        break;
      }
    }
    closedir(d);
  }
  return found;
}

bool Exists(const std::string& host, struct stat* st) { return lstat(host.c_str(), st) == 0; }

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

void MapDrive(char letter, const std::string& hostFolder) { Drives()[DriveKey(letter)] = hostFolder; }

std::string HostPath(const std::string& windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':') return {};
  auto drive = Drives().find(DriveKey(windowsPath[0]));
  if (drive == Drives().end()) return {};
  const std::string rest = windowsPath.substr(2);
  if (!rest.empty() && rest[0] != '\\') return {};  // drive-relative paths are not ours to guess
  bool ok = true;
  const auto parts = Components(rest, &ok);
  if (!ok) return {};
  std::string host = drive->second;
  for (const auto& part : parts) host += "/" + MatchEntry(host, part);
  return host;
}

namespace detail {
void ResetFiles() { Drives().clear(); }
std::string CurrentDirectory() { return "C:\\"; }
}  // namespace detail

}  // namespace emu

using emu::detail::Call;

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  const std::string from = lpExistingFileName ? lpExistingFileName : "";
  const std::string to = lpNewFileName ? lpNewFileName : "";
  Call call("CopyFileA", from, to, bFailIfExists ? "failIfExists" : "");
  if (call.forced()) {
    SetLastError(static_cast<DWORD>(call.forcedResult()));
    return static_cast<BOOL>(call.done(FALSE));
  }
  const std::string source = emu::HostPath(from), target = emu::HostPath(to);
  if (source.empty() || target.empty())
    return static_cast<BOOL>(call.done(emu::Fail(from.empty() || to.empty() ? ERROR_PATH_NOT_FOUND
                                                                             : ERROR_INVALID_NAME)));
  struct stat st, dt;
  if (stat(source.c_str(), &st) != 0) return static_cast<BOOL>(call.done(emu::Fail(ERROR_FILE_NOT_FOUND)));
  if (S_ISDIR(st.st_mode)) return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
  if (stat(target.c_str(), &dt) == 0) {
    if (bFailIfExists) return static_cast<BOOL>(call.done(emu::Fail(ERROR_FILE_EXISTS)));
    // The read-only attribute is the owner's write bit (root would pass any access check).
    if (S_ISDIR(dt.st_mode) || !(dt.st_mode & S_IWUSR))
      return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
    if (dt.st_ino == st.st_ino && dt.st_dev == st.st_dev)
      return static_cast<BOOL>(call.done(emu::Fail(ERROR_SHARING_VIOLATION)));
  } else if (bFailIfExists && emu::Exists(target, &dt)) {
    return static_cast<BOOL>(call.done(emu::Fail(ERROR_FILE_EXISTS)));  // a dangling link
  }
  std::ifstream in(source, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return static_cast<BOOL>(call.done(emu::Fail(ERROR_PATH_NOT_FOUND)));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return static_cast<BOOL>(call.done(emu::Fail(ERROR_DISK_FULL)));
  return static_cast<BOOL>(call.done(TRUE));
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  const std::string name = lpFileName ? lpFileName : "";
  Call call("DeleteFileA", name);
  if (call.forced()) {
    SetLastError(static_cast<DWORD>(call.forcedResult()));
    return static_cast<BOOL>(call.done(FALSE));
  }
  const std::string host = emu::HostPath(name);
  if (host.empty())
    return static_cast<BOOL>(call.done(emu::Fail(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME)));
  struct stat st;
  if (!emu::Exists(host, &st)) return static_cast<BOOL>(call.done(emu::Fail(ERROR_FILE_NOT_FOUND)));
  if (S_ISDIR(st.st_mode)) return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
  if (unlink(host.c_str()) != 0) return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
  return static_cast<BOOL>(call.done(TRUE));
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  const std::string name = lpFileName ? lpFileName : "";
  Call call("GetFileAttributesA", name);
  if (call.forced()) {
    SetLastError(static_cast<DWORD>(call.forcedResult()));
    return static_cast<DWORD>(call.done(static_cast<long>(INVALID_FILE_ATTRIBUTES)));
  }
  const std::string host = emu::HostPath(name);
  struct stat st;
  if (host.empty() || !emu::Exists(host, &st)) {
    emu::Fail(ERROR_FILE_NOT_FOUND);
    return static_cast<DWORD>(call.done(static_cast<long>(INVALID_FILE_ATTRIBUTES)));
  }
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (S_ISLNK(st.st_mode)) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  const auto slash = host.rfind('/');
  if (host.compare(slash + 1, 1, ".") == 0) attributes |= FILE_ATTRIBUTE_HIDDEN;
  return static_cast<DWORD>(call.done(static_cast<long>(attributes)));
}
