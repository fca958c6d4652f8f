#pragma once
// lumet-cli's stock count: the expected list read before any scanner is
// touched, and the database's counts set against it.
#include <string>
#include <vector>

#include "common/expected_list.h"

// Reads --expected; -1 when it reads (or none was given), otherwise the exit
// status after saying on stderr which line could not be read and why.
int ReadExpectedFile(const std::wstring& path, ExpectedList& list);

// report --counts lines (barcode, count; the header first) counted against
// the list: barcode, count, description, expected, difference, status.
std::vector<std::vector<std::wstring>> CountLines(const std::vector<std::vector<std::wstring>>& counts,
                                                  const ExpectedList& list);
