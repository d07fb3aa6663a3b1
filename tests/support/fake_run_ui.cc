#include "support/fake_run_ui.h"

namespace pontexa::testing {

std::optional<std::string> FakeRunUi::ChooseExchangeFile(const std::string& offered) {
  Record("choose " + offered);
  if (answers_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

void FakeRunUi::ShowMessage(const std::string& text) { Record("message " + text); }

void FakeRunUi::ShowMessageWithDetails(const std::string& text, const std::string& summary,
                                       const std::string& details) {
  details_ = details;
  Record("message " + text);
  Record("findings " + summary);
}

bool FakeRunUi::ShowClosingMessage(const std::string& text, const std::string& summary,
                                   const std::string& details) {
  ++undo_offers_;
  RunUi::ShowClosingMessage(text, summary, details);
  if (undo_answers_.empty()) return false;
  const bool undo = undo_answers_.front();
  undo_answers_.pop_front();
  return undo;
}

bool FakeRunUi::Confirm(const Question& question) {
  last_question_ = question;
  Record("confirm " + question.text);
  if (confirm_answers_.empty()) return false;
  const bool go_ahead = confirm_answers_.front();
  confirm_answers_.pop_front();
  return go_ahead;
}

void FakeRunUi::ShowError(const std::string& text) { Record("error " + text); }

void FakeRunUi::ShowNotice(const std::string& text) { Record("notice " + text); }

void FakeRunUi::SetWaitCursor(bool on) {
  wait_cursor_ = on;
  Record(on ? "cursor on" : "cursor off");
}

std::vector<std::string> FakeRunUi::CallsOf(const std::string& kind) const {
  std::vector<std::string> found;
  const std::string prefix = kind + " ";
  for (const std::string& call : calls_) {
    if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call.substr(prefix.size()));
  }
  return found;
}

void FakeRunUi::Record(std::string call) {
  calls_.push_back(std::move(call));
  if (on_call) on_call(calls_.back());
}

}  // namespace pontexa::testing
