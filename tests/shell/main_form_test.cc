#include "shell/main_form.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "run/saved_copies.h"
#include "run/unfinished_run.h"
#include "shell/saved_copies_dialog.h"
#include "support/held_file.h"
#include "support/soluc_layout.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"

namespace pontexa::shell {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// What one open-file dialog looked like when it was opened.
// Texts are kept as std::string so that failures print them.
struct DialogSeen {
  std::string title;
  std::vector<std::string> filters;
  std::string default_suffix;
  QFileDialog::FileMode mode;
  std::string folder;
  std::string offered;  // the file name in the name box
};

// What one message box showed.
struct BoxSeen {
  std::string name;  // the box's object name: "Message", "ErrorMessage", "Question"
  std::string title;
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::TextFormat format = Qt::AutoText;
  std::vector<std::string> buttons;
  std::string informative;        // the line under the text
  std::string details;            // what the details button shows
  std::string heard_name;         // what a screen reader hears: the box's name
  std::string heard_description;  // and its description
  std::string default_button;
};

// What the list of saved copies showed.
struct ListSeen {
  std::vector<std::string> headers;
  std::vector<std::vector<std::string>> rows;
  std::string heard_name;
  std::string heard_description;
};

std::vector<std::string> Strings(const QStringList& texts) {
  std::vector<std::string> strings;
  for (const QString& text : texts) strings.push_back(text.toStdString());
  return strings;
}

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest() : form_(dir_.path(), RegionalSettings{','}) {
    std::filesystem::create_directory(dir_ / "sauce");
    form_.SetDialogRunner([this](QDialog& dialog) { return Answer(dialog); });
  }

  ~MainFormTest() override {
    // No test may leave the wait cursor behind.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }

  // The next open-file dialog: a name typed in its name box, or nothing to cancel.
  void WillType(std::optional<QString> name) { typed_.push_back(std::move(name)); }
  // The button pressed in the next message box or question; unqueued, a
  // box is closed as if read and no button was pressed.
  void WillPress(std::string button) { presses_.push_back(std::move(button)); }
  // The row chosen in the next list of saved copies before "Reponer"; nothing
  // closes it.
  void WillChooseCopy(std::optional<int> row) { copy_choices_.push_back(row); }

  int AnswerList(SavedCopiesDialog& dialog) {
    auto* list = dialog.findChild<QTreeWidget*>("CopyList");
    EXPECT_NE(list, nullptr);
    if (list == nullptr) return QDialog::Rejected;
    ListSeen seen;
    for (int column = 0; column < list->columnCount(); ++column) {
      seen.headers.push_back(list->headerItem()->text(column).toStdString());
    }
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      std::vector<std::string> texts;
      for (int column = 0; column < list->columnCount(); ++column) {
        texts.push_back(list->topLevelItem(row)->text(column).toStdString());
      }
      seen.rows.push_back(texts);
    }
    if (QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(&dialog)) {
      seen.heard_name = heard->text(QAccessible::Name).toStdString();
      seen.heard_description = heard->text(QAccessible::Description).toStdString();
    }
    lists_.push_back(seen);
    std::optional<int> choice;
    if (!copy_choices_.empty()) {
      choice = copy_choices_.front();
      copy_choices_.pop_front();
    }
    if (!choice) {
      dialog.reject();
      return dialog.result();
    }
    list->setCurrentItem(list->topLevelItem(*choice));
    auto* restore = dialog.findChild<QPushButton*>("Restore");
    EXPECT_NE(restore, nullptr);
    if (restore) restore->click();
    return dialog.result();
  }

