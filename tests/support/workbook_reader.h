#pragma once
// A workbook read back as Excel would see it: tests/support/read_xlsx.py,
// run with Debian's python3-openpyxl.
#include <filesystem>
#include <string>

// Each sheet's name, frozen pane, filter and header boldness, then its rows
// cell by cell ("s:" text, "d:" date-time, "n:" number, "-:" empty); with
// rowsOnly, each sheet's name and row count.
std::string ReadWorkbook(const std::filesystem::path& file, bool rowsOnly = false);
