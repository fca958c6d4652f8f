#pragma once
// The faults a download meets, as one table for the simulated scanner on
// virtual time (unit tests) and for kt52sim on a pty (wire tests). Whatever
// the fault, a download ends in one of two ways: a success whose file and
// store equal the scanner's records byte for byte, or "Get Data Failed!" with
// every complete record that arrived kept, in order. It is never a success
// with a record missing or altered.
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "kt52sim/device_options.h"

struct DownloadFault {
  std::string name;
  kt52::Transport transport;
  kt52::PlainShape shape;  // plain: pieces or one run
  std::function<void(kt52::DeviceOptions&)> scanner;
  bool succeeds;
  bool endless = false;  // run with lowered download limits (EndlessLimitBytes)
  // A failed download keeps at least every record that ends within this many
  // bytes of the record text.
  std::size_t keepsTextBytes = 0;
};

inline constexpr std::size_t EndlessLimitBytes = 200000;

std::vector<DownloadFault> DownloadFaults();
// The scanner of a row: serial number "F1", records, and the fault.
kt52::DeviceOptions FaultyScanner(const DownloadFault& fault);

struct DownloadCounts {
  std::size_t sent = 0;  // records the scanner holds (endless: of what a download can take)
  std::size_t inFile = 0;
  std::size_t inStore = 0;
};
// Checks the property after one manual download with both fields shown, ","
// and CR LF: box is the box it ended with, file what the output file holds.
DownloadCounts ExpectDownloadProperty(const DownloadFault& fault, const std::wstring& box,
                                      const std::string& file);
// A row's name as a test name, and as a failing test prints it.
std::string FaultTestName(const DownloadFault& fault);
inline void PrintTo(const DownloadFault& fault, std::ostream* out) { *out << fault.name; }
