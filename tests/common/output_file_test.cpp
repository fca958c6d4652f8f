// Folders made for the files, as mkdir -p would.
#include "common/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace {
TEST(MakeFolders, MakesEveryFolderOnTheWay) {
  TempFolder work;
  work.Write("file.txt", "x");
  const struct {
    std::wstring folder;  // under the test's folder
    bool made;
  } rows[] = {
      {L"new", true},
      {L"new", true},  // there already
      {L"a/b/c", true},
      {L"d\\e\\f", true},  // the program's own separator
      {L"g/h/", true},
      {L"file.txt/sub", false},
      {L"file.txt", false},
  };
  for (const auto& row : rows) {
    const std::wstring folder = work.Wide() + L"/" + row.folder;
    EXPECT_EQ(row.made, MakeFolders(folder)) << std::filesystem::path(row.folder);
    EXPECT_EQ(row.made, IsFolder(folder)) << std::filesystem::path(row.folder);
  }
}
}  // namespace
