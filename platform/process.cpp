#include "platform/process.h"

#include <cstdlib>
#include <exception>

#include "platform/windows_api.h"

#ifdef _WIN32
#include <csignal>
#else
#include <unistd.h>
#endif

namespace {
int statusOnTerminate = 1;

[[noreturn]] void TerminateQuietly() {
#ifdef _WIN32
  ExitProcess(static_cast<UINT>(statusOnTerminate));
#else
  _exit(statusOnTerminate);
#endif
}
}  // namespace

void PrepareUnattendedProcess(int failureStatus) {
  statusOnTerminate = failureStatus;
  std::set_terminate(TerminateQuietly);
#ifdef _WIN32
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // abort() raises SIGABRT before it reports anything: the process ends there, quietly, with
  // the failure status. (The system's msvcrt.dll, which the tool links against, has no
  // _set_abort_behavior to turn the report off.)
  std::signal(SIGABRT, [](int) { TerminateQuietly(); });
#endif
}
