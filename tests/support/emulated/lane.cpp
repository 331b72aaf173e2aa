#include "tests/support/lane.h"

#include "platform/emulated/control.h"

namespace lane {
bool Emulated() { return true; }
void StartFresh() { emu::ResetMachine(); }
void StopFaults() { emu::ClearFaults(); }
int OpenRegistryHandles() { return emu::OpenRegistryHandles(); }
int ComInitDepth() { return emu::ComInitDepth(); }
}  // namespace lane
