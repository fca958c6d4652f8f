#include "support/memory_controls.h"

#include "common/ansi_text.h"
#include "ui/main_dialog.h"

namespace {
wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

std::wstring Cut(const std::wstring& text, std::size_t capacity) {
  if (capacity == 0) return {};
  return text.substr(0, capacity - 1);
}
}  // namespace

MemoryControls::Control& MemoryControls::At(int id) { return controls_[id]; }

bool MemoryControls::IsChecked(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).checked;
}

void MemoryControls::SetChecked(int id, bool checked) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).checked = checked;
}

std::wstring MemoryControls::GetText(int id, std::size_t capacity) {
  std::lock_guard<std::mutex> hold(lock_);
  return Cut(At(id).text, capacity);
}

std::string MemoryControls::GetTextAnsi(int id, std::size_t capacity) {
  std::lock_guard<std::mutex> hold(lock_);
  if (capacity == 0) return {};
  std::string bytes = WideToAnsi(At(id).text);
  return bytes.substr(0, capacity - 1);
}

void MemoryControls::SetText(int id, const std::wstring& text) {
  CommandRoute route = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    At(id).text = text;
    route = textChangeRoute_;
  }
  if (!route) return;
  route(*this, id, NotifyEditUpdate);
  route(*this, id, NotifyEditChange);
}

void MemoryControls::RouteTextChanges(CommandRoute route) {
  std::lock_guard<std::mutex> hold(lock_);
  textChangeRoute_ = route;
}

std::size_t MemoryControls::TextLength(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).text.size();
}

void MemoryControls::SetTextLimit(int id, std::size_t characters) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).textLimit = characters;
}

void MemoryControls::SetReadOnly(int id, bool readOnly) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).readOnly = readOnly;
}

bool MemoryControls::IsReadOnly(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).readOnly;
}

void MemoryControls::ClearEdit(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).text.clear();
}

void MemoryControls::AppendAnsi(int id, const std::string& text) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    Control& c = At(id);
    std::wstring wide = AnsiToWide(text);
    std::size_t room = c.textLimit > c.text.size() ? c.textLimit - c.text.size() : 0;
    c.text.append(wide, 0, room);
  }
  if (onAppend) onAppend(id);
}

bool MemoryControls::IsEnabled(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).enabled;
}

void MemoryControls::SetEnabled(int id, bool enabled) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    At(id).enabled = enabled;
  }
  if (onEnabled) onEnabled(id, enabled);
}

void MemoryControls::SetVisible(int id, bool visible) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).visible = visible;
}

bool MemoryControls::IsVisible(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).visible;
}

void MemoryControls::ComboReset(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  c.items.clear();
  c.selection = -1;
  c.text.clear();
}

void MemoryControls::ComboAppend(int id, const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).items.push_back(text);
}

int MemoryControls::ComboCount(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(At(id).items.size());
}

int MemoryControls::ComboSelection(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).selection;
}

void MemoryControls::ComboSelect(int id, int index) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  if (index >= 0 && index < static_cast<int>(c.items.size())) {
    c.selection = index;
    c.text = c.items[static_cast<std::size_t>(index)];
  } else {
    c.selection = -1;
    c.text.clear();
  }
}

std::wstring MemoryControls::ComboItemText(int id, int index) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  if (index < 0 || index >= static_cast<int>(c.items.size())) return {};
  return c.items[static_cast<std::size_t>(index)];
}

int MemoryControls::ComboSelectPrefix(int id, const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  for (std::size_t i = 0; i < c.items.size(); ++i) {
    const std::wstring& item = c.items[i];
    if (item.size() < text.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < text.size() && same; ++k)
      same = FoldAscii(item[k]) == FoldAscii(text[k]);
    if (same) {
      c.selection = static_cast<int>(i);
      c.text = item;
      return c.selection;
    }
  }
  return -1;
}

void MemoryControls::ListSetFullRowSelect(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).fullRowSelect = true;
}

void MemoryControls::ListDeleteColumn(int id, int column) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  if (column < 0 || column >= static_cast<int>(c.columns.size())) return;
  c.columns.erase(c.columns.begin() + column);
  for (auto& row : c.rows)
    if (column < static_cast<int>(row.size())) row.erase(row.begin() + column);
}

void MemoryControls::ListInsertColumn(int id, int index, const std::wstring& header, int) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  // Like LVM_INSERTCOLUMN: an index past the end appends.
  std::size_t at = index < 0 ? 0 : static_cast<std::size_t>(index);
  if (at > c.columns.size()) at = c.columns.size();
  c.columns.insert(c.columns.begin() + static_cast<long>(at), header);
}

int MemoryControls::ListColumnCount(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(At(id).columns.size());
}

void MemoryControls::ListDeleteAllRows(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  At(id).rows.clear();
}

