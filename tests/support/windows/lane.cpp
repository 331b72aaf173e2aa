#include "tests/support/lane.h"

#include "platform/windows_api.h"

namespace lane {
bool Emulated() { return false; }
void StartFresh() {}
void StopFaults() {}
int OpenRegistryHandles() { return -1; }
int ComInitDepth() {
  // The first CoInitialize of a thread answers S_OK, a nested one S_FALSE.
  const HRESULT hr = CoInitialize(nullptr);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == S_OK ? 0 : 1;
}
}  // namespace lane
