#include "support/workbook_reader.h"

#include <cstdio>

std::string ReadWorkbook(const std::filesystem::path& file, bool rowsOnly) {
  const std::string command = std::string("/usr/bin/python3 ") + LUMET_READ_XLSX +
                              (rowsOnly ? " --rows '" : " '") + file.string() + "' 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}
