#include "export/text_list.h"

#include <algorithm>
#include <limits>

#include "common/ansi_text.h"

namespace {
// Where wchar_t is wider than 16 bits, a unit past U+FFFF or a lone surrogate
// would not come back as it went in.
bool FitsInUnits(const wchar_t* text, std::size_t length) {
  if (sizeof(wchar_t) <= 2) return true;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<std::uint32_t>(text[i]);
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  }
  return true;
}
}  // namespace

bool TextList::Fits(std::size_t length) const {
  return length <= std::numeric_limits<std::uint32_t>::max() - units_;
}

template <typename Unit>
void TextList::Store(const Unit* text, std::size_t length) {
  for (std::size_t done = 0; done < length;) {
    const std::size_t at = static_cast<std::size_t>(units_ % BlockUnits);
    // Not zero-filled: only the units written are ever read, and untouched
    // memory costs nothing resident.
    if (at == 0) blocks_.emplace_back(new char16_t[BlockUnits]);
    const std::size_t n = std::min(length - done, BlockUnits - at);
    char16_t* out = blocks_.back().get() + at;
    for (std::size_t j = 0; j < n; ++j) out[j] = static_cast<char16_t>(text[done + j]);
    done += n;
    units_ += n;
  }
  ends_.push_back(static_cast<std::uint32_t>(units_));
}

bool TextList::push_back(const wchar_t* text, std::size_t length) {
  if (!Fits(length)) return false;
  if (FitsInUnits(text, length)) {
    Store(text, length);
    return true;
  }
  wide_.emplace(ends_.size(), std::wstring(text, length));
  Store(text, 0);
  return true;
}

bool TextList::PushAnsi(const char* bytes, std::size_t length) {
  const auto* unsignedBytes = reinterpret_cast<const unsigned char*>(bytes);
  unsigned char any = 0;  // one pass with no early way out: the compiler widens it
  for (std::size_t i = 0; i < length; ++i) any |= unsignedBytes[i];
  if (any >= 0x80) return push_back(AnsiToWide(bytes, length));
  if (!Fits(length)) return false;
  Store(unsignedBytes, length);
  return true;
}

std::wstring TextList::operator[](std::size_t k) const {
  if (k >= ends_.size()) return {};
  if (!wide_.empty()) {
    auto found = wide_.find(k);
    if (found != wide_.end()) return found->second;
  }
  std::uint64_t position = k ? ends_[k - 1] : 0;
  const std::uint64_t end = ends_[k];
  std::wstring text(static_cast<std::size_t>(end - position), L'\0');
  for (wchar_t& c : text) {
    c = static_cast<wchar_t>(blocks_[position / BlockUnits][position % BlockUnits]);
    ++position;
  }
  return text;
}

void TextList::clear() {
  // The memory goes back, not only the entries.
  std::vector<std::unique_ptr<char16_t[]>>().swap(blocks_);
  std::vector<std::uint32_t>().swap(ends_);
  wide_.clear();
  units_ = 0;
}
