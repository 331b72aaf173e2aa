// Shared by the end-to-end tests: the tool's registry area, snapshots and seeding of it, and the
// tool run as a child process the way an installer runs it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

inline const std::string kUninstallRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline const std::string kCurrentEntry = kUninstallRoot + "\\Pelmora V3.2";
inline const std::vector<std::string> kEarlierEntries = {
    kUninstallRoot + "\\Pelmora V1.0", kUninstallRoot + "\\Pelmora V1.1",
    kUninstallRoot + "\\Pelmora V2.0", kUninstallRoot + "\\Pelmora V3.0",
    kUninstallRoot + "\\Pelmora V3.1",
};
// Neighbours the tool must never touch; one shares the product's name as a prefix.
inline const std::vector<std::string> kUnrelatedEntries = {
    kUninstallRoot + "\\Pelmora Tools",
    kUninstallRoot + "\\Other App",
};

inline const char kUninstallCommand[] = "C:\\Program Files\\Pelmora\\remove.exe";

// A generous bound: the tool does a handful of registry calls. Reaching it means a hang (a
// dialog box waiting for a click, say), which an unattended installer could never get past.
inline const DWORD kToolTimeoutMs = 60 * 1000;

// ---- registry snapshots -------------------------------------------------------------------

struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};

struct KeySnapshot {
  std::map<std::string, Value> values;  // the default value under ""
  std::map<std::string, KeySnapshot> subkeys;
  bool operator==(const KeySnapshot& other) const {
    return values == other.values && subkeys == other.subkeys;
  }
};

inline void Describe(std::ostream& out, const KeySnapshot& key, const std::string& indent) {
  for (const auto& [name, value] : key.values) {
    out << indent << (name.empty() ? "(default)" : "\"" + name + "\"") << " type " << value.type
        << ", " << value.data.size() << " bytes:";
    for (BYTE b : value.data) {
      static const char kHex[] = "0123456789abcdef";
      out << ' ' << kHex[b >> 4] << kHex[b & 15];
    }
    out << '\n';
  }
  for (const auto& [name, subkey] : key.subkeys) {
    out << indent << '[' << name << "]\n";
    Describe(out, subkey, indent + "  ");
  }
}

// GoogleTest prints snapshots this way when an expectation on them fails.
inline void PrintTo(const KeySnapshot& key, std::ostream* out) {
  *out << '\n';
  Describe(*out, key, "  ");
}

inline KeySnapshot ReadTree(HKEY key) {
  KeySnapshot snapshot;
  DWORD subkeyCount = 0, maxSubkeyLength = 0, valueCount = 0, maxValueNameLength = 0,
        maxDataLength = 0;
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, &maxSubkeyLength,
                                 nullptr, &valueCount, &maxValueNameLength, &maxDataLength,
                                 nullptr, nullptr);
  if (status != ERROR_SUCCESS) {
    ADD_FAILURE() << "RegQueryInfoKeyA: " << status;
    return snapshot;
  }

  for (DWORD i = 0; i < valueCount; ++i) {
    std::vector<char> name(maxValueNameLength + 1);
    DWORD nameLength = static_cast<DWORD>(name.size());
    Value value;
    value.data.resize(maxDataLength);
    DWORD dataLength = maxDataLength;
    status = RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &value.type,
                           value.data.empty() ? nullptr : value.data.data(), &dataLength);
    if (status != ERROR_SUCCESS) {
      ADD_FAILURE() << "RegEnumValueA #" << i << ": " << status;
      continue;
    }
    value.data.resize(dataLength);
    snapshot.values[std::string(name.data(), nameLength)] = value;
  }

  for (DWORD i = 0; i < subkeyCount; ++i) {
    std::vector<char> name(maxSubkeyLength + 1);
    DWORD nameLength = static_cast<DWORD>(name.size());
    status = RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
      ADD_FAILURE() << "RegEnumKeyExA #" << i << ": " << status;
      continue;
    }
    const std::string subkeyName(name.data(), nameLength);
    HKEY subkey = nullptr;
    status = RegOpenKeyExA(key, subkeyName.c_str(), 0, KEY_READ, &subkey);
    if (status != ERROR_SUCCESS) {
      ADD_FAILURE() << "RegOpenKeyExA " << subkeyName << ": " << status;
      continue;
    }
    snapshot.subkeys[subkeyName] = ReadTree(subkey);
    RegCloseKey(subkey);
  }
  return snapshot;
}

// The key below HKEY_LOCAL_MACHINE with everything in it, or nothing when it does not exist.
inline std::optional<KeySnapshot> Snapshot(const std::string& path) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) {
    ADD_FAILURE() << "RegOpenKeyExA " << path << ": " << status;
    return std::nullopt;
  }
  KeySnapshot snapshot = ReadTree(key);
  RegCloseKey(key);
  return snapshot;
}

inline bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// ---- seeding ------------------------------------------------------------------------------

inline void SetValue(const std::string& path, const char* name, DWORD type, const void* data,
              DWORD size) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr);
  ASSERT_EQ(status, ERROR_SUCCESS) << "RegCreateKeyExA " << path;
  status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS) << "RegSetValueExA " << path << " " << name;
}

