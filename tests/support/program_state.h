#pragma once
// The program keeps its state in a handful of program-wide objects. Every
// fixture calls ResetProgramState() at the start and at the end of each test,
// so no test sees what another one left; state a new part of the program adds
// is reset here too.

// As at start, before the window exists: the exchange on DevicePort (closed)
// with no window of a test's, plain mode, an empty port list over the
// machine's devices, auto mode off with empty device list rows, the output
// values as at start (no folder yet, automatic naming from number 1), an
// empty export store, no time shown by the program, the PC's clock and the
// real worker thread.
void ResetProgramState();

class Controls;
// The exchange reads the "Response" choice from this window, as the dialog
// sets it up at start (until the next ResetProgramState).
void UseWindowForExchange(Controls& dialog);
