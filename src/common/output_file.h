#pragma once
// The output file of one download, and the few folder operations naming needs.
// Paths are wide text; the Windows backend uses the wide file API.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The 64-bit FNV-1a hash of bytes, going on from hash (FileHashStart for the first bytes).
inline constexpr std::uint64_t FileHashStart = 14695981039346656037ull;
std::uint64_t FileHash(const char* bytes, std::size_t length, std::uint64_t hash = FileHashStart);

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens for writing at the end: created when missing, content kept, not shared.
  bool OpenForAppend(const std::wstring& path);
  bool IsOpen() const;
  // Appends all bytes; false when not all could be written.
  bool Append(const char* bytes, std::size_t length);
  // What Append wrote since the file was opened: the byte count and the
  // FNV-1a hash of those bytes (FileHash), so they can be read back and compared.
  std::uint64_t AppendedBytes() const { return appendedBytes_; }
  std::uint64_t AppendedHash() const { return appendedHash_; }
  std::uint64_t Length();
  void Close();
  // Brings the data to the disk and closes: false when either fails (a full
  // disk, a share gone), since only then is the file really saved.
  bool FlushAndClose();

 private:
  void Appended(const char* bytes, std::size_t length);
  void ForgetAppended();

  void* handle_ = nullptr;  // Win32 HANDLE or FILE*
  std::uint64_t appendedBytes_ = 0;
  std::uint64_t appendedHash_ = FileHashStart;
};

// What a file holds from a byte offset to its end, read back from the disk.
struct FileDigest {
  std::uint64_t length = 0;
  std::uint64_t hash = FileHashStart;  // FileHash of those bytes
  std::uint64_t lineFeeds = 0;         // LF bytes among them
};
// False when the file cannot be opened or read, or is shorter than from.
bool DigestFileFrom(const std::wstring& path, std::uint64_t from, FileDigest& digest);

bool RemoveFile(const std::wstring& path);
// The same, giving the system's own text of why a file could not be deleted.
bool RemoveFile(const std::wstring& path, std::wstring& reason);
// Gives a file another name, in the same folder; false (with the system's
// text of why) when it cannot be moved or a file of the new name exists.
bool RenameFile(const std::wstring& from, const std::wstring& to, std::wstring& reason);
// Puts a file in the place of another in the same folder, at once: whoever
// opens to's name finds the old file or the new one, never neither or half.
bool PutFileInPlace(const std::wstring& from, const std::wstring& to, std::wstring& reason);
// The path as the C library's fopen takes it (the ANSI code page on Windows).
std::string NarrowFilePath(const std::wstring& path);
// Whether a file or folder of that name exists.
bool PathExists(const std::wstring& path);
// Whether path is a folder.
bool IsFolder(const std::wstring& path);
// Whether the system refuses new files in the folder (access denied, a
// read-only medium), tried by making one and removing it again. Other
// failures, such as no file handle to spare, say nothing about the folder.
bool FolderRefusesNewFiles(const std::wstring& folder);
// Whether an existing file opens for writing (nothing is changed in it).
bool FileTakesWrites(const std::wstring& path);
// Makes the folder and every missing folder above it; true when it is a folder afterwards.
bool MakeFolders(const std::wstring& folder);
// The process's current folder.
std::wstring CurrentFolder();

struct FolderEntry {
  std::wstring name;
  bool isDirectory = false;
};
// Entries of the folder whose names end with the extension (for example
// ".txt"), letter case ignored as the Windows file system does. A folder that
// cannot be read has no entries.
std::vector<FolderEntry> ListFolder(const std::wstring& folder, const std::wstring& extension);

// Whether name ends with extension, ASCII letter case ignored.
bool HasExtension(const std::wstring& name, const std::wstring& extension);

// The folder holding the program file, without a trailing backslash.
std::wstring ProgramFolder();