  int Answer(QDialog& dialog) {
    if (auto* list = qobject_cast<SavedCopiesDialog*>(&dialog)) return AnswerList(*list);
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
      auto* name_box = files->findChild<QLineEdit*>("fileNameEdit");
      dialogs_.push_back({files->windowTitle().toStdString(), Strings(files->nameFilters()),
                          files->defaultSuffix().toStdString(), files->fileMode(),
                          QDir::cleanPath(files->directory().absolutePath()).toStdString(),
                          name_box ? name_box->text().toStdString() : ""});
      std::optional<QString> typed;
      if (!typed_.empty()) {
        typed = typed_.front();
        typed_.pop_front();
      }
      if (!typed) {
        files->reject();
      } else {
        EXPECT_NE(name_box, nullptr);
        if (name_box) name_box->setText(*typed);
        static_cast<QDialog*>(files)->accept();  // as the Open button does
      }
      return files->result();
    }
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    EXPECT_NE(box, nullptr);
    if (box == nullptr) return QDialog::Rejected;
    BoxSeen seen;
    seen.name = box->objectName().toStdString();
    seen.title = box->windowTitle().toStdString();
    seen.text = box->text().toStdString();
    seen.icon = box->icon();
    seen.format = box->textFormat();
    if (box->defaultButton()) seen.default_button = box->defaultButton()->text().toStdString();
    for (QAbstractButton* button : box->buttons())
      seen.buttons.push_back(button->text().toStdString());
    seen.informative = box->informativeText().toStdString();
    seen.details = box->detailedText().toStdString();
    if (QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(box)) {
      seen.heard_name = heard->text(QAccessible::Name).toStdString();
      seen.heard_description = heard->text(QAccessible::Description).toStdString();
    }
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
      // The details button, which Qt adds and names itself.
      if (box->buttonRole(button) == QMessageBox::ActionRole || button->text().contains("..."))
        details_button_ = button->text().toStdString();
    }
    boxes_.push_back(seen);
    if (!presses_.empty()) {
      const std::string press = presses_.front();
      presses_.pop_front();
      QAbstractButton* pressed = nullptr;
      for (QAbstractButton* button : box->buttons()) {
        if (button->text().toStdString() == press) pressed = button;
      }
      EXPECT_NE(pressed, nullptr) << press << " in " << seen.text;
      if (pressed) {
        pressed->click();
        return box->result();
      }
    }
    return QDialog::Accepted;
  }

  QPushButton* Button(const char* name) { return form_.findChild<QPushButton*>(name); }
  static std::string Folder(const std::filesystem::path& path) {
    return QDir::cleanPath(QString::fromStdString(path.string())).toStdString();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const BoxSeen& box : boxes_) texts.push_back(box.text);
    return texts;
  }

  TempDir dir_;
  TMForm form_;
  std::deque<std::optional<QString>> typed_;
  std::deque<std::string> presses_;
  std::deque<std::optional<int>> copy_choices_;
  std::vector<ListSeen> lists_;
  std::vector<DialogSeen> dialogs_;
  std::vector<BoxSeen> boxes_;
  std::string details_button_;
};

TEST_F(MainFormTest, LaysOutPanelsLabelsAndButtonsAt96Dpi) {
  ASSERT_DOUBLE_EQ(form_.Scale(), 1.0);  // the offscreen screen has 96 dpi
  EXPECT_EQ(form_.size(), QSize(632, 266));
  EXPECT_EQ(form_.minimumSize(), form_.maximumSize());
  EXPECT_EQ(form_.windowTitle(), "Exportar e importar datos entre Horaplan y GEDU");
  EXPECT_FALSE(form_.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(form_.windowFlags() & Qt::WindowCloseButtonHint);

  const struct {
    const char* name;
    const char* parent;
    QRect geometry;
  } parts[] = {
      {"Draw3D2", "MForm", QRect(0, -1, 315, 169)},
      {"Draw3D3", "MForm", QRect(316, 0, 317, 169)},
      {"Draw3D1", "MForm", QRect(0, 168, 633, 97)},
      {"Label3", "Draw3D2", QRect(24, 24, 265, 57)},
      {"Label4", "Draw3D3", QRect(8, 24, 305, 57)},
      {"BExportar", "Draw3D2", QRect(96, 120, 89, 25)},
      {"BImportar", "Draw3D3", QRect(96, 120, 89, 25)},
      {"BClose", "Draw3D1", QRect(256, 32, 89, 25)},
  };
  for (const auto& part : parts) {
    auto* widget = form_.findChild<QWidget*>(part.name);
    ASSERT_NE(widget, nullptr) << part.name;
    EXPECT_EQ(widget->parentWidget()->objectName(), part.parent) << part.name;
    EXPECT_EQ(widget->geometry(), part.geometry) << part.name;
  }
  auto* label1 = form_.findChild<QLabel*>("Label1");
  ASSERT_NE(label1, nullptr);
  EXPECT_EQ(label1->pos(), QPoint(8, 72));
  EXPECT_EQ(label1->text(), "Pontexa V-1.02");
  EXPECT_TRUE(label1->font().bold());
  EXPECT_EQ(label1->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
  EXPECT_EQ(form_.findChild<QLabel*>("Label3")->text(),
            "Transformar datos desde GEDU hacia Horaplan ");
  EXPECT_EQ(Button("BClose")->text(), "&Salir");
  EXPECT_EQ(Button("BExportar")->text(), "Aceptar");
  EXPECT_FALSE(Button("BImportar")->icon().isNull());
}

TEST_F(MainFormTest, WindowAndItsMessageBoxesCarryTheDrawnApplicationIcon) {
  const QIcon icon = form_.windowIcon();
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
  }
  // Drawn, not blank: the 32-pixel picture has opaque pixels in its middle.
  const QImage picture = icon.pixmap(32).toImage();
  ASSERT_EQ(picture.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(picture.pixel(16, 16)), 255);
  EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);  // rounded corner

  QMessageBox box(&form_);
  EXPECT_EQ(box.windowIcon().cacheKey(), icon.cacheKey());
}

