#include "shell/spanish_translations.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/main_form.h"
#include "support/temp_dir.h"

namespace pontexa::shell {
namespace {

// The texts of the window's open-file dialog and of a message box with Qt's
// standard buttons, as the user reads them. Texts are std::string so that
// failures print them.
struct DialogTexts {
  std::string look_in, file_name, file_type, open, cancel;
  std::vector<std::string> columns;
  std::string modified;  // the date shown for a file of 9 December 2026, 13:25
};

std::string Text(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text().toStdString();
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
    return button->text().toStdString();
  }
  return "(no está)";
}

DialogTexts TextsOfTheWindowsFileDialog() {
  testing::TempDir dir;
  std::filesystem::create_directory(dir / "sauce");
  QFile file(QString::fromStdString((dir / "sauce" / "instituto.xml").string()));
  file.open(QIODevice::WriteOnly);
  file.setFileTime(QDateTime(QDate(2026, 12, 9), QTime(13, 25)), QFileDevice::FileModificationTime);
  file.close();
  TMForm form(dir.path(), RegionalSettings{','});
  DialogTexts texts;
  form.SetDialogRunner([&](QDialog& dialog) {
    auto& file_dialog = dynamic_cast<QFileDialog&>(dialog);
    texts.look_in = Text(file_dialog.findChild<QLabel*>("lookInLabel"));
    texts.file_name = Text(file_dialog.findChild<QLabel*>("fileNameLabel"));
    texts.file_type = Text(file_dialog.findChild<QLabel*>("fileTypeLabel"));
    const auto* buttons = file_dialog.findChild<QDialogButtonBox*>("buttonBox");
    texts.open = Text(buttons ? buttons->button(QDialogButtonBox::Open) : nullptr);
    texts.cancel = Text(buttons ? buttons->button(QDialogButtonBox::Cancel) : nullptr);
    if (const auto* view = file_dialog.findChild<QTreeView*>("treeView")) {
      for (int i = 0; i < view->model()->columnCount(); ++i) {
        texts.columns.push_back(
            view->model()->headerData(i, Qt::Horizontal).toString().toStdString());
      }
      // The folder is read in the background.
      (void)QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, 5000);
      const QModelIndex first = view->model()->index(0, 3, view->rootIndex());
      texts.modified = view->model()->data(first).toString().toStdString();
    }
    return QDialog::Rejected;
  });
  form.ChooseExchangeFile("");
  return texts;
}

std::vector<std::string> StandardButtonTexts() {
  QMessageBox box;
  std::vector<std::string> texts;
  for (const auto button : {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No,
                            QMessageBox::Close}) {
    texts.push_back(box.addButton(button)->text().toStdString());
  }
  return texts;
}

// ctest runs this test under LANG=C and under es_ES.UTF-8 (see CMakeLists.txt).
TEST(SpanishTranslations, FileDialogAndStandardButtonsSpeakSpanishWhateverTheLocale) {
  const SpanishTranslations spanish;
  ASSERT_TRUE(spanish.loaded()) << "qtbase_es.qm is missing in "
                                << SpanishTranslations::Folder().toStdString();
  const DialogTexts dialog = TextsOfTheWindowsFileDialog();
  EXPECT_EQ(dialog.look_in, "Ver en:");
  EXPECT_EQ(dialog.file_name, "&Nombre de fichero:");
  EXPECT_EQ(dialog.file_type, "Ficheros de tipo:");
  EXPECT_EQ(dialog.open, "&Abrir");
  EXPECT_EQ(dialog.cancel, "Cancelar");
  EXPECT_EQ(dialog.modified, "9/12/26 13:25");
  EXPECT_EQ(dialog.columns,
            (std::vector<std::string>{"Nombre", "Tamaño", "Tipo", "Última modificación"}));
  EXPECT_EQ(StandardButtonTexts(),
            (std::vector<std::string>{"Aceptar", "Cancelar", "&Sí", "&No", "Cerrar"}));
}

}  // namespace
}  // namespace pontexa::shell
