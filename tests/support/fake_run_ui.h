#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/run_ui.h"

namespace pontexa::testing {

// A RunUi that answers the file dialog from a script and records every call,
// in order, as one line each:
//   "choose <offered>", "message <text>", "error <text>", "notice <text>", "cursor on",
//   "cursor off", "confirm <question>";
// a closing message with findings gives "message <text>" then "findings <summary>".
// A closing box that offers "Deshacer" records the same and is counted apart.
class FakeRunUi : public run::RunUi {
 public:
  // Queues the dialog's next answer: a path, or nothing for a cancelled dialog.
  // When the queue is empty the dialog is cancelled.
  void WillChoose(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }

  // Queues the answer to the next closing box that offers "Deshacer" (true:
  // pressed) and to the next question (true: go ahead). Unqueued, the box is
  // closed with "Aceptar" and the question cancelled.
  void WillUndo(bool undo) { undo_answers_.push_back(undo); }
  void WillConfirm(bool go_ahead) { confirm_answers_.push_back(go_ahead); }

  // Called at every call, after it is recorded; a test can act there (for
  // instance look at the disk while the wait cursor is on).
  std::function<void(const std::string& call)> on_call;

  std::optional<std::string> ChooseExchangeFile(const std::string& offered) override;
  void ShowMessage(const std::string& text) override;
  void ShowMessageWithDetails(const std::string& text, const std::string& summary,
                              const std::string& details) override;
  bool ShowClosingMessage(const std::string& text, const std::string& summary,
                          const std::string& details) override;
  bool Confirm(const Question& question) override;
  void ShowError(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void SetWaitCursor(bool on) override;

  const std::vector<std::string>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Only the calls that start with `kind` ("message", "error", ...), with that word cut.
  std::vector<std::string> CallsOf(const std::string& kind) const;
  bool wait_cursor() const { return wait_cursor_; }
  // How many closing boxes offered "Deshacer".
  int undo_offers() const { return undo_offers_; }
  // The last question asked.
  const Question& last_question() const { return last_question_; }
  // The details of the last closing message with findings.
  const std::string& details() const { return details_; }

 private:
  void Record(std::string call);

  std::deque<std::optional<std::string>> answers_;
  std::deque<bool> undo_answers_;
  std::deque<bool> confirm_answers_;
  int undo_offers_ = 0;
  Question last_question_;
  std::vector<std::string> calls_;
  bool wait_cursor_ = false;
  std::string details_;
};

}  // namespace pontexa::testing
