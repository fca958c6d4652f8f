#include "common/program_path.h"

namespace {
// Set only by tests, before the code that reads it runs.
std::wstring PlacedPath;
}  // namespace

std::wstring ProgramPath() { return PlacedPath.empty() ? SystemProgramPath() : PlacedPath; }

void SetProgramPath(const std::wstring& path) { PlacedPath = path; }

std::wstring FolderOf(const std::wstring& path) {
  std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
