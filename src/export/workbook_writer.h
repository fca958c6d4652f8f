#pragma once
// The texts the export sends to the Excel driver, and the one seam of its file
// handling: moving the old workbook aside, which tests make fail.
#include <cstddef>
#include <string>

constexpr wchar_t SheetName[] = L"[KT52]";
// A workbook path holds fewer characters than this (MAX_PATH).
constexpr std::size_t WorkbookPathCapacity = 260;

// A path holding ";" goes in braces ("}" doubled inside), as a connect string
// would end its value there; any other path goes in unchanged.
std::wstring ReadingConnectString(const std::wstring& driver, const std::wstring& path);
std::wstring WritingConnectString(const std::wstring& driver, const std::wstring& path);

// Moves a workbook to another name (aside before it is made anew, and back
// when the new one cannot be made); false with the system's text.
using WorkbookMover = bool (*)(const std::wstring& from, const std::wstring& to,
                               std::wstring& reason);
// Test hook: a move that fails (nullptr puts the file system's own move back).
void SetWorkbookMover(WorkbookMover mover);