TEST_F(MainFormTest, WindowAndItsMessageBoxesStandInTheMiddleOfTheScreen) {
  const QPoint middle = QGuiApplication::primaryScreen()->geometry().center();
  const auto near_middle = [&](const QRect& frame) {
    return (frame.center() - middle).manhattanLength() <= 2;
  };
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  EXPECT_TRUE(near_middle(form_.frameGeometry())) << form_.frameGeometry().center().x();
  // Boxes take the middle of the screen, not of the window, wherever it is.
  form_.move(0, 0);
  std::vector<QRect> frames;
  form_.SetDialogRunner([&](QDialog& dialog) {
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    frames.push_back(dialog.frameGeometry());
    dialog.hide();
    return static_cast<int>(QDialog::Accepted);
  });
  form_.ShowMessage("Hecho");
  form_.ShowError("Mal");
  ASSERT_EQ(frames.size(), 2u);
  for (const QRect& frame : frames) EXPECT_TRUE(near_middle(frame)) << frame.center().x();
}

TEST_F(MainFormTest, OnlyTheThreeButtonsTakeFocusInTabOrderStartingAtSalir) {
  QStringList focusable;
  for (QWidget* widget : form_.findChildren<QWidget*>()) {
    if (widget->focusPolicy() != Qt::NoFocus) focusable << widget->objectName();
  }
  focusable.sort();
  EXPECT_EQ(focusable, QStringList({"BClose", "BExportar", "BImportar"}));

  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  QStringList order;
  for (int i = 0; i < 4; ++i) {
    order << QApplication::focusWidget()->objectName();
    QTest::keyClick(form_.windowHandle(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, QStringList({"BClose", "BExportar", "BImportar", "BClose"}));
}

TEST_F(MainFormTest, KeysOnAFreshWindow) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool closes;
  } cases[] = {
      {Qt::Key_Escape, Qt::NoModifier, false}, {Qt::Key_F1, Qt::NoModifier, false},
      {Qt::Key_Return, Qt::NoModifier, true},  {Qt::Key_Enter, Qt::KeypadModifier, true},
      {Qt::Key_Space, Qt::NoModifier, true},   {Qt::Key_S, Qt::AltModifier, true},
  };
  for (const auto& c : cases) {
    TMForm form(dir_.path(), RegionalSettings{','});
    form.SetDialogRunner([this](QDialog& dialog) { return Answer(dialog); });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    // Through the window, as the platform delivers keys, so that shortcuts apply.
    QTest::keyClick(form.windowHandle(), c.key, c.modifiers);
    // An access key animates the press, so the click comes a moment later.
    (void)QTest::qWaitFor([&] { return !form.isVisible(); }, 500);
    EXPECT_EQ(form.isVisible(), !c.closes)
        << QKeySequence(c.key | c.modifiers).toString().toStdString();
  }
  EXPECT_TRUE(dialogs_.empty());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainFormTest, CancelledFirstDialogSaysNoFile) {
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);

  ASSERT_EQ(dialogs_.size(), 1u);
  const DialogSeen& dialog = dialogs_[0];
  EXPECT_EQ(dialog.title, "Archivo XML");
  EXPECT_EQ(dialog.filters, std::vector<std::string>({"*.xml"}));
  EXPECT_EQ(dialog.default_suffix, "xml");
  EXPECT_EQ(dialog.mode, QFileDialog::AnyFile);
  EXPECT_EQ(dialog.folder, Folder(dir_ / "sauce"));
  EXPECT_EQ(dialog.offered, "");

  ASSERT_EQ(boxes_.size(), 1u);
  const BoxSeen& box = boxes_[0];
  EXPECT_EQ(box.text, "No existe archivo");
  EXPECT_EQ(box.title, form_.ApplicationTitleText().toStdString());
  EXPECT_EQ(box.title, "shell_tests");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.buttons, std::vector<std::string>({"Aceptar"}));
  EXPECT_EQ(form_.Control().ExchangeFileName(), "");
}

