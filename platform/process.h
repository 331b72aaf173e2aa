#pragma once

// Makes the process fit for unattended runs: no error box of the system or the runtime may wait
// for a click, and a run that must stop abnormally ends with `failureStatus`, printing nothing.
void PrepareUnattendedProcess(int failureStatus);
