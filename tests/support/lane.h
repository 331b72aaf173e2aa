// What differs between the two lanes the tests run on: the emulated platform (where the whole
// machine can be reset and every held resource counted) and a real Windows implementation.
#pragma once

namespace lane {

// True on the emulated platform.
bool Emulated();

// Starts a test from a blank machine where that is possible (emulated); on a real platform the
// fixtures clean the keys they use instead.
void StartFresh();

// Drops any planned faults, so cleanup after a test is not disturbed by them.
void StopFaults();

// Registry handles still open, or -1 where the platform does not let us count them.
int OpenRegistryHandles();

// How many CoInitialize calls on this thread are not yet matched by CoUninitialize: exact on the
// emulated platform; on a real one 0 or "at least 1" (reported as 1), probed with a nested pair.
int ComInitDepth();

}  // namespace lane
