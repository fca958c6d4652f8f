#pragma once
// What the user chose for a download run, taken once when the run starts
// (the dialog's controls are locked while it runs; lumet-cli's come from its
// options and --config).
#include <cstddef>
#include <string>

// The separator is read as 8-bit text of at most this many bytes, less one.
inline constexpr std::size_t SeparatorTextCapacity = 100;

struct DownloadChoices {
  bool saveToFile = true;
  bool textFile = true;  // TXT; otherwise CSV
  bool unixLineFeeds = false;
  bool autoNaming = true;
  bool showSerialNumber = true;
  bool showTimeStamp = true;
  // A program that stores serial number and time stamp elsewhere: the scanner
  // is asked for both with every record whatever was chosen, and the file
  // still leaves out what was not chosen.
  bool wholeRecords = false;
  std::string separatorText;   // the separator box (at most SeparatorTextCapacity - 1 bytes)
  std::wstring typedFileName;  // the name typed for "Auto Naming" off
};
