#pragma once
// A fresh folder for one test, removed with everything in it at the end.
#include <filesystem>
#include <string>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::wstring Wide() const { return path_.wstring(); }

  std::string Read(const std::string& name) const;  // empty when missing
  void Write(const std::string& name, const std::string& bytes) const;
  void MakeFolder(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};
