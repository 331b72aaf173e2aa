#include "platform/process.h"

#include <cstdlib>
#include <exception>

#include "platform/windows_api.h"

#ifdef _WIN32
#include <stdlib.h>
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
  _set_abort_behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
#endif
}
