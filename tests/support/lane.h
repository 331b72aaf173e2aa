// What differs between the two lanes the tests run on: the emulated platform (where the whole
// machine can be reset and every held resource counted) and a real Windows implementation.
#pragma once

#include <filesystem>
#include <string>

namespace lane {

// True on the emulated platform.
bool Emulated();

// Starts a test from a blank machine where that is possible (emulated); on a real platform the
// fixtures clean the keys they use instead.
void StartFresh();

// As if the process ended and a new one started: files and the registry stay, everything the
// process held (handles, COM, faults) is gone. Emulated platform only.
void RestartProcess();

// Drops any planned faults, so cleanup after a test is not disturbed by them.
void StopFaults();

// Registry handles still open, or -1 where the platform does not let us count them.
int OpenRegistryHandles();

// How many CoInitialize calls on this thread are not yet matched by CoUninitialize: exact on the
// emulated platform; on a real one 0 or "at least 1" (reported as 1), probed with a nested pair.
int ComInitDepth();

// Live COM objects, outstanding task-allocator blocks and blocks of the local heap the shell
// handed out, or -1 where the platform does not let us count them.
int LiveComObjects();
int OutstandingTaskAllocations();
int OutstandingLocalAllocations();
int OpenFileHandles();

// Sets up the current user's desktop directory (emulated: a fresh host folder behind drive C:)
// and returns its Windows path.
std::string PrepareDesktop();

// Where a Windows path lies for the test's own file handling.
std::filesystem::path FsPath(const std::string& windowsPath);

// True on the lanes where the platform is known to get the named check wrong.
bool KnownPlatformGap(const std::string& name);

}  // namespace lane

// A check the platform is known to fail on some lane. There it must still fail: once it passes,
// the test fails too, so the stale entry is noticed and removed instead of hiding a check.
#define EXPECT_EQ_UNLESS_PLATFORM_GAP(gap, expected, actual)                                   \
  do {                                                                                         \
    if (lane::KnownPlatformGap(gap)) {                                                         \
      EXPECT_NE(expected, actual) << "known platform gap '" << (gap)                           \
                                  << "' no longer reproduces: remove it from the gap list";    \
    } else {                                                                                   \
      EXPECT_EQ(expected, actual);                                                             \
    }                                                                                          \
  } while (0)
