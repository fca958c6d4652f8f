#include "kt52sim/device_options.h"

#include <gtest/gtest.h>

using kt52::DeviceOptions;
using kt52::SimOptions;

namespace {
bool Parse(const std::vector<std::string>& arguments, SimOptions& options, std::string& error) {
  return kt52::ParseSimArguments(arguments, options, error);
}
}  // namespace

TEST(Kt52SimArguments, EveryOptionIsRead) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--mode", "plain", "--wake", "silent", "--serial", "SN\\x41", "--records",
                     "300", "--info", "{A};{B}", "--clock", "2020/02/29,23:01:02", "--date-format",
                     "US", "--separator", "\\r\\n", "--hide-serial", "--hide-time", "--frame-size",
                     "512", "--piece-size", "100", "--bad-xor", "3", "--bad-xor-always", "--refuse",
                     "1400,11", "--refuse", "5202", "--silent-after", "4", "--close-after", "0",
                     "--garbage", "\\xFF", "--link", "/tmp/l", "--device", "/dev/x", "--log",
                     "/tmp/log", "--records-file", "/tmp/r", "--baud", "115200"},
                    o, error))
      << error;
  const DeviceOptions& d = o.device;
  EXPECT_EQ(d.transport, kt52::Transport::Plain);
  EXPECT_EQ(d.wake.kind, kt52::WakeAnswer::Silence);
  EXPECT_EQ(d.serialNumber, "SNA");
  EXPECT_EQ(d.generatedRecords, 300u);
  EXPECT_EQ(d.deviceInfo, "{A};{B}");
  EXPECT_EQ(d.clock, (kt52::DeviceTime{2020, 2, 29, 23, 1, 2}));
  EXPECT_EQ(d.dateFormat, kt52::DateFormat::US);
  EXPECT_EQ(d.separator, "\r\n");
  EXPECT_FALSE(d.showSerial);
  EXPECT_FALSE(d.showTime);
  EXPECT_EQ(d.frameSize, 512u);
  EXPECT_EQ(d.pieceSize, 100u);
  EXPECT_EQ(d.badXorFrame, 3u);
  EXPECT_TRUE(d.badXorAlways);
  EXPECT_EQ(d.refused, (std::vector<std::string>{"1400", "11", "5202"}));
  EXPECT_EQ(d.silentAfter, 4u);
  EXPECT_EQ(d.closeAfter, 0u);
  EXPECT_EQ(d.garbage, "\xFF");
  EXPECT_EQ(o.linkPath, "/tmp/l");
  EXPECT_EQ(o.devicePath, "/dev/x");
  EXPECT_EQ(o.logPath, "/tmp/log");
  EXPECT_EQ(o.recordsFile, "/tmp/r");
  EXPECT_EQ(o.baud, 115200u);
}

TEST(Kt52SimArguments, BadValuesAndUnknownOptionsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--mode", "fast"},        {"--records", "-1"},          {"--records", "12x"},
      {"--frame-size", "0"},     {"--frame-size", "10241"},    {"--clock", "2019/02/29,10:00:00"},
      {"--date-format", "UK"},   {"--wake", "maybe"},          {"--colour", "red"},
      {"--serial"},              {"--baud", "fast"},           {"--baud", "-9600"}};
  for (const auto& arguments : bad) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(Parse(arguments, o, error)) << arguments[0];
    EXPECT_FALSE(error.empty());
  }
  SimOptions o;
  std::string error;
  EXPECT_TRUE(Parse({"--help"}, o, error));
  EXPECT_TRUE(o.help);
}

