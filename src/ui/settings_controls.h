#pragma once
// Config.ini and the dialog's controls: its lines applied to the controls at
// start, the controls' choices collected at close.
#include <string>

#include "settings/settings.h"

class Controls;

// Reads Config.ini (created empty when missing, never truncated) and applies
// its lines to the controls. 1 when the file could be opened, else 0 after
// "Open Config.ini Failed!".
int LoadSettings(Controls& dialog);
// Writes the current choices to Config.ini. 1 when written, else 0 after
// "Save Config.ini Failed!"; the old file is then as it was.
int SaveSettings(Controls& dialog);
// Applies one line of the file (without its line end) to the controls.
void ApplySettingsLine(Controls& dialog, const std::wstring& line);
// The current choices, from the controls, OutputFolder and CustomFileName.
AppSettings CollectSettings(Controls& dialog);
