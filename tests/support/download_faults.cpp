#include "ui/dialog_session.h"
#include "support/download_faults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "collect/record_format.h"
#include "common/ansi_text.h"
#include "export/export_store.h"
#include "kt52sim/kt52_device.h"
#include "support/hostile_records.h"

namespace {
using kt52::Transport;
constexpr std::size_t Records = 1500;  // several frames of 4096 bytes, several plain pieces

// The bytes of the first n records as sent.
std::size_t RecordsBytes(const kt52::DeviceOptions& o, std::size_t n) {
  const std::string text = kt52::Kt52Device(o).DownloadText();
  std::size_t end = 0;
  for (std::size_t i = 0; i < n; ++i) end = text.find('\r', end) + 1;
  return end;
}

// How many frames or pieces a download of these options takes.
std::size_t DownloadUnits(const kt52::DeviceOptions& o) {
  const kt52::Kt52Device device(o);
  if (o.transport == Transport::Plain) return device.PlainPieces().size();
  return (device.DownloadText().size() + o.frameSize - 1) / o.frameSize;
}
}  // namespace

std::vector<DownloadFault> DownloadFaults() {
  using kt52::PlainShape;
  using Options = kt52::DeviceOptions;
  std::vector<DownloadFault> f;
  const struct {
    Transport transport;
    PlainShape shape;
    const char* name;
  } modes[] = {{Transport::Framed, PlainShape::Pieces, "framed "},
               {Transport::Plain, PlainShape::Pieces, "plain "},
               {Transport::Plain, PlainShape::OneRun, "plain one run "}};
  for (const auto& m : modes) {
    const Transport t = m.transport;
    const bool framed = t == Transport::Framed;
    const std::string mode = m.name;
    auto row = [&](const std::string& name, std::function<void(Options&)> scanner, bool succeeds,
                   bool endless = false, std::size_t keeps = 0) {
      f.push_back({mode + name, t, m.shape, std::move(scanner), succeeds, endless, keeps});
    };
    row("healthy", [](Options&) {}, true);
    row("holding no records", [](Options& o) { o.generatedRecords = 0; }, true);
    row("hangs up after 20000 bytes", [](Options& o) { o.hangUpAfterBytes = 20000; }, false, false,
        16000);
    row("falls silent after 20000 bytes", [](Options& o) { o.silentAfterBytes = 20000; }, false,
        false, 16000);
    // Out of range right after a whole unit, framed with frames that end where
    // records end: no text is left open, and only the end check can tell.
    row("falls silent after its second unit",
        [framed](Options& o) {
          if (framed) o.frameSize = RecordsBytes(o, 100);
          o.silentAfterBytes = framed ? 2 * (o.frameSize + 11) : 2 * 10250;
        },
        false);
    row("pauses 2 s before its third unit",
        [](Options& o) {
          o.pauseBefore = 3;
          o.pauseMs = 2000;
        },
        true);
    // Framed: a wake-up the scanner may have taken as an end cannot vouch for
    // the end when no frame followed the paused one.
    row("pauses 2 s before its last unit",
        [](Options& o) {
          o.pauseBefore = DownloadUnits(o);
          o.pauseMs = 2000;
        },
        !framed);
    row("acknowledges the download 1.7 s late",
        [](Options& o) {
          o.pauseBefore = 0;
          o.pauseMs = 1700;
        },
        true);
    row("refuses the download command", [](Options& o) { o.refused = {"0206"}; }, false);
    row("ignores the download command", [](Options& o) { o.ignored = {"0206"}; }, false);
    row("never stops sending", [](Options& o) { o.endless = true; }, false, true);
    if (!framed)
      row("stray byte before the OK marker", [](Options& o) { o.strayBeforeAck = "\x7f"; }, true);
  }
  // Separators where neither shape puts them: the first one left in a serial
  // number or time stamp fails the download, and what came before it is kept.
  f.push_back({"plain pieces that end where records end, 25 records long", Transport::Plain,
               PlainShape::Pieces, [](Options& o) { o.pieceSize = RecordsBytes(o, 25); }, false});
  f.push_back({"plain pieces of 50 bytes", Transport::Plain, PlainShape::Pieces,
               [](Options& o) { o.pieceSize = 50; }, false});
  f.push_back({"framed frame that always fails its check", Transport::Framed, PlainShape::Pieces,
               [](Options& o) {
                 o.badXorFrame = 3;
                 o.badXorAlways = true;
               },
               false});
  return f;
}

kt52::DeviceOptions FaultyScanner(const DownloadFault& fault) {
  kt52::DeviceOptions o;
  o.serialNumber = "F1";
  o.transport = fault.transport;
  o.plainShape = fault.shape;
  o.generatedRecords = Records;
  o.frameSize = 4096;
  fault.scanner(o);
  return o;
}

DownloadCounts ExpectDownloadProperty(const DownloadFault& fault, const std::wstring& box,
                                      const std::string& file) {
  kt52::DeviceOptions options = FaultyScanner(fault);
  // An endless scanner's records go on as made-up ones do: as many as the
  // download could take.
  if (fault.endless) options.generatedRecords += EndlessLimitBytes / 10;
  const std::string all = kt52::Kt52Device(options).DownloadText();
  const std::string lines = WindowsLines(all);
  DownloadCounts counts;
  counts.sent = static_cast<std::size_t>(std::count(all.begin(), all.end(), '\r'));
  counts.inFile = static_cast<std::size_t>(std::count(file.begin(), file.end(), '\r'));
  counts.inStore = static_cast<std::size_t>(BarcodeExport.RecordCount);

  const bool succeeded = box.rfind(L"Save Data Succeed!", 0) == 0 || box == L"No Data!";
  EXPECT_EQ(fault.succeeds, succeeded) << "ended with " << WideToAnsi(box);
  if (succeeded) {
    EXPECT_EQ(lines.size(), file.size());
    EXPECT_TRUE(lines == file) << "a success whose file is not the scanner's records";
    EXPECT_EQ(counts.sent, counts.inStore);
  } else {
    EXPECT_EQ(L"Get Data Failed!", box);
    EXPECT_TRUE(lines.compare(0, file.size(), file) == 0 &&
                (file.empty() || file.compare(file.size() - 2, 2, "\r\n") == 0))
        << "the file is not the scanner's first records, whole";
  }
  if (fault.keepsTextBytes) {
    const std::string arrived = all.substr(0, fault.keepsTextBytes);
    EXPECT_LE(static_cast<std::size_t>(std::count(arrived.begin(), arrived.end(), '\r')),
              counts.inFile)
        << "records that arrived before the fault were not kept";
  }
  // The store holds what the file holds, record for record.
  EXPECT_EQ(counts.inFile, counts.inStore);
  const std::vector<std::string> records = SplitAtDelimiter(all, '\r');
  for (std::size_t k = 0; k < counts.inStore && k < records.size(); ++k) {
    const std::wstring stored = BarcodeExport.SerialNumbers[k] + L"," + BarcodeExport.TimeStamps[k] +
                                L"," + BarcodeExport.Barcodes[k];
    if (stored != AnsiToWide(records[k])) {
      ADD_FAILURE() << "stored record " << k << " is " << WideToAnsi(stored) << ", sent "
                    << records[k];
      break;
    }
  }
  return counts;
}

std::string FaultTestName(const DownloadFault& fault) {
  std::string name;
  for (char c : fault.name)
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}
