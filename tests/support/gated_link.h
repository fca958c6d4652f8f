#pragma once
// A link that holds a worker thread at one waiting read until the test lets it
// go, so the test can act while a job is under way:
//
//   GatedLink gated(link, 8);          // the 8th read with a time-out waits
//   DialogSession.link = &gated;
//   StartCollection(dialog);
//   ASSERT_TRUE(gated.WaitUntilHeld());
//   ... the job is running ...
//   gated.Release();
//   ASSERT_TRUE(WaitForWorkerJobEnd());
#include <condition_variable>
#include <mutex>

#include "transport/serial_link.h"

class GatedLink final : public SerialLink {
 public:
  GatedLink(SerialLink& inner, int gateAtRead) : inner_(inner), gateAt_(gateAtRead) {}
  // A test that failed half-way lets the worker go before the link goes.
  ~GatedLink() override;
  bool Open(std::uint32_t p, std::uint32_t b, std::uint8_t d, std::uint8_t s, std::uint8_t pa,
            std::uint32_t f) override {
    return inner_.Open(p, b, d, s, pa, f);
  }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool Write(const std::uint8_t* bytes, std::size_t length) override {
    return inner_.Write(bytes, length);
  }
  std::size_t Read(std::uint8_t* buffer, std::size_t count, std::uint32_t total,
                   std::uint32_t interval) override;
  void DiscardInput() override { inner_.DiscardInput(); }
  std::size_t BytesWaiting() override { return inner_.BytesWaiting(); }
  LinkFault TakeFault() override { return inner_.TakeFault(); }

  // False when no read reached the gate within 30 seconds.
  bool WaitUntilHeld();
  void Release();

 private:
  SerialLink& inner_;
  int gateAt_;
  int reads_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  bool held_ = false;
  bool released_ = false;
};

// Waits up to 30 seconds for the running worker job to end; false if it did not.
bool WaitForWorkerJobEnd();
