#pragma once
// Places the program in a test's folder, as if Lumet.exe lay there: Config.ini
// and the default output folder are then the test's own. The real path comes
// back at the end.
#include "common/program_path.h"
#include "support/temp_folder.h"

struct ProgramFolderScope {
  explicit ProgramFolderScope(const TempFolder& folder) { SetProgramPath(folder.Wide() + L"\\Lumet.exe"); }
  ~ProgramFolderScope() { SetProgramPath(L""); }
  ProgramFolderScope(const ProgramFolderScope&) = delete;
  ProgramFolderScope& operator=(const ProgramFolderScope&) = delete;
};