TEST_F(MainFormTest, TypedMissingNameGetsXmlSuffixAndIsOfferedNextTime) {
  WillType(QString::fromStdString(Folder(dir_ / "sauce" / "nuevo")));
  QTest::mouseClick(Button("BImportar"), Qt::LeftButton);
  WillType(std::nullopt);
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);

  const std::string expected = (dir_ / "sauce" / "nuevo.xml").string();
  EXPECT_EQ(form_.Control().ExchangeFileName(), expected);
  ASSERT_EQ(dialogs_.size(), 2u);
  EXPECT_EQ(dialogs_[1].folder, Folder(dir_ / "sauce"));
  EXPECT_EQ(dialogs_[1].offered, "nuevo.xml");
  EXPECT_EQ(Texts(), std::vector<std::string>({"No existe archivo", "No existe archivo"}));
  EXPECT_FALSE(std::filesystem::exists(expected));
}

TEST_F(MainFormTest, BothConversionsRunEndToEndOnTheSampleSchool) {
  const std::filesystem::path exchange = dir_ / "sauce" / "instituto.xml";
  WriteFile(exchange, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));

  WillType(QString::fromStdString(Folder(exchange)));
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  ASSERT_EQ(Texts(), std::vector<std::string>({"Proceso finalizado"}));
  for (const char* table : {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"}) {
    EXPECT_TRUE(std::filesystem::exists(dir_ / (std::string(table) + ".DBF"))) << table;
  }

  // Horaplan would fill the week and the timetable; an empty timetable will do here.
  const tables::TableStore store(dir_.path(), RegionalSettings{','});
  store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout(tables::FieldType::kFloat, 0));
  ASSERT_EQ(ReadFile(exchange).find("<time-tables"), std::string::npos);

  WillType(std::nullopt);  // cancelled: the file chosen for the other conversion is used
  QTest::mouseClick(Button("BImportar"), Qt::LeftButton);
  EXPECT_EQ(Texts(), std::vector<std::string>({"Proceso finalizado", "Proceso Terminado"}));
  EXPECT_NE(ReadFile(exchange).find("<time-tables"), std::string::npos);
  EXPECT_EQ(dialogs_.at(1).offered, "instituto.xml");
}

TEST_F(MainFormTest, FailedRunShowsPlainTextErrorBoxAndRestoresTheCursor) {
  const std::filesystem::path exchange = dir_ / "sauce" / "roto.xml";
  WriteFile(exchange, "<document><subjects>");  // not well-formed
  WillType(QString::fromStdString(Folder(exchange)));
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);

  ASSERT_EQ(boxes_.size(), 1u);
  const BoxSeen& box = boxes_[0];
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.title, form_.ApplicationTitleText().toStdString());
  EXPECT_EQ(box.buttons, std::vector<std::string>({"Aceptar"}));
  EXPECT_EQ(box.format, Qt::PlainText);
  EXPECT_NE(box.text.find("roto.xml"), std::string::npos) << box.text;
  EXPECT_EQ(box.text.back(), '.') << box.text;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ASIGNOMT.DBF"));
}

// A run that fails part-way restores every table, and its error box says so
// after the error itself.
TEST_F(MainFormTest, FailedConversionSaysInItsErrorBoxThatTheTablesWereLeftAsTheyWere) {
  const std::filesystem::path exchange = dir_ / "sauce" / "instituto.xml";
  WriteFile(exchange, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));
  WillType(QString::fromStdString(Folder(exchange)));
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  ASSERT_EQ(Texts(), std::vector<std::string>({"Proceso finalizado"}));
  // Another school's subjects, so that the first step changes the table.
  WriteFile(exchange,
            "<document><subjects><subject id='X' name='Otra' hours='2'/></subjects>"
            "</document>");
  const std::string subjects = ReadFile(dir_ / "ASIGNOMT.DBF");
  {
    testing::HeldFile held(dir_ / "ASIGT.DBF");
    WillType(std::nullopt);
    QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  }
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].icon, QMessageBox::Critical);
  EXPECT_NE(boxes_[1].text.find("ASIGT.DBF' est\xC3\xA1 en uso"), std::string::npos)
      << boxes_[1].text;
  EXPECT_TRUE(boxes_[1].text.ends_with(". Las tablas de Horaplan se han dejado como estaban."))
      << boxes_[1].text;
  EXPECT_EQ(ReadFile(dir_ / "ASIGNOMT.DBF"), subjects);
}

