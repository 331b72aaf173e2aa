// Internals shared by the emulated calls: the gate every call passes through (journal and fault
// plan), and the reset hooks of each part of the machine.
#pragma once

#include <cstddef>
#include <string>

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

void ResetRegistry();
void ResetCom();
void ResetCodePage();
void ResetControl();
void ResetLastError();

}  // namespace emu::detail