// Text with its terminating NUL, as installers store it.
inline void SetText(const std::string& path, const char* name, const std::string& text,
             DWORD type = REG_SZ) {
  SetValue(path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

inline void SetDword(const std::string& path, const char* name, DWORD number) {
  SetValue(path, name, REG_DWORD, &number, sizeof number);
}

// An uninstall entry as an installer leaves it: values of several types and nested subkeys
// with values of their own, default values included.
inline void SeedFullEntry(const std::string& path, const std::string& displayName) {
  SetText(path, "DisplayName", displayName);
  SetText(path, "DisplayVersion", "1.0.0");
  SetText(path, "Publisher", "Pelmora Software");
  SetText(path, "UninstallString", "C:\\Program Files\\Pelmora Old\\remove.exe");
  SetText(path, "InstallLocation", "%ProgramFiles%\\Pelmora Old", REG_EXPAND_SZ);
  SetDword(path, "EstimatedSize", 20480);
  SetDword(path, "NoModify", 1);
  const BYTE blob[] = {0x00, 0x01, 0xfe, 0xff};
  SetValue(path, "InstallState", REG_BINARY, blob, sizeof blob);
  const char multi[] = "first\0second\0";
  SetValue(path, "Languages", REG_MULTI_SZ, multi, sizeof multi);

  SetText(path + "\\Components", "", "components");
  SetText(path + "\\Components\\Core", "", "core");
  SetDword(path + "\\Components\\Core", "Installed", 1);
  SetText(path + "\\Components\\Core\\Files", "Main", "C:\\Program Files\\Pelmora Old\\a.exe");
  SetText(path + "\\Components\\Core\\Files", "Help", "C:\\Program Files\\Pelmora Old\\a.hlp");
  SetText(path + "\\Settings", "", "settings");
  SetDword(path + "\\Settings", "Level", 3);
  SetText(path + "\\Settings\\Empty Leaf", "", "");
}

inline void SeedCurrentEntry() {
  SetText(kCurrentEntry, "DisplayName", "Pelmora V3.2");
  SetText(kCurrentEntry, "UninstallString", kUninstallCommand);
}

inline void SeedEarlierAndUnrelatedEntries() {
  for (const std::string& path : kEarlierEntries) {
    SeedFullEntry(path, path.substr(kUninstallRoot.size() + 1));
  }
  for (const std::string& path : kUnrelatedEntries) {
    SeedFullEntry(path, path.substr(kUninstallRoot.size() + 1));
  }
}

inline void RemoveTree(const std::string& path) {
  const LONG status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    ADD_FAILURE() << "RegDeleteTreeA " << path << ": " << status;
  }
  EXPECT_FALSE(KeyExists(path)) << path << " survived the clean-up";
}

// ---- running the tool ---------------------------------------------------------------------

struct ToolRun {
  DWORD exitCode = 0;
  bool finished = false;
  std::string out;
  std::string err;
};

inline std::string ToolPath() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, length);
  path.erase(path.find_last_of('\\') + 1);
  return path + "pelmora-fixup.exe";
}

inline void ReadAll(HANDLE pipe, std::string* into) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    into->append(buffer, got);
  }
}

// Starts the tool with `arguments` after its own name, stdin empty, stdout and stderr each on a
// pipe read to the end, and waits for it.
inline ToolRun RunTool(const std::string& arguments = "") {
  ToolRun run;
  const std::string tool = ToolPath();
  if (GetFileAttributesA(tool.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ADD_FAILURE() << "the tool is not beside the test program: " << tool;
    return run;
  }

  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inheritable, 0) ||
      !CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
    ADD_FAILURE() << "CreatePipe: " << GetLastError();
    return run;
  }
  // Only the child's ends are inherited; ours must not be, or the pipes never report their end.
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothingIn = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothingIn;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;

  std::string commandLine = "\"" + tool + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back('\0');

  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(tool.c_str(), mutableCommandLine.data(), nullptr, nullptr,
                                      TRUE, 0, nullptr, nullptr, &startup, &process);
  const DWORD startError = GetLastError();
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (nothingIn != INVALID_HANDLE_VALUE) CloseHandle(nothingIn);
  if (!started) {
    CloseHandle(outRead);
    CloseHandle(errRead);
    ADD_FAILURE() << "CreateProcessA " << commandLine << ": " << startError;
    return run;
  }

  std::thread outReader(ReadAll, outRead, &run.out);
  std::thread errReader(ReadAll, errRead, &run.err);
  if (WaitForSingleObject(process.hProcess, kToolTimeoutMs) == WAIT_OBJECT_0) {
    run.finished = true;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
  } else {
    ADD_FAILURE() << "the tool did not end within " << kToolTimeoutMs / 1000 << " s";
    TerminateProcess(process.hProcess, 0xdead);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  outReader.join();
  errReader.join();
  CloseHandle(outRead);
  CloseHandle(errRead);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

// What every run must look like from outside, whatever the registry held: it ends by itself,
// with `exitCode`, and writes nothing on either stream.
inline void ExpectQuietExit(const ToolRun& run, DWORD exitCode) {
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, exitCode);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

// The status with which the tool reports a run stopped by an error.
inline const DWORD kStoppedByError = 1;

// ---- the fixture --------------------------------------------------------------------------

class ToolProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveOurEntries(); }
  void TearDown() override { RemoveOurEntries(); }

  static void RemoveOurEntries() {
    RemoveTree(kCurrentEntry);
    for (const std::string& path : kEarlierEntries) RemoveTree(path);
    for (const std::string& path : kUnrelatedEntries) RemoveTree(path);
  }

  // The whole uninstall area, so that a change anywhere in it shows, not only in our entries.
  static KeySnapshot UninstallArea() {
    std::optional<KeySnapshot> area = Snapshot(kUninstallRoot);
    EXPECT_TRUE(area.has_value()) << kUninstallRoot;
    return area.value_or(KeySnapshot{});
  }

  static KeySnapshot WithoutEarlierEntries(KeySnapshot area) {
    for (const std::string& path : kEarlierEntries) {
      area.subkeys.erase(path.substr(kUninstallRoot.size() + 1));
    }
    return area;
  }
};

}  // namespace e2e