void MemoryControls::ListInsertRow(int id, int row, const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  std::size_t at = row < 0 ? 0 : static_cast<std::size_t>(row);
  if (at > c.rows.size()) at = c.rows.size();
  c.rows.insert(c.rows.begin() + static_cast<long>(at), std::vector<std::wstring>{text});
}

void MemoryControls::ListSetCell(int id, int row, int column, const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  if (row < 0 || row >= static_cast<int>(c.rows.size()) || column < 0) return;
  auto& cells = c.rows[static_cast<std::size_t>(row)];
  if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)] = text;
}

std::wstring MemoryControls::ListCell(int id, int row, int column) {
  std::lock_guard<std::mutex> hold(lock_);
  Control& c = At(id);
  if (row < 0 || row >= static_cast<int>(c.rows.size()) || column < 0) return {};
  const auto& cells = c.rows[static_cast<std::size_t>(row)];
  if (static_cast<std::size_t>(column) >= cells.size()) return {};
  return cells[static_cast<std::size_t>(column)];
}

int MemoryControls::ListRowCount(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(At(id).rows.size());
}

void MemoryControls::ResizeClient(int widthDialogUnits, int heightDialogUnits) {
  std::lock_guard<std::mutex> hold(lock_);
  clientWidth_ = widthDialogUnits;
  clientHeight_ = heightDialogUnits;
}

int MemoryControls::ShowMessage(const std::wstring& text, const std::wstring& caption,
                                unsigned flags) {
  if (onMessage) onMessage(text);  // the box's own message loop, before its answer
  std::lock_guard<std::mutex> hold(lock_);
  messages_.push_back({text, caption, flags});
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  const unsigned buttons = flags & 0x0F;
  return buttons == BoxYesNo || buttons == BoxYesNoCancel ? AnswerYes : AnswerOk;
}

std::vector<MemoryControls::Message> MemoryControls::Messages() {
  std::lock_guard<std::mutex> hold(lock_);
  return messages_;
}

void MemoryControls::ClearMessages() {
  std::lock_guard<std::mutex> hold(lock_);
  messages_.clear();
}

void MemoryControls::QueueAnswers(std::vector<int> answers) {
  std::lock_guard<std::mutex> hold(lock_);
  for (int a : answers) answers_.push_back(a);
}

std::vector<std::wstring> MemoryControls::ListColumns(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).columns;
}

bool MemoryControls::IsFullRowSelect(int id) {
  std::lock_guard<std::mutex> hold(lock_);
  return At(id).fullRowSelect;
}

int MemoryControls::ClientWidth() {
  std::lock_guard<std::mutex> hold(lock_);
  return clientWidth_;
}

int MemoryControls::ClientHeight() {
  std::lock_guard<std::mutex> hold(lock_);
  return clientHeight_;
}

bool MemoryControls::BrowseForFolder(const std::wstring& title, const std::wstring& startFolder,
                                     std::wstring& chosen) {
  std::lock_guard<std::mutex> hold(lock_);
  browses_.push_back({title, startFolder});
  if (browseResult_.empty()) return false;
  chosen = browseResult_;
  return true;
}

void MemoryControls::SetBrowseResult(const std::wstring& folder) {
  std::lock_guard<std::mutex> hold(lock_);
  browseResult_ = folder;
}

std::vector<MemoryControls::Browse> MemoryControls::Browses() {
  std::lock_guard<std::mutex> hold(lock_);
  return browses_;
}

bool MemoryControls::ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) {
  std::lock_guard<std::mutex> hold(lock_);
  saveFileRequests_.push_back(request);
  if (saveFileResult_.empty() || saveFileResult_.size() >= request.pathCapacity) return false;
  chosen = saveFileResult_;
  return true;
}

void MemoryControls::SetSaveFileResult(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  saveFileResult_ = path;
}

std::vector<SaveFileRequest> MemoryControls::SaveFileRequests() {
  std::lock_guard<std::mutex> hold(lock_);
  return saveFileRequests_;
}

void MemoryControls::EndDialog(int result) {
  std::lock_guard<std::mutex> hold(lock_);
  dialogResult_ = result;
}

int MemoryControls::DialogResult() {
  std::lock_guard<std::mutex> hold(lock_);
  return dialogResult_;
}

void MemoryControls::PostCommand(int id) {
  CommandRoute route = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    posted_.push_back(id);
    route = postedRoute_;
  }
  if (route) route(*this, id, NotifyClicked);
}

void MemoryControls::RoutePostedCommands(CommandRoute route) {
  std::lock_guard<std::mutex> hold(lock_);
  postedRoute_ = route;
}

std::vector<int> MemoryControls::TakePostedCommands() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<int> taken;
  taken.swap(posted_);
  return taken;
}
