#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/regional_settings.h"
#include "run/run_control.h"
#include "run/run_ui.h"

class QAction;
class QDialog;
class QMenu;
class QLabel;
class QPushButton;

namespace pontexa::shell {

class GradientPanel;

// Runs a modal dialog and returns its result code (QDialog::Accepted or
// QDialog::Rejected). The program uses exec(); tests answer the dialog instead.
using DialogRunner = std::function<int(QDialog&)>;

// The one window, MForm: two conversion buttons, each under the text that names
// its direction, and the button that ends the program. It shows the run
// control's questions and messages as the open-file dialog and message boxes.
// Fixed size: 632 by 266 pixels at 96 dpi, scaled with the screen's text size.
class TMForm : public QWidget, public run::RunUi {
  Q_OBJECT

 public:
  TMForm(std::filesystem::path table_folder, RegionalSettings regional, QWidget* parent = nullptr);
  ~TMForm() override;

  void SetDialogRunner(DialogRunner runner);
  // At start-up: puts right what a run cut short left in the table folder and
  // says so in a box (an error box when it cannot be put right).
  void PutRightUnfinishedRun();
  const run::RunControl& Control() const { return control_; }
  // Restores what the last run changed, as its closing box's "Deshacer"
  // does; from the context menu or Ctrl+Z.
  void UndoLastRun();
  // The list of saved copies, and the restore of the one chosen.
  void ShowSavedCopies();
  // The context menu's entries: undo (enabled while there is a run to undo)
  // and the saved copies.
  void FillContextMenu(QMenu& menu);
  // Screen pixels per pixel of the window's description.
  double Scale() const { return scale_; }
  const QString& ApplicationTitleText() const { return title_; }

  // run::RunUi, through the open-file dialog OpenDialogXML and message boxes.
  // Paths are UTF-8, as file names are on disk. The dialog accepts a name that
  // does not exist and adds ".xml" to a name typed without an extension.
  std::optional<std::string> ChooseExchangeFile(const std::string& offered) override;
  void ShowMessage(const std::string& text) override;
  void ShowMessageWithDetails(const std::string& text, const std::string& summary,
                              const std::string& details) override;
  bool ShowClosingMessage(const std::string& text, const std::string& summary,
                          const std::string& details) override;
  bool Confirm(const Question& question) override;
  void ShowError(const std::string& text) override;
  void SetWaitCursor(bool on) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // The two conversion buttons, named as on the form: BExportar runs GEDU to
  // Horaplan, BImportar Horaplan to GEDU.
  void BExportarClick();
  void BImportarClick();
  int Px(int pixels) const;
  // The parts of the form, made in this order: the three gradient panels,
  // the labels on them, the buttons (with their pictures drawn for the
  // screen's pixel ratio) and the context menu's actions.
  void MakePanels();
  void MakeLabels();
  void MakeButtons(qreal ratio);
  void MakeActions();
  // Enables undo while the last run can be undone.
  void UpdateActions();

  double scale_ = 1.0;
  QString title_;
  std::filesystem::path table_folder_;
  run::RunControl control_;
  DialogRunner dialog_runner_;
  bool wait_cursor_ = false;
  bool centred_ = false;

  GradientPanel* draw3d1_ = nullptr;
  GradientPanel* draw3d2_ = nullptr;
  GradientPanel* draw3d3_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label3_ = nullptr;
  QLabel* label4_ = nullptr;
  QPushButton* bclose_ = nullptr;
  QPushButton* bexportar_ = nullptr;
  QPushButton* bimportar_ = nullptr;
  QAction* undo_action_ = nullptr;
  QAction* copies_action_ = nullptr;
};

}  // namespace pontexa::shell
