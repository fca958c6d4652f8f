#include <unistd.h>

#include "common/posix_path.h"
#include "common/program_path.h"

std::wstring SystemProgramPath() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  path.resize(static_cast<std::size_t>(n));
  std::wstring wide = WideName(path.c_str());
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}
