#include <unistd.h>

#include <cstdlib>

#include "common/posix_path.h"
#include "common/program_path.h"

namespace {
// A native path as the program's wide text, "\\" between folders.
std::wstring Windows(const std::string& path) {
  std::wstring wide = WideName(path.c_str());
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}
}  // namespace

std::wstring SystemProgramPath() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  path.resize(static_cast<std::size_t>(n));
  return Windows(path);
}

std::wstring SystemUserFolderPath(UserFolder which) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (which == UserFolder::AppData && config && *config == '/') return Windows(config);
  const char* home = std::getenv("HOME");
  if (!home || *home != '/') return {};
  return Windows(std::string(home) + (which == UserFolder::AppData ? "/.config" : "/Documents"));
}
