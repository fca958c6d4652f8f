#pragma once
// What lumet-cli prints is one line a scanner or event: text from a scanner
// or a path can hold line ends and terminal escapes, which must neither
// reach the terminal raw nor split a line.
#include <string>

// The text with every control byte (below 0x20, and DEL) written as \xHH.
std::string OneLine(const std::string& text);
// A box's text after its port ("COM3: ..."), its line ends as blanks.
std::string BoxLine(const std::string& port, const std::string& text);
