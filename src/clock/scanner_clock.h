#pragma once
// The scanner clock: "Get Time" reads the scanner's date format and time into
// the radio buttons and the time box; "Set Time" sends the checked format and
// the typed time (or the PC's, when the box is empty) to the open scanner or,
// in auto mode, to every listed one, on a worker thread.
#include <string>

#include "clock/time_text.h"

class Controls;

// The "Get Time" button, on the dialog's thread. 1 on success, 0 otherwise
// (a box says why).
int GetDeviceTime(Controls& dialog);

// Remembers the time box's text as one Lumet put there itself ("Get Time", a
// time restored from Config.ini): "Set Time" sends it no more than an empty
// box, but the PC's time. A time typed later is sent as typed.
void NoteShownTime(Controls& dialog);
// That text, as the box gives it back (8-bit); empty at start.
extern std::string ShownTimeText;

// The "Set Time" button: disables the clock controls and starts the worker.
// 0 when no thread can be started (the controls are enabled again and an
// "Error" box says so).
int StartSetTime(Controls& dialog);
// One Set Time run on the calling thread (the worker's body); ends by enabling
// the clock controls again.
void SetTimeWorker(Controls& dialog);

void EnableClockControls(Controls& dialog, bool enable);

// The format of the checked radio buttons.
DateFormat CheckedDateFormat(Controls& dialog);
