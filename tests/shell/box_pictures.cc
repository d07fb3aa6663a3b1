// Draws the boxes of undo and of the saved copies, as the window shows them
// on the sample school, into PNG files for the README. Not a test: run it on
// a display (scripts/box-pictures.sh starts one under Xvfb).
// Usage: box_pictures OUTPUT_FOLDER
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>

#include "platform/regional_settings.h"
#include "shell/main_form.h"
#include "shell/saved_copies_dialog.h"
#include "shell/spanish_translations.h"
#include "support/temp_dir.h"

namespace {

using pontexa::testing::ReadFile;
using pontexa::testing::WriteFile;

// One answer to the next dialog: the picture it is saved as ("" for none) and
// the button pressed (or, for the file dialog, the name typed).
struct Step {
  std::string picture;
  QString press;
};

QString output_folder;
std::deque<Step> steps;

void Save(QWidget& widget, const std::string& picture) {
  if (picture.empty()) return;
  const QString path = output_folder + "/" + QString::fromStdString(picture);
  if (!widget.grab().save(path))
    std::fprintf(stderr, "No se puede escribir %s\n", qPrintable(path));
}

int Answer(QDialog& dialog) {
  if (steps.empty()) {
    std::fprintf(stderr, "Caja no esperada: %s\n", qPrintable(dialog.objectName()));
    dialog.reject();
    return QDialog::Rejected;
  }
  const Step step = steps.front();
  steps.pop_front();
  if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
    if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) name->setText(step.press);
    static_cast<QDialog*>(files)->accept();
    return files->result();
  }
  dialog.show();
  (void)QTest::qWaitForWindowExposed(&dialog);
  QTest::qWait(200);
  Save(dialog, step.picture);
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->text() == step.press) {
      button->click();
      return dialog.result();
    }
  }
  dialog.reject();
  return dialog.result();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "Uso: box_pictures CARPETA\n");
    return 2;
  }
  output_folder = QString::fromLocal8Bit(argv[1]);
  const pontexa::shell::SpanishTranslations spanish;

  const pontexa::testing::TempDir folder;
  std::filesystem::create_directory(folder / "sauce");
  const std::filesystem::path exchange = folder / "sauce" / "instituto.xml";
  WriteFile(exchange, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));
  const QString exchange_name = QString::fromStdString(exchange.string());

  pontexa::shell::TMForm form(folder.path(), pontexa::RegionalSettings{','});
  form.SetDialogRunner(Answer);
  form.show();
  (void)QTest::qWaitForWindowExposed(&form);

  // Two conversions of the sample school: the second made a copy, so its
  // closing box offers "Deshacer".
  steps = {{"", exchange_name}, {"", "Aceptar"}};
  QTest::mouseClick(form.findChild<QPushButton*>("BExportar"), Qt::LeftButton);
  steps = {{"", exchange_name}, {"deshacer-cierre.png", "Aceptar"}};
  QTest::mouseClick(form.findChild<QPushButton*>("BExportar"), Qt::LeftButton);

  // The context menu.
  {
    QMenu menu(&form);
    form.FillContextMenu(menu);
    menu.popup(form.mapToGlobal(QPoint(160, 60)));
    (void)QTest::qWaitForWindowExposed(&menu);
    QTest::qWait(200);
    Save(menu, "menu.png");
    menu.close();
  }

  // Horaplan saved a table since: undo asks, then warns and asks again.
  WriteFile(folder / "ASIGT.DBF", ReadFile(folder / "ASIGT.DBF") + " ");
  steps = {{"deshacer-pregunta.png", "Deshacer"},
           {"deshacer-cambios.png", "Deshacer"},
           {"deshacer-hecho.png", "Aceptar"}};
  form.UndoLastRun();

  steps = {{"copias-guardadas.png", "Reponer"}, {"reponer-pregunta.png", "Cancelar"}};
  form.ShowSavedCopies();
  return steps.empty() ? 0 : 1;
}
