#pragma once
// A list of wide texts that only grows, kept end to end in 16-bit units in
// blocks of a fixed size: a stored text costs its characters and one 4-byte
// end position, not a heap block of its own, and growing never copies what is
// stored. Entry k is handed out as a copy.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TextList {
 public:
  // Whether a text of this length can still be stored.
  bool Fits(std::size_t length) const;
  // False (nothing stored) when it does not fit.
  bool push_back(const wchar_t* text, std::size_t length);
  bool push_back(const std::wstring& text) { return push_back(text.data(), text.size()); }
  // Bytes in the ANSI code page, stored as their wide text. ASCII is the same
  // in every code page, so it goes in as it is, with no conversion.
  bool PushAnsi(const char* bytes, std::size_t length);
  // Entry k; empty text when k is not below size().
  std::wstring operator[](std::size_t k) const;
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  void clear();

  static constexpr std::size_t BlockUnits = std::size_t{1} << 15;

 private:
  template <typename Unit>
  void Store(const Unit* text, std::size_t length);

  std::vector<std::unique_ptr<char16_t[]>> blocks_;
  std::vector<std::uint32_t> ends_;  // entry k spans [ends_[k - 1], ends_[k]) of all units
  std::uint64_t units_ = 0;
  // Texts that 16-bit units cannot carry as they are, where wchar_t is wider
  // (code points past U+FFFF or lone surrogates): kept whole, by entry.
  std::unordered_map<std::size_t, std::wstring> wide_;
};
