#include "common/output_file.h"

#include "common/ascii_fold.h"
#include "common/program_path.h"

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

std::uint64_t FileHash(const char* bytes, std::size_t length, std::uint64_t hash) {
  for (std::size_t i = 0; i < length; ++i) {
    hash ^= static_cast<unsigned char>(bytes[i]);
    hash *= 1099511628211ull;
  }
  return hash;
}

void OutputFile::Appended(const char* bytes, std::size_t length) {
  appendedHash_ = FileHash(bytes, length, appendedHash_);
  appendedBytes_ += length;
}

void OutputFile::ForgetAppended() {
  appendedBytes_ = 0;
  appendedHash_ = FileHashStart;
}
