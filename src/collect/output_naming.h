#pragma once
// Where the output file lies and what it is called.
#include <cstddef>
#include <string>

class FrontEnd;
struct ScannerSession;

inline constexpr std::size_t PathCapacity = 260;  // characters, with the terminating zero

extern std::wstring OutputFolder;    // at start the program's own folder
extern std::wstring OutputFileName;  // name of the current or last download's file
extern std::wstring CustomFileName;  // last name typed while "Auto Naming" was off
extern bool IsAutoNaming;
extern int NextFileNumber;

// Sets OutputFileName for one download, from "Auto Naming" and the typed name
// as the front end has them, and shows it; textType true for TXT, false for
// CSV. False when the serial number cannot be had or no name was typed.
bool MakeOutputFileName(ScannerSession& session, FrontEnd& front, bool textType);
// A name the file system cannot misread, for automatic and custom names
// alike: a character a name cannot hold or a control character becomes "_",
// a device name (CON, NUL, COM1 ...) gets a "_" in front, trailing dots and
// blanks become "_".
std::wstring SafeFileName(std::wstring name);
// NextFileNumber = one above the highest number of the folder's files that
// begin with the prefix in OutputFileName.
void FindNextFileNumber(bool textType);
// The output folder when no Config.ini names one: the program's own folder,
// unless it refuses new files (a program installed where the user may not
// write); then the user's Documents\Lumet, made by MakeOutputFileName when
// first needed.
std::wstring DefaultOutputFolder();
// OutputFolder + "\" + OutputFileName.
std::wstring OutputFilePath();
