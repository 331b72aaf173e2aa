// The test-side control surface of the emulated Windows machine.
//
// Tests seed state through the ordinary API (RegCreateKeyExA, RegSetValueExA, ...) so that the
// same seeding runs on Wine; what only an emulation can do lives here: start from a blank
// machine, make any call fail or throw at its N-th use, read the journal of calls in order, and
// count what is still held (registry handles, COM initialisations).
#pragma once

#include <cstddef>
#include <exception>
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
// Entries of one call only, rendered "key|name" for compact comparisons in tests.
std::vector<std::string> JournalOf(const std::string& call);

// ---- Counters --------------------------------------------------------------------------------
int OpenRegistryHandles();
int ComInitDepth();

// ---- Registry rules --------------------------------------------------------------------------
// Limits what RegOpenKeyExA/RegCreateKeyExA may grant on an existing key: a request for any
// right outside `allowed` fails with ERROR_ACCESS_DENIED.
void SetKeyAccess(HKEY root, const std::string& path, REGSAM allowed);

// ---- Code page -------------------------------------------------------------------------------
// 1252 (Western) or 932 (Japanese, double-byte).
void SetAnsiCodePage(unsigned codePage);

}  // namespace emu
