#include "ui/window_front_end.h"

#include "clock/scanner_clock.h"
#include "clock/time_text.h"
#include "collect/output_naming.h"
#include "export/export_store.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/dialog_session.h"
#include "ui/worker_job.h"

std::string ShownTimeText;

namespace {
// The export's column slots: each choice is read through a buffer of this many
// characters, with the terminating zero.
constexpr std::size_t ChoiceBufferSize = 10;
// The "Response" choice is read through a buffer of this many characters.
constexpr std::size_t ResponseTextChars = 20;

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

DownloadChoices WindowFrontEnd::ChosenForDownload() {
  DownloadChoices c;
  c.saveToFile = dialog_->IsChecked(IDC_SAVE_TO_FILE);
  c.textFile = dialog_->IsChecked(IDC_TYPE_TXT);
  c.unixLineFeeds = dialog_->IsChecked(IDC_LINE_UNIX);
  c.autoNaming = dialog_->IsChecked(IDC_AUTO_NAMING);
  c.showSerialNumber = dialog_->IsChecked(IDC_SHOW_SERIAL_NUMBER);
  c.showTimeStamp = dialog_->IsChecked(IDC_SHOW_TIME_STAMP);
  c.separatorText = dialog_->GetTextAnsi(IDC_SEPARATOR, SeparatorTextCapacity);
  c.typedFileName = dialog_->GetText(IDC_FILE_NAME, PathCapacity);
  return c;
}

// The box is empty, or still holds what Lumet put there (a saved time
// restored at start, the answer of "Get Time"): no time was typed.
ClockChoices WindowFrontEnd::ChosenForClock() {
  ClockChoices c;
  c.typedTime = dialog_->GetTextAnsi(IDC_TIME_BOX, TimeBoxCapacity);
  if (c.typedTime == ShownTimeText) c.typedTime.clear();
  c.format = SelectedDateFormat(dialog_->IsChecked(IDC_FORMAT_US), dialog_->IsChecked(IDC_FORMAT_EU),
                                dialog_->IsChecked(IDC_FORMAT_CN));
  return c;
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
