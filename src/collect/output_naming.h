#pragma once
// Where the output file lies and what it is called.
#include <cstddef>
#include <string>

#include "collect/download_choices.h"

class FrontEnd;
struct ScannerSession;

inline constexpr std::size_t PathCapacity = 260;  // characters, with the terminating zero

// Where the files go and what they are called, kept from one download to the
// next by whoever runs them.
struct OutputNames {
  std::wstring folder;      // at start the program's own folder
  std::wstring fileName;    // name of the current or last download's file
  std::wstring customName;  // last name typed while "Auto Naming" was off
  bool autoNaming = true;
  int nextNumber = 1;
};

// Sets names.fileName for one download, from "Auto Naming", the typed name
// and the file type chosen (the serial number asked of the session's
// scanner), and shows it. False when the serial number cannot be had or no
// name was typed.
bool MakeOutputFileName(ScannerSession& session, FrontEnd& front, OutputNames& names,
                        const DownloadChoices& choices);
// A name the file system cannot misread, for automatic and custom names
// alike: a character a name cannot hold or a control character becomes "_",
// a device name (CON, NUL, COM1 ...) gets a "_" in front, trailing dots and
// blanks become "_".
std::wstring SafeFileName(std::wstring name);
// names.nextNumber = one above the highest number of the folder's files that
// begin with the prefix in names.fileName.
void FindNextFileNumber(OutputNames& names, bool textType);
// The output folder when no Config.ini names one: the program's own folder,
// unless it refuses new files (a program installed where the user may not
// write); then the user's Documents\Lumet, made by MakeOutputFileName when
// first needed.
std::wstring DefaultOutputFolder();
// names.folder + "\" + names.fileName.
std::wstring OutputFilePath(const OutputNames& names);
