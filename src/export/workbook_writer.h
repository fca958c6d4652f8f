#pragma once
// The texts the export sends to the Excel driver, and the one seam of its file
// handling: deleting the old workbook, which tests make fail.
#include <cstddef>
#include <string>

constexpr wchar_t SheetName[] = L"[KT52]";
// A workbook path holds fewer characters than this (MAX_PATH).
constexpr std::size_t WorkbookPathCapacity = 260;

std::wstring ReadingConnectString(const std::wstring& driver, const std::wstring& path);
std::wstring WritingConnectString(const std::wstring& driver, const std::wstring& path);

// Deletes the workbook before it is made anew; false with the system's text.
using WorkbookRemover = bool (*)(const std::wstring& path, std::wstring& reason);
// nullptr puts the file system's own deletion back.
void SetWorkbookRemover(WorkbookRemover remover);
