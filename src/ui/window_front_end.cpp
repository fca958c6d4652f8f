#include "ui/window_front_end.h"

#include "clock/scanner_clock.h"
#include "clock/time_text.h"
#include "export/export_store.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/worker_job.h"

std::string ShownTimeText;

namespace {
// The export's column slots: each choice is read through a buffer of this many
// characters, with the terminating zero.
constexpr std::size_t ChoiceBufferSize = 10;
// The "Response" choice is read through a buffer of this many characters.
constexpr std::size_t ResponseTextChars = 20;

int ChoiceId(Choice choice) {
  switch (choice) {
    case Choice::SaveToFile: return IDC_SAVE_TO_FILE;
    case Choice::TextFile: return IDC_TYPE_TXT;
    case Choice::UnixLineFeeds: return IDC_LINE_UNIX;
    case Choice::AutoNaming: return IDC_AUTO_NAMING;
    case Choice::ShowSerialNumber: return IDC_SHOW_SERIAL_NUMBER;
    case Choice::ShowTimeStamp: return IDC_SHOW_TIME_STAMP;
  }
  return 0;
}

int FormatId(DateFormat format) {
  switch (format) {
    case DateFormat::US: return IDC_FORMAT_US;
    case DateFormat::EU: return IDC_FORMAT_EU;
    case DateFormat::CN: return IDC_FORMAT_CN;
  }
  return IDC_FORMAT_CN;
}
}  // namespace

int WindowFrontEnd::ShowBox(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  return dialog_->ShowMessage(text, caption, flags);
}

bool WindowFrontEnd::ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) {
  return dialog_->ChooseSaveFile(request, chosen);
}

void WindowFrontEnd::ShowPortStatus(std::uint32_t i, const std::wstring& text) {
  SetPortStatus(*dialog_, i, text);
}

// Select all and clear, then repaint.
void WindowFrontEnd::ClearReceived() { dialog_->ClearEdit(IDC_BARCODE_DATA); }

void WindowFrontEnd::ShowReceived(const std::string& text) {
  dialog_->AppendAnsi(IDC_BARCODE_DATA, text);
}

void WindowFrontEnd::ShowFileName(const std::wstring& name) {
  dialog_->SetText(IDC_FILE_NAME, name);
}

// The button the scanner named checked, the others not.
void WindowFrontEnd::ShowDateFormat(DateFormat format) {
  for (DateFormat each : {DateFormat::US, DateFormat::EU, DateFormat::CN})
    dialog_->SetChecked(FormatId(each), each == format);
}

void WindowFrontEnd::ShowTime(const std::wstring& text) {
  dialog_->SetText(IDC_TIME_BOX, text);
  NoteShownTime(*dialog_);
}

bool WindowFrontEnd::IsChosen(Choice choice) { return dialog_->IsChecked(ChoiceId(choice)); }

std::string WindowFrontEnd::SeparatorText(std::size_t capacity) {
  return dialog_->GetTextAnsi(IDC_SEPARATOR, capacity);
}

std::wstring WindowFrontEnd::TypedFileName(std::size_t capacity) {
  return dialog_->GetText(IDC_FILE_NAME, capacity);
}

// The box is empty, or still holds what Lumet put there (a saved time
// restored at start, the answer of "Get Time"): no time was typed.
std::string WindowFrontEnd::TypedTime(std::size_t capacity) {
  std::string typed = dialog_->GetTextAnsi(IDC_TIME_BOX, capacity);
  return typed == ShownTimeText ? std::string() : typed;
}

DateFormat WindowFrontEnd::CheckedDateFormat() {
  return SelectedDateFormat(dialog_->IsChecked(IDC_FORMAT_US), dialog_->IsChecked(IDC_FORMAT_EU),
                            dialog_->IsChecked(IDC_FORMAT_CN));
}

// The column choices of the ticked slots, in slot order, read afresh from the
// dialog (the item text through a buffer of ChoiceBufferSize characters).
std::vector<std::wstring> WindowFrontEnd::TickedColumns() {
  std::vector<std::wstring> choices;
  for (int slot = 0; slot < BarcodeExport.ColumnSlotCount; ++slot) {
    if (!dialog_->IsChecked(IDC_COLUMN_CHECK_1 + slot)) continue;
    const int list = IDC_COLUMN_LIST_1 + slot;
    int selected = dialog_->ComboSelection(list);
    std::wstring choice = selected < 0 ? std::wstring() : dialog_->ComboItemText(list, selected);
    if (choice.size() >= ChoiceBufferSize) choice.resize(ChoiceBufferSize - 1);
    choices.push_back(std::move(choice));
  }
  return choices;
}

// The text of the selected entry compared exactly; any other text or no
// selection is "None".
std::uint8_t WindowFrontEnd::ResponseMode() {
  int selected = dialog_->ComboSelection(IDC_RESPONSE);
  if (selected < 0) return 0;
  std::wstring text = dialog_->ComboItemText(IDC_RESPONSE, selected).substr(0, ResponseTextChars);
  if (text == L"Beep") return 1;
  if (text == L"Vibration") return 2;
  return 0;
}

bool WindowFrontEnd::IsClosing() { return IsJobStopping(); }

void NoteShownTime(Controls& dialog) {
  ShownTimeText = dialog.GetTextAnsi(IDC_TIME_BOX, TimeBoxCapacity);
}
