#pragma once
// The program keeps its state in a handful of program-wide objects. Every
// fixture calls ResetProgramState() at the start and at the end of each test,
// so no test sees what another one left; state a new part of the program adds
// is reset here too.

// As at start, before the window exists: the dialog's session on DevicePort
// (closed) in plain mode with no response, an empty port list over the
// machine's devices, auto mode off with empty device list rows, the output
// values as at start (no folder yet, automatic naming from number 1), an
// empty export store, no time shown by the program, the PC's clock and the
// real worker thread.
void ResetProgramState();
