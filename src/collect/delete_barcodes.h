#pragma once
// "Delete Barcodes": erases every barcode stored in the open scanner (manual
// mode) or in every listed scanner (auto mode), after a Yes/No/Cancel
// question; never one whose last download failed without asking
// (DownloadHistory).
#include "common/outcome.h"

class DownloadHistory;
class FrontEnd;
struct ScannerSession;
struct PortList;

inline constexpr wchar_t DeleteQuestionText[] =
    L"This operation will delete all data from devices.\r\n\r\nDo you wish to proceed?";
// A scanner whose last download in this session failed is not erased as if
// its records were saved: manual mode asks first, auto mode leaves it.
inline constexpr wchar_t LastDownloadFailedQuestion[] =
    L"The last download from this scanner failed.\r\n\r\nDelete its barcodes anyway?";

// The erase: of the open scanner (listed nullptr) or of every listed one
// (auto mode, each outcome in its "Status"). DeleteSucceed when every scanner
// served was erased; Cancelled when the user said no; otherwise why the (last)
// scanner was not.
Outcome EraseScanners(ScannerSession& session, FrontEnd& front, const DownloadHistory& history,
                      const PortList* listed);
