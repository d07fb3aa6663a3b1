#pragma once

#include <optional>
#include <string>

namespace pontexa::run {

// What a run asks of the user's side: the window implements it with dialogs and
// message boxes, the batch tool with its arguments and the terminal, tests with
// a scripted fake. Texts are UTF-8.
class RunUi {
 public:
  // A question asked before something that changes files.
  struct Question {
    std::string heading;   // what is asked, as a screen reader names the box
    std::string text;      // the question itself
    std::string go_ahead;  // the button that goes ahead ("Deshacer", "Reponer")
    bool warning = false;  // something will be lost
  };

  virtual ~RunUi() = default;
  // Asks for the exchange file, offering `offered` (the path confirmed last, or
  // ""). The confirmed path, or nothing when the user cancels.
  virtual std::optional<std::string> ChooseExchangeFile(const std::string& offered) = 0;
  // One of the ordinary messages ("No existe archivo", "Proceso finalizado",
  // "Proceso Terminado"); returns when the user has closed it.
  virtual void ShowMessage(const std::string& text) = 0;
  // The closing message of a run that left findings: the same message, with
  // `summary` on one line under it ("Hay 12 avisos. ...") and the findings,
  // one per line, as details the user may open.
  virtual void ShowMessageWithDetails(const std::string& text, const std::string& summary,
                                      const std::string& details) = 0;
  // The closing message of a run that can be undone: shown as ShowMessage, or
  // as ShowMessageWithDetails when `summary` or `details` is not empty, with a
  // button "Deshacer" beside "Aceptar". True when the user pressed it. A side
  // without such a button shows the message alone.
  virtual bool ShowClosingMessage(const std::string& text, const std::string& summary,
                                  const std::string& details) {
    if (summary.empty() && details.empty()) {
      ShowMessage(text);
    } else {
      ShowMessageWithDetails(text, summary, details);
    }
    return false;
  }
  // Asks the question, with its go-ahead button and "Cancelar"; true when the
  // user goes ahead. A side that cannot ask never goes ahead.
  virtual bool Confirm(const Question& /*question*/) { return false; }
  // What was put right of a run cut short, said before anything else of the
  // run; returns when the user has read it. The window shows it as a message.
  virtual void ShowNotice(const std::string& text) { ShowMessage(text); }
  // The error that ended a run, already in its final form (see ErrorBoxText).
  virtual void ShowError(const std::string& text) = 0;
  // The application-wide wait cursor on or off.
  virtual void SetWaitCursor(bool on) = 0;
};

}  // namespace pontexa::run
