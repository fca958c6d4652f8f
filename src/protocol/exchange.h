#pragma once
// The conversation with one scanner: the wake-up, and commands and replies in
// framed mode (checked frames with acknowledgements) or plain mode (bare text
// with the OK and ER markers).
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/front_end.h"
#include "transport/device_port.h"

constexpr std::uint8_t Ack = 0x06;
constexpr std::uint8_t Nak = 0x15;
constexpr std::uint8_t WakeByte = '*';

constexpr int ReplyRetry = -21;
constexpr int ReplyError = -1001;
// A scanner that keeps sending broken frames is given up on after this many
// refused reads of one reply; the reply then counts as not received, and a
// download that ends this way is incomplete (ReplyGivenUp).
constexpr int MaxReplyRetries = 20;
constexpr int ReplyGivenUp = -22;

constexpr char OkMarker[] = "\r\n$$%~OK\r\n";
constexpr char ErMarker[] = "\r\n$$%~ER\r\n";
constexpr std::size_t MarkerLength = 10;

// 1 after the scanner answered the wake-up with ACK, 0 otherwise.
extern std::int32_t FramedMode;

// Where the exchange reads the "Response" choice of each host acknowledgement,
// set where the program is put together. nullptr: none (None).
void SetExchangeFrontEnd(FrontEnd* front);

bool WakeDevice();
// WakeDevice, telling also whether any byte came back. Silence is no failure
// (a plain scanner may answer so); with no answer to the next command either,
// nothing is there to answer.
enum class WakeReply { NotWritten, Silent, Answered };
WakeReply WakeDeviceReply();
bool SendCommand(const char* command, std::size_t length, bool waitForAck);

// How the scanner answered a command it was sent.
enum class CommandAnswer {
  NotWritten,  // the command could not be written
  Accepted,    // ACK, or exactly the OK marker
  Refused,     // NAK, or the ER marker
  NoAnswer,    // nothing within the acknowledgement's window
  Other,       // something else (plain: in *answerBytes, for whoever can still use it)
};
// SendCommand with waitForAck, telling the answers apart. Plain: the bytes read
// for the answer, which may be the start of what follows it, go to answerBytes.
CommandAnswer SendCommandForAnswer(const char* command, std::size_t length,
                                   std::string* answerBytes = nullptr);

// One data frame of a download, read and acknowledged (host ACK or NAK). lead:
// its first bytes, already read by the caller. Nothing: no byte within the
// window; Refused: it failed its check (NAK sent); Taken: its payload is in
// destination (ACK sent); AckUnsent: the acknowledgement could not be written.
struct FrameReceipt {
  enum Kind { Nothing, Taken, Refused, AckUnsent } kind = Nothing;
  std::size_t payload = 0;
};
FrameReceipt ReceiveDataFrame(std::uint8_t* destination, std::size_t maxPayload,
                              std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs,
                              const std::uint8_t* lead = nullptr, std::size_t leadCount = 0);
int ReceiveReply(std::uint8_t* destination, std::size_t maxPayload, std::uint32_t totalTimeoutMs,
                 std::uint32_t intervalTimeoutMs, bool bulk, bool stripMarker);
// ReceiveReply again while it says ReplyRetry, at most MaxReplyRetries times;
// past that, or when nothing comes after a refused frame, the result is
// ReplyGivenUp.
int ReceiveWholeReply(std::uint8_t* destination, std::size_t maxPayload,
                      std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs, bool bulk,
                      bool stripMarker);

std::uint8_t GetResponseMode();
// Whether a port is open; otherwise the warning (WarnNoOpenPort), and false.
bool CheckPortsOpen(FrontEnd& front);
// "Please Open Ports!", the warning of an operation that needs an open port.
void WarnNoOpenPort(FrontEnd& front);

// Frame helpers, exposed for tests and the simulator.
std::size_t BuildCommandFrame(const std::uint8_t* command, std::size_t length, std::uint8_t* out,
                              std::size_t outCapacity);
// Payload length when the bytes are exactly one valid data frame, otherwise -1.
int CheckDataFrame(const std::uint8_t* bytes, std::size_t count);
// Whether the text (up to its first zero byte) ends with the 10-byte marker.
bool EndsWithMarker(const char* text, const char* marker);
