#pragma once
// POSIX backends only: the program's wide paths, "\" between folders as on
// Windows, to and from the native form ("/" between folders, UTF-8, the
// file-name encoding of every current Linux system; an invalid byte read back
// becomes U+FFFD).
#include <string>

std::string NativePath(const std::wstring& path);
std::wstring WideName(const char* name);
