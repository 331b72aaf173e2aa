// Emulated file calls over real host files, reached through the drive table.
#include <sys/stat.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>
#include <fcntl.h>
#include <fnmatch.h>
#include <climits>
#include <cstdlib>


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

}  // namespace emu

namespace emu {
namespace {

struct OpenFile {
  std::string host;  // what the handle stands for: the resolved file, or a link opened as such
  std::vector<std::string> found;  // for a search: matching names still to come (unused now)
};

struct HandleTable {
  std::map<HANDLE, OpenFile> handles;
  std::uintptr_t next = 0x4000;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

HANDLE NewFileHandle(OpenFile file) {
  auto& table = Handles();
  HANDLE handle = reinterpret_cast<HANDLE>(table.next);
  table.next += 4;
  table.handles[handle] = std::move(file);
  return handle;
}

std::string RealHostPath(const std::string& host) {
  char resolved[PATH_MAX];
  return realpath(host.c_str(), resolved) ? std::string(resolved) : host;
}

// The Windows path of a host path, through the drive whose folder holds it most closely.
std::string WindowsPathOf(const std::string& host) {
  std::string best;
  char bestDrive = 0;
  for (const auto& [drive, folder] : Drives()) {
    std::string root = RealHostPath(folder);
    if (root.size() > 1 && root.back() == '/') root.pop_back();
    const bool inside = root == "/" ? !host.empty() && host[0] == '/'
                                    : host == root || host.rfind(root + "/", 0) == 0;
    if (inside && (root.size() > best.size() || !bestDrive)) {
      best = root;
      bestDrive = drive;
    }
  }
  if (!bestDrive) return {};
  std::string rest = host.substr(best == "/" ? 0 : best.size());
  std::string windows = std::string(1, bestDrive) + ":";
  for (char c : rest) windows += c == '/' ? '\\' : c;
  if (windows.size() == 2) windows += '\\';
  return detail::Utf8ToAnsi(windows);
}

FILETIME Time(const struct timespec& t) {
  const std::uint64_t ticks = (static_cast<std::uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull +
                              static_cast<std::uint64_t>(t.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const std::string& host, const struct stat& st, bool link) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (link) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (!link && !(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  const auto slash = host.rfind('/');
  if (host.compare(slash + 1, 1, ".") == 0) attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes;
}

}  // namespace

int OpenFileHandles() { return static_cast<int>(Handles().handles.size()); }

namespace detail {
std::string CurrentDirectory() { return "C:\\"; }
void ResetFiles() {
  Drives().clear();
  Handles() = HandleTable{};
}
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
  // The copy takes the source's attributes, read-only included.
  if (!(st.st_mode & S_IWUSR)) chmod(target.c_str(), st.st_mode & 07555);
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
  // A read-only file cannot be deleted (the owner's write bit; root would pass any check).
  if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)))
    return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
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

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  const std::string name = lpFileName ? lpFileName : "";
  char detail[32];
  std::snprintf(detail, sizeof detail, "attributes=0x%X", static_cast<unsigned>(dwFileAttributes));
  Call call("SetFileAttributesA", name, "", detail);
  if (call.forced()) return static_cast<BOOL>(call.done(emu::Fail(static_cast<DWORD>(call.forcedResult()))));
  const std::string host = emu::HostPath(name);
  if (host.empty())
    return static_cast<BOOL>(call.done(emu::Fail(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME)));
  struct stat st;
  if (!emu::Exists(host, &st)) return static_cast<BOOL>(call.done(emu::Fail(ERROR_FILE_NOT_FOUND)));
  if (S_ISLNK(st.st_mode)) return static_cast<BOOL>(call.done(TRUE));  // a link has no bits of its own
  const mode_t mode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? st.st_mode & 07555
                                                                    : st.st_mode | S_IWUSR;
  if (chmod(host.c_str(), mode) != 0) return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
  return static_cast<BOOL>(call.done(TRUE));
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  const std::string name = lpFileName ? lpFileName : "";
  Call call("CreateFileA", name, "", "disposition=" + std::to_string(dwCreationDisposition));
  auto fail = [&](DWORD error) {
    SetLastError(error);
    call.done(-1);
    return INVALID_HANDLE_VALUE;
  };
  if (call.forced()) return fail(static_cast<DWORD>(call.forcedResult()));
  const std::string host = emu::HostPath(name);
  if (host.empty()) return fail(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
  struct stat st;
  const bool exists = lstat(host.c_str(), &st) == 0;
  const bool openLink = (dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
  switch (dwCreationDisposition) {
    case OPEN_EXISTING: {
      struct stat target;
      if (!exists || (!openLink && stat(host.c_str(), &target) != 0))
        return fail(ERROR_FILE_NOT_FOUND);
      const bool isDir = openLink ? S_ISDIR(st.st_mode) : S_ISDIR(target.st_mode);
      if (isDir && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))
        return fail(ERROR_ACCESS_DENIED);
      call.done(0);
      return emu::NewFileHandle({openLink ? host : emu::RealHostPath(host), {}});
    }
    case CREATE_NEW:
    case CREATE_ALWAYS: {
      if (exists && dwCreationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
      if (exists && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) return fail(ERROR_ACCESS_DENIED);
      const int flags = O_WRONLY | O_CREAT | (dwCreationDisposition == CREATE_NEW ? O_EXCL : O_TRUNC);
      const int fd = open(host.c_str(), flags, 0644);
      if (fd < 0) return fail(errno == EEXIST ? ERROR_FILE_EXISTS : ERROR_PATH_NOT_FOUND);
      close(fd);
      call.done(0);
      return emu::NewFileHandle({emu::RealHostPath(host), {}});
    }
    default:
      return fail(ERROR_INVALID_PARAMETER);
  }
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  Call call("CloseHandle", "");
  if (!emu::Handles().handles.erase(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<BOOL>(call.done(FALSE));
  }
  return static_cast<BOOL>(call.done(TRUE));
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION info) {
  Call call("GetFileInformationByHandle", "");
  if (call.forced()) return static_cast<BOOL>(call.done(emu::Fail(static_cast<DWORD>(call.forcedResult()))));
  auto it = emu::Handles().handles.find(hFile);
  struct stat st;
  if (it == emu::Handles().handles.end() || !info || lstat(it->second.host.c_str(), &st) != 0)
    return static_cast<BOOL>(call.done(emu::Fail(ERROR_INVALID_HANDLE)));
  std::memset(info, 0, sizeof *info);
  info->dwFileAttributes = emu::AttributesOf(it->second.host, st, S_ISLNK(st.st_mode));
  info->ftCreationTime = info->ftLastWriteTime = emu::Time(st.st_mtim);
  info->ftLastAccessTime = emu::Time(st.st_atim);
  info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  info->nFileSizeHigh = static_cast<DWORD>(static_cast<std::uint64_t>(st.st_size) >> 32);
  info->nFileSizeLow = static_cast<DWORD>(st.st_size);
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  info->nFileIndexHigh = static_cast<DWORD>(static_cast<std::uint64_t>(st.st_ino) >> 32);
  info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return static_cast<BOOL>(call.done(TRUE));
}

DWORD WINAPI GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                       DWORD) {
  Call call("GetFinalPathNameByHandleA", "");
  if (call.forced()) {
    SetLastError(static_cast<DWORD>(call.forcedResult()));
    return static_cast<DWORD>(call.done(0));
  }
  auto it = emu::Handles().handles.find(hFile);
  if (it == emu::Handles().handles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(call.done(0));
  }
  const std::string windows = emu::WindowsPathOf(it->second.host);
  if (windows.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return static_cast<DWORD>(call.done(0));
  }
  const std::string final = "\\\\?\\" + windows;
  if (!lpszFilePath || cchFilePath <= final.size())
    return static_cast<DWORD>(call.done(static_cast<long>(final.size() + 1)));
  std::memcpy(lpszFilePath, final.c_str(), final.size() + 1);
  return static_cast<DWORD>(call.done(static_cast<long>(final.size())));
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  const std::string from = lpExistingFileName ? lpExistingFileName : "";
  const std::string to = lpNewFileName ? lpNewFileName : "";
  Call call("MoveFileExA", from, to, "flags=" + std::to_string(dwFlags));
  if (call.forced()) return static_cast<BOOL>(call.done(emu::Fail(static_cast<DWORD>(call.forcedResult()))));
  const std::string source = emu::HostPath(from), target = emu::HostPath(to);
  if (source.empty() || target.empty())
    return static_cast<BOOL>(call.done(emu::Fail(ERROR_INVALID_NAME)));
  struct stat st, dt;
  if (lstat(source.c_str(), &st) != 0) return static_cast<BOOL>(call.done(emu::Fail(ERROR_FILE_NOT_FOUND)));
  const bool sameEntry = source == target;
  if (!sameEntry && lstat(target.c_str(), &dt) == 0) {
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING))
      return static_cast<BOOL>(call.done(emu::Fail(ERROR_ALREADY_EXISTS)));
    if (S_ISDIR(dt.st_mode) || (!S_ISLNK(dt.st_mode) && !(dt.st_mode & S_IWUSR)))
      return static_cast<BOOL>(call.done(emu::Fail(ERROR_ACCESS_DENIED)));
  }
  // The new name as written: a move may change no more than the case of a name.
  std::string destination = target;
  if (sameEntry) destination = target.substr(0, target.rfind('/') + 1) +
                               emu::detail::AnsiToUtf8(to.substr(to.rfind('\\') + 1));
  if (rename(source.c_str(), destination.c_str()) != 0)
    return static_cast<BOOL>(call.done(emu::Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                                                 : ERROR_ACCESS_DENIED)));
  return static_cast<BOOL>(call.done(TRUE));
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA data) {
  const std::string pattern = lpFileName ? lpFileName : "";
  Call call("FindFirstFileA", pattern);
  auto fail = [&](DWORD error) {
    SetLastError(error);
    call.done(-1);
    return INVALID_HANDLE_VALUE;
  };
  if (call.forced()) return fail(static_cast<DWORD>(call.forcedResult()));
  const auto slash = pattern.rfind('\\');
  if (slash == std::string::npos || !data) return fail(ERROR_INVALID_NAME);
  const std::string folder = emu::HostPath(pattern.substr(0, slash + 1));
  // Only '*' and '?' are wildcards to Windows: a '[' is an ordinary character.
  std::string wanted;
  for (char c : emu::detail::FoldCase(pattern.substr(slash + 1))) wanted += c == '[' ? "[[]" : std::string(1, c);
  DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
  if (!dir) return fail(ERROR_PATH_NOT_FOUND);
  std::string match;
  while (dirent* entry = readdir(dir)) {
    const std::string name = emu::detail::Utf8ToAnsi(entry->d_name);
    if (name == "." || name == "..") continue;
    if (fnmatch(wanted.c_str(), emu::detail::FoldCase(name).c_str(), FNM_NOESCAPE) == 0) {
      match = entry->d_name;
      break;
    }
  }
  closedir(dir);
  if (match.empty()) return fail(ERROR_FILE_NOT_FOUND);
  const std::string host = folder + "/" + match;
  struct stat st;
  lstat(host.c_str(), &st);
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = emu::AttributesOf(host, st, S_ISLNK(st.st_mode));
  data->nFileSizeLow = static_cast<DWORD>(st.st_size);
  data->ftLastWriteTime = emu::Time(st.st_mtim);
  std::strncpy(data->cFileName, emu::detail::Utf8ToAnsi(match).c_str(), MAX_PATH - 1);
  call.done(0);
  return emu::NewFileHandle({host, {}});
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  Call call("FindClose", "");
  if (!emu::Handles().handles.erase(hFindFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<BOOL>(call.done(FALSE));
  }
  return static_cast<BOOL>(call.done(TRUE));
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  const std::string a = emu::detail::FoldCase(lpString1 ? lpString1 : "");
  const std::string b = emu::detail::FoldCase(lpString2 ? lpString2 : "");
  return a < b ? -1 : a > b ? 1 : 0;
}

