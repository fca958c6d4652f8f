#pragma once
// The full path of the running program file, with "\" between folders on every
// platform (GetModuleFileNameW on Windows). Config.ini and the default output
// folder lie beside it. Tests place the program elsewhere with SetProgramPath.
#include <string>

std::wstring ProgramPath();
// Test hook: the program placed elsewhere (an empty path puts the system's answer back).
void SetProgramPath(const std::wstring& path);

// The system's answer; empty when it has none.
std::wstring SystemProgramPath();

// The folder of a path: everything before its last "\" ("" when it has none).
std::wstring FolderOf(const std::wstring& path);

// The user's own folders: on Windows the roaming application data folder
// (%APPDATA%) and Documents; elsewhere $XDG_CONFIG_HOME (else ~/.config) and
// ~/Documents. Empty when the system knows none.
enum class UserFolder { AppData, Documents };
std::wstring UserFolderPath(UserFolder which);
// Test hook: a user folder placed elsewhere (an empty path puts the system's answer back).
void SetUserFolderPath(UserFolder which, const std::wstring& path);
std::wstring SystemUserFolderPath(UserFolder which);
