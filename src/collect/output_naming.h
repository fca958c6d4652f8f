#pragma once
// Where the output file lies and what it is called.
#include <string>

class Controls;

inline constexpr std::size_t PathCapacity = 260;  // characters, with the terminating zero

extern std::wstring OutputFolder;    // at start the program's own folder
extern std::wstring OutputFileName;  // name of the current or last download's file
extern std::wstring CustomFileName;  // last name typed while "Auto Naming" was off
extern bool IsAutoNaming;
extern int NextFileNumber;

void InitDataControls(Controls& dialog);
void OnAutoNamingClicked(Controls& dialog);
void OnFileNameEdited(Controls& dialog);
bool ChooseOutputFolder(Controls& dialog);
// Sets OutputFileName for one download; textType true for TXT, false for CSV.
bool MakeOutputFileName(Controls& dialog, bool textType);
// NextFileNumber = one above the highest number of the folder's files that
// begin with the prefix in OutputFileName.
void FindNextFileNumber(bool textType);
// OutputFolder + "\" + OutputFileName.
std::wstring OutputFilePath();
