#pragma once
// lumet-cli download --all over several kt52sim scanners at once (POSIX).
#include <cstddef>

// One line per number of scanners (1, 4, 10), each holding records records:
// the wall time of the download and its ratio to one scanner's.
void CliScannersFigures(std::size_t records);
