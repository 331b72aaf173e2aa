// Internals shared by the emulated calls: the gate every call passes through (journal and fault
// plan), and the reset hooks of each part of the machine.
#pragma once

#include <cstddef>
#include <string>

#include "platform/emulated/windows_api_emulated.h"

namespace emu::detail {

// One use of an emulated call. Entering records it in the journal and consults the fault plan:
// a planned raise throws from the constructor, a planned failure is offered by forced().
// `key` is the full path of the key the call acts on, `name` the value or subkey it names.
class Call {
 public:
  Call(const char* call, std::string key, std::string name = {}, std::string detail = {});
  // True when the fault plan makes this use fail; result() then holds the forced result.
  bool forced() const { return forced_; }
  long forcedResult() const { return forcedResult_; }
  // Records the result in the journal and hands it back, so a call can `return c.done(r);`.
  long done(long result);

 private:
  static constexpr std::size_t kNotJournaled = static_cast<std::size_t>(-1);
  std::size_t index_;
  bool forced_ = false;
  long forcedResult_ = 0;
};

// Length in UTF-16 code units of 8-bit text in the current ANSI code page (no journal entry).
std::size_t WideLength(const std::string& text);
// Whether a byte starts a double-byte character in the current ANSI code page.
bool IsLeadByte(unsigned char byte);
// Upper-cases ASCII letters only, leaving double-byte characters intact: how key and value
// names compare.
std::string FoldCase(const std::string& text);

// Conversions of the current ANSI code page, without journal entries.
std::u16string AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::u16string& text);
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);

// Every emulated COM object counts itself alive from construction to its last Release.
class ComObject {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 protected:
  ComObject();
  virtual ~ComObject();
  ULONG AddRefCount() { return ++references_; }
  ULONG ReleaseCount() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG references_ = 1;
};

// The task allocator's bookkeeping, shared by IMalloc and CoTaskMem*.
void* TaskAlloc(std::size_t size);
void TaskFree(void* block);

// A new shell link object with one reference, as IShellLinkA.
IShellLinkA* NewShellLink();
// The process's current directory, ending in a backslash.
std::string CurrentDirectory();

// Whether COM is initialised on the thread: objects refuse work outside every COM scope.
bool ComIsOpen();

void ResetRegistry();
void ResetShell();
void ResetFiles();
void ResetCom();
void ResetCodePage();
void ResetControl();
void ResetLastError();

}  // namespace emu::detail
