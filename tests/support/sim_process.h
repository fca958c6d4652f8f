#pragma once
// kt52sim as a child process on a real pseudo-terminal, for the wire tests:
//
//   ComFolder com;                       // $LUMET_COM_FOLDER -> a fresh folder
//   SimProcess sim(options);             // starts kt52sim, reads its pty path
//   ASSERT_TRUE(sim.Started());
//   ASSERT_TRUE(sim.LinkAsCom(com.Path(), 3));   // SerialPort::Open(3, ...) finds it
//   ... talk to it ...
//   sim.ReceivedBytes();                 // every byte the scanner got
//   sim.State("clock");                  // "2024/05/17,09:30:02", as of its last read
//
// The destructor stops the simulator (SIGTERM, then waitpid) and removes its
// files. The program is the kt52sim this build made.
#include <cstdint>
#include <string>
#include <vector>

#include "kt52sim/device_options.h"

class SimProcess {
 public:
  explicit SimProcess(const kt52::DeviceOptions& options,
                      const std::vector<std::string>& extraArguments = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Started() const { return pid_ > 0 && !ptyPath_.empty(); }
  const std::string& PtyPath() const { return ptyPath_; }
  // Makes <folder>/com<number> a symlink to the pty (removed on destruction).
  bool LinkAsCom(const std::string& folder, std::uint32_t number);
  // What the simulator received, one entry per read it made (usually one
  // host write), and all of it joined.
  std::vector<std::vector<std::uint8_t>> ReceivedReads() const;
  std::vector<std::uint8_t> ReceivedBytes() const;
  // One value of the simulator's state file (Kt52Device::StateText: clock,
  // date-format, weekday, records), as it stood after the last read the
  // simulator made; "" when there is no such line.
  std::string State(const std::string& name) const;
  // Stops the simulator; true when it ended on its own after SIGTERM.
  bool Stop();

 private:
  int pid_ = -1;
  std::string ptyPath_;
  std::string folder_;
  std::string logPath_;
  std::string statePath_;
  std::vector<std::string> links_;
};

// A private folder for com<n> links, made $LUMET_COM_FOLDER for its lifetime.
class ComFolder {
 public:
  ComFolder();
  ~ComFolder();
  ComFolder(const ComFolder&) = delete;
  ComFolder& operator=(const ComFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};