TEST(Kt52SimArguments, DeviceArgumentsGiveBackTheSameOptions) {
  DeviceOptions d;
  d.transport = kt52::Transport::Plain;
  d.wake = {kt52::WakeAnswer::Byte, 0x41};
  d.serialNumber = "S N\\1";
  d.generatedRecords = 7;
  d.deviceInfo = "{X}\r\n";
  d.clock = {2001, 2, 3, 4, 5, 6};
  d.dateFormat = kt52::DateFormat::EU;
  d.separator = "\t";
  d.showTime = false;
  d.frameSize = 9;
  d.pieceSize = 11;
  d.badXorFrame = 2;
  d.badXorAlways = true;
  d.lateTailFrame = 4;
  d.lateTailMs = 650;
  d.refused = {"1000", "all"};
  d.silentAfter = 3;
  d.closeAfter = 1;
  d.garbage = std::string("\0\x7F", 2);

  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse(kt52::DeviceArguments(d, "/tmp/records"), o, error)) << error;
  const DeviceOptions& r = o.device;
  EXPECT_EQ(r.transport, d.transport);
  EXPECT_EQ(r.wake.kind, d.wake.kind);
  EXPECT_EQ(r.wake.byte, d.wake.byte);
  EXPECT_EQ(r.serialNumber, d.serialNumber);
  EXPECT_EQ(r.generatedRecords, d.generatedRecords);
  EXPECT_EQ(r.deviceInfo, d.deviceInfo);
  EXPECT_EQ(r.clock, d.clock);
  EXPECT_EQ(r.dateFormat, d.dateFormat);
  EXPECT_EQ(r.separator, d.separator);
  EXPECT_EQ(r.showSerial, d.showSerial);
  EXPECT_EQ(r.showTime, d.showTime);
  EXPECT_EQ(r.frameSize, d.frameSize);
  EXPECT_EQ(r.pieceSize, d.pieceSize);
  EXPECT_EQ(r.plainShape, kt52::PlainShape::Pieces);
  d.plainShape = kt52::PlainShape::OneRun;
  SimOptions oneRun;
  ASSERT_TRUE(Parse(kt52::DeviceArguments(d), oneRun, error)) << error;
  EXPECT_EQ(oneRun.device.plainShape, kt52::PlainShape::OneRun);
  EXPECT_EQ(r.badXorFrame, d.badXorFrame);
  EXPECT_EQ(r.badXorAlways, d.badXorAlways);
  EXPECT_EQ(r.lateTailFrame, d.lateTailFrame);
  EXPECT_EQ(r.lateTailMs, d.lateTailMs);
  EXPECT_EQ(r.refused, d.refused);
  EXPECT_EQ(r.silentAfter, d.silentAfter);
  EXPECT_EQ(r.closeAfter, d.closeAfter);
  EXPECT_EQ(r.garbage, d.garbage);
  EXPECT_EQ(o.recordsFile, "/tmp/records");
}

TEST(Kt52SimRecordsFile, LinesWithAndWithoutScanTimesRoundTrip) {
  std::vector<kt52::StoredRecord> records;
  std::string error;
  ASSERT_TRUE(kt52::ParseRecordLines("4006381333931\r\n\n2021/06/01,08:00:00\tA,B\\rC\nlast",
                                     {2021, 5, 31, 23, 59, 50}, records, error))
      << error;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].barcode, "4006381333931");
  EXPECT_EQ(records[0].scanned, (kt52::DeviceTime{2021, 5, 31, 23, 59, 50}));
  EXPECT_EQ(records[1].barcode, "A,B\rC");
  EXPECT_EQ(records[1].scanned, (kt52::DeviceTime{2021, 6, 1, 8, 0, 0}));
  EXPECT_EQ(records[2].scanned, (kt52::DeviceTime{2021, 6, 1, 8, 0, 37}));

  std::vector<kt52::StoredRecord> again;
  ASSERT_TRUE(kt52::ParseRecordLines(kt52::FormatRecordLines(records), {}, again, error));
  ASSERT_EQ(again.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(again[i].barcode, records[i].barcode);
    EXPECT_EQ(again[i].scanned, records[i].scanned);
  }
  EXPECT_FALSE(kt52::ParseRecordLines("2021/13/01,08:00:00\tX\n", {}, again, error));
}

TEST(Kt52SimText, EscapesRoundTripAndStrayBackslashesStay) {
  const std::string all = std::string("a\\b\r\n\t", 6) + std::string("\0\x01\xFE", 3);
  EXPECT_EQ(kt52::UnescapeText(kt52::EscapeText(all)), all);
  EXPECT_EQ(kt52::UnescapeText("\\q\\x4"), "\\q\\x4");
  EXPECT_EQ(kt52::UnescapeText("end\\"), "end\\");
}

TEST(Kt52Clock, CalendarArithmeticAndDateOrders) {
  EXPECT_TRUE(kt52::IsValidDeviceDate(2000, 2, 29));
  EXPECT_FALSE(kt52::IsValidDeviceDate(1900, 2, 29));
  EXPECT_FALSE(kt52::IsValidDeviceDate(2021, 4, 31));
  EXPECT_FALSE(kt52::IsValidDeviceDate(2021, 0, 1));
  kt52::DeviceTime t{2024, 2, 28, 23, 59, 59};
  EXPECT_EQ(kt52::FromSeconds(kt52::ToSeconds(t) + 1), (kt52::DeviceTime{2024, 2, 29, 0, 0, 0}));
  EXPECT_EQ(kt52::ToSeconds({1970, 1, 1, 0, 0, 0}), 0);
  EXPECT_EQ(kt52::ClockText(t, kt52::DateFormat::US), "02/28/2024,23:59:59");
  EXPECT_EQ(kt52::ClockText(t, kt52::DateFormat::EU), "28/02/2024,23:59:59");
  EXPECT_EQ(kt52::ClockText(t, kt52::DateFormat::CH), "2024/02/28,23:59:59");
}
