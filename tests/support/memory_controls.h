#pragma once
// Controls kept in memory: the window for tests.
// Every call takes one lock, so a worker thread and the test's own thread may
// use it at once.
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ui/controls.h"

class MemoryControls final : public Controls {
 public:
  struct Message {
    std::wstring text;
    std::wstring caption;
    unsigned flags = 0;
  };

  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  std::wstring GetText(int id, std::size_t capacity) override;
  std::string GetTextAnsi(int id, std::size_t capacity) override;
  void SetText(int id, const std::wstring& text) override;
  std::size_t TextLength(int id) override;
  void SetTextLimit(int id, std::size_t characters) override;
  void SetReadOnly(int id, bool readOnly) override;
  bool IsReadOnly(int id) override;
  void ClearEdit(int id) override;
  void AppendAnsi(int id, const std::string& text) override;
  bool IsEnabled(int id) override;
  void SetEnabled(int id, bool enabled) override;
  void SetVisible(int id, bool visible) override;
  bool IsVisible(int id) override;
  void ComboReset(int id) override;
  void ComboAppend(int id, const std::wstring& text) override;
  int ComboCount(int id) override;
  int ComboSelection(int id) override;
  void ComboSelect(int id, int index) override;
  std::wstring ComboItemText(int id, int index) override;
  int ComboSelectPrefix(int id, const std::wstring& text) override;
  void ListSetFullRowSelect(int id) override;
  void ListDeleteColumn(int id, int column) override;
  void ListInsertColumn(int id, int index, const std::wstring& header, int width) override;
  int ListColumnCount(int id) override;
  void ListDeleteAllRows(int id) override;
  void ListInsertRow(int id, int row, const std::wstring& text) override;
  void ListSetCell(int id, int row, int column, const std::wstring& text) override;
  std::wstring ListCell(int id, int row, int column) override;
  int ListRowCount(int id) override;
  void ResizeClient(int widthDialogUnits, int heightDialogUnits) override;
  bool BrowseForFolder(const std::wstring& title, const std::wstring& startFolder,
                       std::wstring& chosen) override;
  bool ChooseSaveFile(const SaveFileRequest& request, std::wstring& chosen) override;
  int ShowMessage(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
  void EndDialog(int result) override;
  void PostCommand(int id) override;

  // For tests.
  // A window's edit box raises EN_UPDATE and EN_CHANGE when its text is set;
  // once given a route (DispatchCommand), SetText passes both to it, after the
  // text has changed, on the caller's thread.
  using CommandRoute = bool (*)(Controls& dialog, int id, int notification);
  void RouteTextChanges(CommandRoute route);
  // Once given a route, PostCommand also hands the command to it at once, on
  // the posting thread: a dialog's thread that takes the message the moment
  // it arrives.
  void RoutePostedCommands(CommandRoute route);
  // Called after a control was enabled or disabled, on the caller's thread
  // (set it before any other thread uses the window).
  std::function<void(int id, bool enabled)> onEnabled;
  // Called when a box is shown, before it is answered, on the caller's thread:
  // what the box's message loop takes meanwhile (a command sent by a program).
  std::function<void(const std::wstring& text)> onMessage;
  // Called after text was appended to a box, on the caller's thread.
  std::function<void(int id)> onAppend;
  std::vector<Message> Messages();
  void ClearMessages();
  // Answers for the next boxes, in order; afterwards every box gets AnswerOk
  // (AnswerYes for a yes/no or yes/no/cancel box).
  void QueueAnswers(std::vector<int> answers);
  std::vector<std::wstring> ListColumns(int id);
  bool IsFullRowSelect(int id);
  // The folder the next browse returns; empty: the browse is cancelled.
  void SetBrowseResult(const std::wstring& folder);
  struct Browse {
    std::wstring title;
    std::wstring startFolder;
  };
  std::vector<Browse> Browses();
  // The path the next save dialogs return; empty: they are cancelled.
  void SetSaveFileResult(const std::wstring& path);
  std::vector<SaveFileRequest> SaveFileRequests();
  int ClientWidth();
  int ClientHeight();
  // The result EndDialog was given; -1 while the dialog is open.
  int DialogResult();
  // Commands posted so far, oldest first; TakePostedCommands empties the queue.
  std::vector<int> TakePostedCommands();

 private:
  struct Control {
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    bool readOnly = false;
    bool fullRowSelect = false;
    std::size_t textLimit = 30000;  // an edit box's default limit
    std::wstring text;
    std::vector<std::wstring> items;
    int selection = -1;
    std::vector<std::wstring> columns;
    std::vector<std::vector<std::wstring>> rows;
  };
  Control& At(int id);

  std::mutex lock_;
  std::map<int, Control> controls_;
  std::vector<Message> messages_;
  std::deque<int> answers_;
  std::wstring browseResult_;
  std::vector<Browse> browses_;
  std::wstring saveFileResult_;
  std::vector<SaveFileRequest> saveFileRequests_;
  std::vector<int> posted_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  int dialogResult_ = -1;
  CommandRoute textChangeRoute_ = nullptr;
  CommandRoute postedRoute_ = nullptr;
};
