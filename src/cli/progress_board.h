#pragma once
// The progress of the scanners downloading at once, on a terminal: one line a
// scanner (its port, records and bytes so far), redrawn in place under the
// lines already printed. A scanner's own line, once it ends, is printed above
// the board as its progress line goes.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class ProgressBoard {
 public:
  // shown false: nothing is ever drawn (stderr is no terminal).
  explicit ProgressBoard(bool shown) : shown_(shown) {}
  ~ProgressBoard();

  void Update(const std::string& port, std::uint64_t records, std::uint64_t bytes);
  // print (lines on stdout) runs above the board, under the board's lock;
  // the progress line of ended, a port whose download ended, goes.
  void PrintAbove(const std::function<void()>& print, const std::string& ended = {});

 private:
  struct Row {
    std::string port;
    std::string text;
  };
  void Erase();
  void Draw();

  const bool shown_;
  std::mutex lock_;
  std::vector<Row> rows_;
  std::size_t drawn_ = 0;  // lines of the board on the terminal now
  std::chrono::steady_clock::time_point lastDraw_{};
};
