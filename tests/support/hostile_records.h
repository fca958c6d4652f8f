#pragma once
// Stored records that once broke a download, shared by the flow and wire
// tests. Both kinds are meant for a scanner that hides serial number and time
// stamp, so a record is its barcode and a CR.
#include <string>
#include <vector>

#include "kt52sim/device_options.h"

// Plain mode with the separator "END" and the usual piece size: every piece
// begins with the barcode ENDIVE and holds LEGEND-0042 many times; the last
// piece is short.
std::vector<kt52::StoredRecord> SeparatorLookalikeRecords(std::size_t fullPieces);
// Zero bytes inside barcodes and right after a record's CR.
std::vector<kt52::StoredRecord> ZeroByteRecords(std::size_t count);
// The text without its zero bytes.
std::string WithoutZeroBytes(std::string text);
// Download text as a file holds it with "," and CR LF: an LF after every CR.
std::string WindowsLines(const std::string& downloadText);
// A scanner of made-up records (kt52::DeviceOptions::generatedRecords).
kt52::DeviceOptions Scanner(const std::string& serial, std::size_t records,
                            kt52::Transport transport = kt52::Transport::Framed);
// A scanner with these records, serial number and time stamp hidden.
kt52::DeviceOptions HiddenFieldsScanner(const std::string& serial,
                                        std::vector<kt52::StoredRecord> records,
                                        kt52::Transport transport);