// A run killed part-way leaves its record; the window at start-up puts the
// tables back from the run's copy and says so in a box, once.
TEST_F(MainFormTest, AtStartUpARunCutShortIsPutRightAndSaid) {
  const std::filesystem::path exchange = dir_ / "sauce" / "instituto.xml";
  WriteFile(exchange, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));
  WillType(QString::fromStdString(Folder(exchange)));
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  const std::string subjects = ReadFile(dir_ / "ASIGNOMT.DBF");
  // The next run is killed while its first table is half written: its
  // record, its copy and the half-written table are what it leaves.
  {
    run::CopyRequest request;
    request.made_by = run::kMadeByToHoraplan;
    request.table_folder = dir_.path();
    request.exchange_file = exchange.string();
    request.now = std::time(nullptr);
    run::UnfinishedRun record(dir_.path(), run::kMadeByToHoraplan, /*tables=*/true, request.now,
                              {tables::kAsignomt}, request.exchange_file);
    record.CopyMade(run::CopyTables(request, {tables::kAsignomt}, /*even_if_empty=*/false));
    record.Writing(tables::kAsignomt);
    WriteFile(dir_ / "ASIGNOMT.DBF", "medio escrito");
  }
  ASSERT_TRUE(std::filesystem::exists(dir_ / run::kRunRecordName));
  const std::optional<run::RunRecord> record = run::ReadRunRecord(dir_.path());
  ASSERT_TRUE(record);
  boxes_.clear();

  TMForm restarted(dir_.path(), RegionalSettings{','});
  restarted.SetDialogRunner([this](QDialog& dialog) { return Answer(dialog); });
  restarted.PutRightUnfinishedRun();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "La \xC3\xBAltima conversi\xC3\xB3n (" + record->time +
                                ") no termin\xC3\xB3. Las tablas de Horaplan se han dejado "
                                "como estaban antes de ella.");
  EXPECT_EQ(boxes_[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(ReadFile(dir_ / "ASIGNOMT.DBF"), subjects);
  EXPECT_FALSE(std::filesystem::exists(dir_ / run::kRunRecordName));
  // Nothing more to say at the next start.
  restarted.PutRightUnfinishedRun();
  EXPECT_EQ(boxes_.size(), 1u);
}

// A run with notas only (the sample school, as GEDU names its subjects)
// closes with the plain box; a run with avisos shows the same text with their
// count and the report's place under it, and the avisos alone as details
// behind a Spanish button. A screen reader hears the same.
TEST_F(MainFormTest, ClosingBoxOffersTheAvisosOnlyWhenThereAreAny) {
  const std::filesystem::path exchange = dir_ / "sauce" / "instituto.xml";
  WriteFile(exchange, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));
  WillType(QString::fromStdString(Folder(exchange)));
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Proceso finalizado");
  EXPECT_EQ(boxes_[0].buttons, std::vector<std::string>({"Aceptar"}));
  EXPECT_EQ(boxes_[0].informative, "");
  EXPECT_EQ(boxes_[0].details, "");
  EXPECT_EQ(boxes_[0].heard_name, "Proceso finalizado");
  // The notas are in the report all the same.
  EXPECT_NE(ReadFile(dir_ / "pontexa-informe.txt").find("renamed-code"), std::string::npos);

  // Two teachers with the same initials (a nota) and a lesson whose teacher
  // no catalogue holds (an aviso).
  WriteFile(exchange,
            "<document><teachers><teacher id='T1'>Ana Gil</teacher>"
            "<teacher id='T2'>Alba G\xC3\xB3mez</teacher></teachers>"
            "<groups><group id='G1' name='1 ESO A'><assigned-subjects>"
            "<assigned-subject id='S1'><assigned-teachers><assigned-teacher id='T9'/>"
            "</assigned-teachers></assigned-subject></assigned-subjects></group></groups>"
            "<subjects><subject id='S1' name='Lengua'/></subjects></document>");
  WillType(std::nullopt);
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  ASSERT_EQ(boxes_.size(), 2u);
  const BoxSeen& box = boxes_[1];
  EXPECT_EQ(box.text, "Proceso finalizado");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  const std::string summary =
      "Hay 1 aviso. El informe est\xC3\xA1 en '" + (dir_ / "pontexa-informe.txt").string() + "'.";
  EXPECT_EQ(box.informative, summary);
  EXPECT_EQ(box.details,
            "unknown-teacher (1)\n  T9: El profesor 'T9' de la asignatura 'S1' del grupo 'G1' no "
            "est\xC3\xA1 en PROFT: se escribe sin profesor.\n");
  EXPECT_EQ(details_button_, "Mostrar los detalles...");
  EXPECT_EQ(box.heard_name, "Proceso finalizado");
  EXPECT_EQ(box.heard_description, summary);
}

