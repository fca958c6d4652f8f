#pragma once
// The file operations of the settings file (*_win32.cpp, *_posix.cpp).
#include <cstddef>
#include <string>

// Opens path for reading, creating an empty file when there is none and never
// truncating, and reads at most limit bytes from its start. False when it
// cannot be opened or created; a read error after opening gives what was read.
bool ReadSettingsFile(const std::wstring& path, std::size_t limit, std::string& bytes);

// Writes bytes to a new file in path's folder and moves it over path once it
// is complete. False on any failure; path is then as it was and the new file
// is gone. Where no new file can be made there (a folder that grants only
// path itself, or no room left in a path's length for the new file's name),
// path is written in place instead: created or truncated, then written.
bool ReplaceSettingsFile(const std::wstring& path, const std::string& bytes);
