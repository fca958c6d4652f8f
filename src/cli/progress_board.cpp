#include "cli/progress_board.h"

#include <cstdio>

namespace {
// Redrawn at most this often while only the counts change.
constexpr auto DrawEvery = std::chrono::milliseconds(100);
}  // namespace

ProgressBoard::~ProgressBoard() {
  std::lock_guard<std::mutex> guard(lock_);
  Erase();
}

void ProgressBoard::Update(const std::string& port, std::uint64_t records, std::uint64_t bytes) {
  if (!shown_) return;
  char counts[64];
  std::snprintf(counts, sizeof counts, ": %llu records, %llu bytes",
                static_cast<unsigned long long>(records), static_cast<unsigned long long>(bytes));
  std::lock_guard<std::mutex> guard(lock_);
  bool added = true;
  for (Row& row : rows_) {
    if (row.port != port) continue;
    row.text = port + counts;
    added = false;
  }
  if (added) rows_.push_back({port, port + counts});
  const auto now = std::chrono::steady_clock::now();
  if (!added && now - lastDraw_ < DrawEvery) return;
  Erase();
  Draw();
  lastDraw_ = now;
}

void ProgressBoard::PrintAbove(const std::function<void()>& print, const std::string& ended) {
  std::lock_guard<std::mutex> guard(lock_);
  Erase();
  for (auto it = rows_.begin(); it != rows_.end(); ++it) {
    if (it->port != ended) continue;
    rows_.erase(it);
    break;
  }
  print();
  Draw();
}

// Back to the board's first line, and everything below it cleared.
void ProgressBoard::Erase() {
  if (drawn_ == 0) return;
  std::fprintf(stderr, "\r\x1b[%zuA\x1b[J", drawn_);
  std::fflush(stderr);
  drawn_ = 0;
}

void ProgressBoard::Draw() {
  if (!shown_) return;
  for (const Row& row : rows_) std::fprintf(stderr, "%s\x1b[K\n", row.text.c_str());
  std::fflush(stderr);
  drawn_ = rows_.size();
}
