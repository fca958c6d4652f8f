#pragma once
// The line kt52sim serves: the master side of a new pseudo-terminal, or a
// serial device opened by path. Both are raw 115200 8N1 and non-blocking.
#include <string>

struct SimLine {
  int fd = -1;
  std::string path;  // what the host opens: the pty slave, or the device
  bool isPty = false;
};

bool OpenPtyLine(SimLine& line, std::string& error);
bool OpenDeviceLine(const std::string& path, SimLine& line, std::string& error);
void CloseLine(SimLine& line);
// Replaces linkPath (when it is a symlink or missing) with a symlink to target.
bool MakeLink(const std::string& target, const std::string& linkPath, std::string& error);
