#pragma once
// The "Data" group and the export's column slots: their defaults at start,
// the naming controls and the output folder.
class Controls;

// The defaults of the data and export controls, and the output folder.
void InitDataControls(Controls& dialog);
// "Auto Naming" clicked: the file-name box locked and empty, or editable with
// the last custom name.
void OnAutoNamingClicked(Controls& dialog);
// The file-name box changed: remembered as the custom name while "Auto
// Naming" is off.
void OnFileNameEdited(Controls& dialog);
// The "..." button: the folder browser, starting at the output folder.
bool ChooseOutputFolder(Controls& dialog);
// The export's three column slots: each ticked, listing "SN", "Time" and
// "Data", slot k showing the k-th.
void FillColumnSlots(Controls& dialog);
// The "Response" combo box: "None", "Beep", "Vibration", the first selected.
void FillResponseModeList(Controls& dialog);
