#pragma once
// "Delete Barcodes": erases every barcode stored in the open scanner (manual
// mode) or in every listed scanner (auto mode), after a Yes/No/Cancel
// question, on the dialog's thread.
class Controls;

inline constexpr wchar_t DeleteQuestionText[] =
    L"This operation will delete all data from devices.\r\n\r\nDo you wish to proceed?";

// The button. True when every scanner served was erased (the window does not
// use it).
bool DeleteBarcodes(Controls& dialog);