// Both conversion buttons read "Aceptar"; what a screen reader hears says
// which way each converts. The error box is heard by its message.
TEST_F(MainFormTest, ButtonsAndErrorBoxAreHeardWithTheirMeaning) {
  const struct {
    const char* button;
    const char* name;
    const char* description;
  } cases[] = {
      {"BExportar", "Aceptar", "Transformar datos desde GEDU hacia Horaplan"},
      {"BImportar", "Aceptar", "Transformar datos desde Horaplan hacia GEDU"},
      {"BClose", "Salir", "Cerrar Pontexa"},
  };
  for (const auto& c : cases) {
    QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(Button(c.button));
    ASSERT_NE(heard, nullptr) << c.button;
    EXPECT_EQ(heard->text(QAccessible::Name).toStdString(), c.name) << c.button;
    EXPECT_EQ(heard->text(QAccessible::Description).toStdString(), c.description) << c.button;
  }

  form_.ShowError("No existe la tabla SOLUC.");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].heard_name, "Error");
  EXPECT_EQ(boxes_[0].heard_description, "No existe la tabla SOLUC.");
}

// The table files of the folder with their bytes.
std::map<std::string, std::string> TableFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && (name.ends_with(".DBF") || name.ends_with(".MDX"))) {
      files[name] = ReadFile(entry.path());
    }
  }
  return files;
}

// Another school than the sample one, with a lesson whose teacher no
// catalogue holds (an aviso).
constexpr char kOtherSchool[] =
    "<document><teachers><teacher id='T1'>Ana Gil</teacher></teachers>"
    "<groups><group id='G1' name='1 ESO A'><assigned-subjects>"
    "<assigned-subject id='S1'><assigned-teachers><assigned-teacher id='T9'/>"
    "</assigned-teachers></assigned-subject></assigned-subjects></group></groups>"
    "<subjects><subject id='S1' name='Lengua'/></subjects></document>";

class UndoInTheWindowTest : public MainFormTest {
 protected:
  // The sample school converted, then another school over it.
  void TwoRuns(bool undo_from_the_box) {
    WriteFile(exchange_, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));
    WillType(QString::fromStdString(Folder(exchange_)));
    QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
    sample_ = TableFiles(dir_.path());
    WriteFile(exchange_, kOtherSchool);
    WillType(std::nullopt);
    if (undo_from_the_box) {
      WillPress("Deshacer");  // in the closing box
      WillPress("Deshacer");  // in the question
    } else {
      WillPress("Aceptar");
    }
    QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  }

  QAction* Action(const char* name) { return form_.findChild<QAction*>(name); }

  std::filesystem::path exchange_ = dir_ / "sauce" / "instituto.xml";
  std::map<std::string, std::string> sample_;
};

