#pragma once
// Whole exchanges as the operations make them, for tests that talk to a
// scanner through a session.
#include <string>

#include "protocol/catalogue.h"

// The payload of a query, or "<send failed>" / "<reply failed>".
std::string AskText(ScannerSession& session, const char* command, const ReplyRead& read);
// The download-barcodes command, then every chunk until a read brings none,
// joined: the bytes as the collection job receives them.
std::string DownloadAll(ScannerSession& session);
