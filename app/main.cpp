// Entry point of pelmora-fixup.exe. It takes no arguments, asks nothing and prints nothing.
#include "app/main_sequence.h"
#include "platform/process.h"

int main() {
  PrepareUnattendedProcess(kExitStoppedByError);
  try {
    return RunMainSequence();
  } catch (...) {
    // An installer waits on this process: end with a status it can log, never with a box.
    return kExitStoppedByError;
  }
}