// The first run found no tables and made no copy: its box has "Aceptar"
// alone. The second offers "Deshacer"; pressed and confirmed once, the
// tables are the sample school's again, byte for byte, and a box says so.
TEST_F(UndoInTheWindowTest, DeshacerInTheClosingBoxPutsTheTablesBackByteForByte) {
  TwoRuns(/*undo_from_the_box=*/true);
  EXPECT_EQ(TableFiles(dir_.path()), sample_);

  ASSERT_EQ(boxes_.size(), 4u) << ::testing::PrintToString(Texts());
  EXPECT_EQ(boxes_[0].buttons, std::vector<std::string>({"Aceptar"}));
  const BoxSeen& closing = boxes_[1];
  EXPECT_EQ(closing.text, "Proceso finalizado");
  EXPECT_EQ(closing.buttons,
            std::vector<std::string>({"Aceptar", "Deshacer", "Mostrar los detalles..."}));
  EXPECT_EQ(closing.default_button, "Aceptar");
  EXPECT_NE(closing.informative.find("Hay 1 aviso."), std::string::npos) << closing.informative;

  const BoxSeen& question = boxes_[2];
  EXPECT_EQ(question.name, "Question");
  EXPECT_EQ(question.icon, QMessageBox::Question);
  EXPECT_EQ(question.text,
            "¿Deshacer la conversión? Las tablas de Horaplan volverán a estar como antes de "
            "ella; lo que hay ahora se guardará antes en una copia.");
  EXPECT_EQ(question.buttons, std::vector<std::string>({"Deshacer", "Cancelar"}));
  EXPECT_EQ(question.heard_name, "Deshacer la conversión");
  EXPECT_EQ(question.heard_description, question.text);

  const std::vector<run::SavedCopy> copies = run::ListCopies(dir_.path());
  ASSERT_FALSE(copies.empty());
  EXPECT_EQ(boxes_[3].text,
            "Conversión deshecha: las tablas de Horaplan están como antes de ella. Lo que "
            "había se ha guardado en la copia '" +
                copies.front().name + "'.");
  EXPECT_EQ(boxes_[3].buttons, std::vector<std::string>({"Aceptar"}));
  EXPECT_FALSE(Action("UndoAction")->isEnabled());
}

// What a screen reader hears of the closing box's "Deshacer".
TEST_F(UndoInTheWindowTest, DeshacerIsHeardWithWhatItDoes) {
  form_.SetDialogRunner([](QDialog& dialog) {
    auto* undo = dialog.findChild<QPushButton*>("Undo");
    EXPECT_NE(undo, nullptr);
    if (undo) {
      QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(undo);
      EXPECT_EQ(heard->text(QAccessible::Name).toStdString(), "Deshacer");
      EXPECT_EQ(heard->text(QAccessible::Description).toStdString(),
                "Deshacer la conversión: dejar todo como estaba antes de ella");
    }
    return QDialog::Accepted;
  });
  EXPECT_FALSE(form_.ShowClosingMessage("Proceso finalizado", "", ""));
}

// Undo from the context menu after Horaplan changed a table: the question
// names the file, warns, and is asked again; "Cancelar" keeps the change,
// "Deshacer" restores the sample school.
TEST_F(UndoInTheWindowTest, DeshacerAfterTheFilesChangedAsksAgain) {
  TwoRuns(/*undo_from_the_box=*/false);
  ASSERT_TRUE(Action("UndoAction")->isEnabled());
  WriteFile(dir_ / "ASIGT.DBF", "guardado por Horaplan");
  const auto changed = TableFiles(dir_.path());
  boxes_.clear();

  WillPress("Deshacer");
  WillPress("Cancelar");
  Action("UndoAction")->trigger();
  EXPECT_EQ(TableFiles(dir_.path()), changed);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].icon, QMessageBox::Warning);
  EXPECT_EQ(boxes_[1].default_button, "Cancelar");
  EXPECT_EQ(boxes_[1].text,
            "Desde la conversión han cambiado: ASIGT.DBF (modificado). Si la deshace, esos "
            "cambios se perderán; lo que hay ahora se guardará antes en una copia. ¿Deshacer "
            "la conversión de todos modos?");

  WillPress("Deshacer");
  WillPress("Deshacer");
  Action("UndoAction")->trigger();
  EXPECT_EQ(TableFiles(dir_.path()), sample_);
  ASSERT_EQ(boxes_.size(), 5u);
  EXPECT_EQ(boxes_[4].text.rfind("Conversión deshecha", 0), 0u) << boxes_[4].text;
}

// The context menu holds undo, enabled only while there is a run to undo,
// and the saved copies; opening it changes nothing on the form.
TEST_F(UndoInTheWindowTest, ContextMenuReachesUndoAndTheSavedCopies) {
  QMenu menu;
  form_.FillContextMenu(menu);
  std::vector<std::string> entries;
  for (QAction* action : menu.actions()) entries.push_back(action->text().toStdString());
  EXPECT_EQ(entries,
            std::vector<std::string>({"&Deshacer la última conversión", "&Copias guardadas..."}));
  EXPECT_FALSE(Action("UndoAction")->isEnabled());
  EXPECT_EQ(Action("UndoAction")->shortcut(), QKeySequence(QKeySequence::Undo));
  EXPECT_TRUE(Action("SavedCopiesAction")->isEnabled());
}

