#pragma once
// Read-only queries about the scanner itself.
#include <string>

class Controls;

// The "Get Device Info" button: shows the scanner's information, one group a line.
bool ShowDeviceInfo(Controls& dialog);
// The scanner's serial number (port open, scanner woken). False on no reply.
bool QuerySerialNumber(std::wstring& out);
// One group ("...}" or "...};") a line, each ending with CR LF; text after the
// last group is dropped.
void FormatDeviceInfo(std::wstring& text);
