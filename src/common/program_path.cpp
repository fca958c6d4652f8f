#include "common/program_path.h"

namespace {
// Set only by tests, before the code that reads it runs.
std::wstring PlacedPath;
std::wstring PlacedUserFolders[2];
}  // namespace

std::wstring ProgramPath() { return PlacedPath.empty() ? SystemProgramPath() : PlacedPath; }

void SetProgramPath(const std::wstring& path) { PlacedPath = path; }

std::wstring FolderOf(const std::wstring& path) {
  std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring UserFolderPath(UserFolder which) {
  const std::wstring& placed = PlacedUserFolders[static_cast<int>(which)];
  return placed.empty() ? SystemUserFolderPath(which) : placed;
}

void SetUserFolderPath(UserFolder which, const std::wstring& path) {
  PlacedUserFolders[static_cast<int>(which)] = path;
}