// The menu key on a focused button opens the form's menu: undo and the
// copies are reachable from the keyboard too.
TEST_F(UndoInTheWindowTest, MenuKeyOnAButtonOpensTheFormsMenu) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  std::vector<std::string> entries;
  QTimer::singleShot(0, [&entries] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) entries.push_back(action->text().toStdString());
      menu->close();
    }
  });
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(4, 4),
                        focused->mapToGlobal(QPoint(4, 4)));
  QApplication::sendEvent(focused, &key);
  EXPECT_EQ(entries,
            std::vector<std::string>({"&Deshacer la última conversión", "&Copias guardadas..."}));
}

// The list shows each copy's time, conversion and tables, newest first;
// "Reponer" on the older one, confirmed, restores the sample school.
TEST_F(UndoInTheWindowTest, OlderCopyFromTheListIsRestored) {
  TwoRuns(/*undo_from_the_box=*/false);
  WriteFile(exchange_, std::string(kOtherSchool)
                           .replace(std::string(kOtherSchool).find("Ana Gil"), 7, "Berta Ruiz"));
  WillType(std::nullopt);
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  boxes_.clear();

  WillChooseCopy(1);
  WillPress("Reponer");
  Action("SavedCopiesAction")->trigger();
  EXPECT_EQ(TableFiles(dir_.path()), sample_);

  ASSERT_EQ(lists_.size(), 1u);
  const ListSeen& list = lists_[0];
  EXPECT_EQ(list.headers, std::vector<std::string>({"Hora", "Conversión", "Tablas"}));
  const std::vector<run::SavedCopy> copies = run::ListCopies(dir_.path());
  ASSERT_EQ(copies.size(), 3u);  // the two runs' and the restore's own
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_EQ(list.rows[1],
            std::vector<std::string>({copies[2].manifest.time, "GEDU hacia Horaplan",
                                      "ASIGNOMT, PROFT, AULAT, GRUPOST, ASIGT, DIASHORAST"}));
  EXPECT_EQ(list.heard_name, "Copias guardadas");
  EXPECT_EQ(list.heard_description,
            "Cada copia guarda lo que había antes de la conversión que la hizo, de la más "
            "reciente a la más antigua. Elija una y pulse «Reponer».");

  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].heard_name, "Reponer una copia");
  EXPECT_EQ(boxes_[0].buttons, std::vector<std::string>({"Reponer", "Cancelar"}));
  EXPECT_EQ(boxes_[1].text, "Tablas repuestas desde la copia '" + copies[2].name +
                                "'. Lo que había antes está en la copia '" + copies[0].name + "'.");
}

// A copy of the exchange file goes back onto the file chosen in the file
// dialog, which opens on the path the copy records.
TEST_F(UndoInTheWindowTest, ExchangeFileCopyGoesOntoTheFileChosenInTheDialog) {
  WriteFile(exchange_, ReadFile(std::filesystem::path(PONTEXA_EXAMPLES) / "instituto.xml"));
  WillType(QString::fromStdString(Folder(exchange_)));
  QTest::mouseClick(Button("BExportar"), Qt::LeftButton);
  const tables::TableStore store(dir_.path(), RegionalSettings{','});
  store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout(tables::FieldType::kFloat, 0));
  const std::string before = ReadFile(exchange_);
  WillType(std::nullopt);
  WillPress("Aceptar");
  QTest::mouseClick(Button("BImportar"), Qt::LeftButton);
  ASSERT_NE(ReadFile(exchange_), before);
  dialogs_.clear();
  boxes_.clear();

  WillChooseCopy(0);
  WillPress("Reponer");
  WillType(QString::fromStdString(Folder(exchange_)));
  Action("SavedCopiesAction")->trigger();
  EXPECT_EQ(ReadFile(exchange_), before);
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].folder, Folder(dir_ / "sauce"));
  EXPECT_EQ(dialogs_[0].offered, "instituto.xml");
  ASSERT_EQ(lists_.size(), 1u);
  EXPECT_EQ(lists_[0].rows[0][1], "Horaplan hacia GEDU");
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text.rfind("Archivo XML '" + exchange_.string() + "' repuesto", 0), 0u)
      << boxes_[1].text;
}

}  // namespace
}  // namespace pontexa::shell
