// Emulated COM initialisation: a per-thread depth, as CoInitialize/CoUninitialize nest.
#include "platform/emulated/control.h"
#include "platform/emulated/machine.h"

namespace {
int comDepth = 0;  // the tool and its tests run on one thread
}

namespace emu {
int ComInitDepth() { return comDepth; }
namespace detail {
bool ComIsOpen() { return comDepth > 0; }
void ResetCom() { comDepth = 0; }
}  // namespace detail
}  // namespace emu

using emu::detail::Call;

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  Call call("CoInitialize", "");
  if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
  if (pvReserved) return static_cast<HRESULT>(call.done(E_INVALIDARG));
  ++comDepth;
  return static_cast<HRESULT>(call.done(comDepth == 1 ? S_OK : S_FALSE));
}

void WINAPI CoUninitialize(void) {
  Call call("CoUninitialize", "");
  if (call.forced()) return;
  if (comDepth > 0) --comDepth;
  call.done(0);
}
