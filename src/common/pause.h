#pragma once
// Every wait the program makes between commands goes through Pause, so the
// protocol can run on virtual time in tests.
using PauseFunction = void (*)(unsigned milliseconds);

void Pause(unsigned milliseconds);
// nullptr puts the real sleep back.
void SetPauseFunction(PauseFunction function);
