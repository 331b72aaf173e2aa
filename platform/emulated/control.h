// The test-side control surface of the emulated Windows machine.
//
// Tests seed state through the ordinary API (RegCreateKeyExA, RegSetValueExA, ...) so that the
// same seeding runs on Wine; what only an emulation can do lives here: start from a blank
// machine, make any call fail or throw at its N-th use, read the journal of calls in order, and
// count what is still held (registry handles, COM initialisations).
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulated/windows_api_emulated.h"

namespace emu {

// Forgets everything: registry contents, handles, fault plan, journal, COM depth, last error,
// and sets the ANSI code page back to 1252.
void ResetMachine();

// ---- Fault plan ------------------------------------------------------------------------------
// A fault applies to the calls named `call` whose target ends in `where` at a path-component
// boundary (the target is the key path, then a backslash and the name when the call names one:
// "HKLM\SOFTWARE\A\B\value"); an empty `where` matches every use. Uses are counted from the
// moment the fault is armed, starting at 1.

// The nth matching use returns `result` instead of doing its work (nothing changes).
void FailCall(const std::string& call, int nth, long result, const std::string& where = {});
// Every matching use from the nth on returns `result`.
void FailCallFrom(const std::string& call, int nth, long result, const std::string& where = {});
// The nth matching use throws InjectedException before doing its work.
void RaiseAtCall(const std::string& call, int nth, const std::string& where = {});
void ClearFaults();

// The nth call of the run, whatever its name, fails with the result `typicalFailure` gives for
// that call; a call it gives no result for is passed over (it cannot fail that way).
void FailNthCallOfAnyKind(int nth, std::function<std::optional<long>(const std::string& call)>
                                       typicalFailure);
// The nth call of the run, whatever its name, raises InjectedException unless `canRaise` says no.
void RaiseAtNthCallOfAnyKind(int nth, std::function<bool(const std::string& call)> canRaise);
// From the nth call of the run on, every call that can fail does (as `typicalFailure` says) and
// changes nothing: what the run leaves behind is what a process killed at that call leaves.
void FailFromNthCallOfAnyKind(int nth, std::function<std::optional<long>(const std::string& call)>
                                           typicalFailure);

// What an injected "raise" throws: deliberately not the tool's own exception type, so that code
// meant to absorb "an exception of any kind" is tested with one it does not know.
struct InjectedException : std::exception {
  std::string what_;
  explicit InjectedException(std::string what) : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }
};

// ---- Journal ---------------------------------------------------------------------------------
struct JournalEntry {
  std::string call;  // "RegDeleteValueA"
  std::string key;   // full path of the key the call acts on, e.g. "HKLM\SOFTWARE\A"
  std::string name;  // value or subkey name the call names, if any
  std::string detail;  // further arguments worth checking, e.g. "sam=0x20019"
  long result = 0;   // what the call returned (for a raise: the result it never returned)
};
const std::vector<JournalEntry>& Journal();
void ClearJournal();
// Whether calls are written to the journal (on by default). Off, only CallsSoFar counts them:
// for runs too long to keep a record of, such as benchmarks.
void KeepJournal(bool keep);
// Calls made since the machine was reset or the journal cleared, journaled or not.
long long CallsSoFar();
// Entries of one call only, rendered "key|name" for compact comparisons in tests.
std::vector<std::string> JournalOf(const std::string& call);

// ---- Counters --------------------------------------------------------------------------------
int OpenRegistryHandles();
int ComInitDepth();
int LiveComObjects();
int OpenFileHandles();
int OutstandingTaskAllocations();
int OutstandingLocalAllocations();
// Frees of blocks the allocator never handed out (each one a bug in the caller).
int ForeignFrees();

// ---- Registry image ------------------------------------------------------------------------
// The whole registry, written to a host file and read back: what survives a killed process.
void SaveRegistry(const std::string& hostFile);
void LoadRegistry(const std::string& hostFile);

// ---- Registry rules --------------------------------------------------------------------------
// Limits what RegOpenKeyExA/RegCreateKeyExA may grant on an existing key: a request for any
// right outside `allowed` fails with ERROR_ACCESS_DENIED.
void SetKeyAccess(HKEY root, const std::string& path, REGSAM allowed);

// ---- Files and the shell ---------------------------------------------------------------------
// Windows paths reach host files through a drive table: "C:\\Users\\me" lives below the host
// folder mapped to C:. Each component matches an existing host entry whatever its case, as on
// Windows; host names are UTF-8. Paths that are relative, quoted or climb with ".." map nowhere.
void MapDrive(char letter, const std::string& hostFolder);
// The host path of a Windows path, or the empty text when it maps nowhere.
std::string HostPath(const std::string& windowsPath);
// Where a special folder lies (a Windows path). An empty path makes SHGetSpecialFolderLocation
// fail; `fileSystem` false gives a folder without a file-system path.
void SetSpecialFolder(int csidl, const std::string& windowsPath, bool fileSystem = true);
// The STRRET kind IShellFolder::GetDisplayNameOf answers with (STRRET_WSTR by default).
void SetStrretKind(UINT kind);
// Makes GetDisplayNameOf answer `text` for the item `fileName`: its in-folder name, or with
// `parsing` its parsing name.
void OverrideDisplayName(const std::string& fileName, bool parsing, const std::string& text);
// Text FormatMessageA gives for a system error code (a few common ones are built in).
void SetSystemMessage(DWORD code, const std::string& text);

// ---- Code page -------------------------------------------------------------------------------
// 1252 (Western) or 932 (Japanese, double-byte).
void SetAnsiCodePage(unsigned codePage);

}  // namespace emu
