#pragma once
// Places the program in a test's folder, as if Lumet.exe lay there: Config.ini
// and the default output folder are then the test's own, and so are the
// user's AppData and Documents (folders of those names in it, not made). The
// real paths come back at the end.
#include "common/program_path.h"
#include "support/temp_folder.h"

struct ProgramFolderScope {
  explicit ProgramFolderScope(const TempFolder& folder) {
    SetProgramPath(folder.Wide() + L"\\Lumet.exe");
    SetUserFolderPath(UserFolder::AppData, folder.Wide() + L"\\AppData");
    SetUserFolderPath(UserFolder::Documents, folder.Wide() + L"\\Documents");
  }
  ~ProgramFolderScope() {
    SetProgramPath(L"");
    SetUserFolderPath(UserFolder::AppData, L"");
    SetUserFolderPath(UserFolder::Documents, L"");
  }
  ProgramFolderScope(const ProgramFolderScope&) = delete;
  ProgramFolderScope& operator=(const ProgramFolderScope&) = delete;
};
