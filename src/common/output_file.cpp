#include "common/output_file.h"

#include "common/program_path.h"

namespace {
wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }
}  // namespace

bool HasExtension(const std::wstring& name, const std::wstring& extension) {
  if (name.size() < extension.size()) return false;
  std::size_t start = name.size() - extension.size();
  for (std::size_t i = 0; i < extension.size(); ++i)
    if (FoldAscii(name[start + i]) != FoldAscii(extension[i])) return false;
  return true;
}

std::wstring ProgramFolder() {
  std::wstring path = ProgramPath();
  return path.empty() ? L"." : FolderOf(path);
}
