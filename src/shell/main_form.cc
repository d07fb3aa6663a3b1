#include "shell/main_form.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QSvgRenderer>
#include <cmath>
#include <utility>

#include "run/undo_messages.h"
#include "run/unfinished_run.h"
#include "shell/application_title.h"
#include "shell/gradient_panel.h"
#include "shell/messages.h"
#include "shell/saved_copies_dialog.h"
#include "shell/spanish_dates_proxy.h"
#include "version.h"

namespace pontexa::shell {
namespace {

constexpr int kClientWidth = 632;
constexpr int kClientHeight = 266;
constexpr int kButtonWidth = 89;
constexpr int kButtonHeight = 25;
constexpr int kPictureSize = 16;

// The first of `families` that the system has; a sans-serif font otherwise.
QFont FontFrom(const QStringList& families, int pixel_size, bool bold) {
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  for (const QString& family : families) {
    if (QFontDatabase::hasFamily(family)) {
      font.setFamily(family);
      break;
    }
  }
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

const QStringList& SansSerifFamilies() {
  static const QStringList families = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                       "Arimo", "DejaVu Sans"};
  return families;
}

const QStringList& ArialFamilies() {
  static const QStringList families = {"Arial", "Liberation Sans", "Arimo", "DejaVu Sans"};
  return families;
}

QPixmap RenderPicture(const QString& resource, int size, qreal ratio) {
  QSvgRenderer renderer(resource);
  const int pixels = static_cast<int>(std::lround(size * ratio));
  QPixmap pixmap(pixels, pixels);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

// A button picture with its greyed variant for the disabled state.
QIcon Picture(const QString& name, int size, qreal ratio) {
  QIcon icon;
  icon.addPixmap(RenderPicture(":/pictures/" + name + ".svg", size, ratio), QIcon::Normal);
  icon.addPixmap(RenderPicture(":/pictures/" + name + "_disabled.svg", size, ratio),
                 QIcon::Disabled);
  return icon;
}

// The program's icon, drawn at the sizes desktops ask for; message boxes and
// dialogs take it from the window.
QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(RenderPicture(":/pictures/pontexa.svg", size, 1.0));
  }
  return icon;
}

// Puts the widget's frame in the middle of the screen it is on.
void CentreOnScreen(QWidget& widget) {
  if (QScreen* where = widget.screen()) {
    QRect frame = widget.frameGeometry();
    frame.moveCenter(where->geometry().center());
    widget.move(frame.topLeft());
  }
}

// Message boxes stand in the middle of the screen, wherever the window is.
class ScreenCentredBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    CentreOnScreen(*this);
  }
};

// What every box of the window has: its name, the window's title, an icon,
// the text, what a screen reader hears, and modality over the whole
// application. Messages may quote data from the user's files: the text is
// never read as markup.
void SetUpBox(QMessageBox& box, const char* name, const QString& title, QMessageBox::Icon icon,
              const std::string& text, const QString& heard_name,
              const QString& heard_description) {
  box.setObjectName(name);
  box.setWindowTitle(title);
  box.setIcon(icon);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setAccessibleName(heard_name);
  box.setAccessibleDescription(heard_description);
  box.setWindowModality(Qt::ApplicationModal);
}

// A message box: the message, with the count of avisos and the report's
// place under it and the avisos behind the details button when there are
// any. Returns its "Aceptar".
QPushButton* FillMessageBox(QMessageBox& box, const QString& title, const std::string& text,
                            const std::string& summary, const std::string& details) {
  // Heard as it is seen: the message, then the count of avisos when there are any.
  SetUpBox(box, "Message", title, QMessageBox::NoIcon, text, QString::fromStdString(text),
           QString::fromStdString(summary.empty() ? text : summary));
  QPushButton* ok = box.addButton(messages::kOkButton, QMessageBox::AcceptRole);
  if (!summary.empty()) box.setInformativeText(QString::fromStdString(summary));
  // Qt names the details button itself, in English unless its own
  // translations are loaded; the translator in main gives it Spanish words.
  if (!details.empty()) box.setDetailedText(QString::fromStdString(details));
  return ok;
}

}  // namespace

TMForm::TMForm(std::filesystem::path table_folder, RegionalSettings regional, QWidget* parent)
    : QWidget(parent),
      title_(ApplicationTitle(QCoreApplication::applicationFilePath())),
      table_folder_(std::move(table_folder)),
      control_(*this, table_folder_, regional),
      dialog_runner_([](QDialog& dialog) { return dialog.exec(); }) {
  qreal ratio = 1.0;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    scale_ = screen->logicalDotsPerInch() / 96.0;
    ratio = screen->devicePixelRatio();
  }

  setObjectName("MForm");
  setWindowTitle("Exportar e importar datos entre Horaplan y GEDU");
  setWindowIcon(ApplicationIcon());
  // A fixed dialog frame with the close box only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(Px(kClientWidth), Px(kClientHeight));

  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);
  setFont(FontFrom(SansSerifFamilies(), Px(11), false));

  MakePanels();
  MakeLabels();
  MakeButtons(ratio);
  MakeActions();
  bclose_->setFocus(Qt::OtherFocusReason);
}

void TMForm::MakePanels() {
  // Created in this order, so the upper panels lie above the lower one where
  // they meet.
  const Rgb upper_top = RgbFromHex(0xFFEEDD), upper_middle = RgbFromHex(0xFFFFFF),
            upper_bottom = RgbFromHex(0xF9D37D);
  draw3d1_ =
      new GradientPanel(RgbFromHex(0xCCD8E6), RgbFromHex(0xCFF2FE), RgbFromHex(0xC2CDFE), this);
  draw3d1_->setObjectName("Draw3D1");
  draw3d1_->setGeometry(Px(0), Px(168), Px(633), Px(97));
  draw3d2_ = new GradientPanel(upper_top, upper_middle, upper_bottom, this);
  draw3d2_->setObjectName("Draw3D2");
  draw3d2_->setGeometry(Px(0), Px(-1), Px(315), Px(169));
  draw3d3_ = new GradientPanel(upper_top, upper_middle, upper_bottom, this);
  draw3d3_->setObjectName("Draw3D3");
  draw3d3_->setGeometry(Px(316), Px(0), Px(317), Px(169));
}

// The two headings over the buttons, and the version in red.
void TMForm::MakeLabels() {
  const QFont heading = FontFrom(ArialFamilies(), Px(16), true);
  auto make_heading = [&](const char* name, const QString& text, QWidget* panel, int left,
                          int width) {
    auto* label = new QLabel(text, panel);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(heading);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(Px(left), Px(24), Px(width), Px(57));
    return label;
  };
  label3_ =
      make_heading("Label3", "Transformar datos desde GEDU hacia Horaplan ", draw3d2_, 24, 265);
  label4_ = make_heading("Label4", "Transformar datos desde Horaplan hacia GEDU", draw3d3_, 8, 305);

  label1_ = new QLabel(QStringLiteral("Pontexa V-") + QLatin1String(kShownVersion), draw3d1_);
  label1_->setObjectName("Label1");
  label1_->setTextFormat(Qt::PlainText);
  label1_->setFont(FontFrom(SansSerifFamilies(), Px(11), true));
  QPalette red = label1_->palette();
  red.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
  label1_->setPalette(red);
  label1_->move(Px(8), Px(72));
  label1_->adjustSize();
}

void TMForm::MakeButtons(qreal ratio) {
  const QIcon door = Picture("door", Px(kPictureSize), ratio);
  const QIcon tick = Picture("tick", Px(kPictureSize), ratio);
  auto make_button = [&](const char* name, const QString& caption, const QIcon& icon,
                         QWidget* panel, int left, int top) {
    auto* button = new QPushButton(icon, caption, panel);
    button->setObjectName(name);
    button->setIconSize(QSize(Px(kPictureSize), Px(kPictureSize)));
    button->setGeometry(Px(left), Px(top), Px(kButtonWidth), Px(kButtonHeight));
    button->setFocusPolicy(Qt::StrongFocus);
    // Enter presses the focused button, as Space does; outside a QDialog Qt
    // only does that for auto-default buttons.
    button->setAutoDefault(true);
    return button;
  };
  bclose_ = make_button("BClose", "&Salir", door, draw3d1_, 256, 32);
  bexportar_ = make_button("BExportar", "Aceptar", tick, draw3d2_, 96, 120);
  bimportar_ = make_button("BImportar", "Aceptar", tick, draw3d3_, 96, 120);
  // Both conversion buttons read "Aceptar": a screen reader hears which way
  // each one converts in its description.
  bexportar_->setAccessibleDescription(messages::kToHoraplanButtonDescription);
  bimportar_->setAccessibleDescription(messages::kToGeduButtonDescription);
  bclose_->setAccessibleDescription(messages::kCloseButtonDescription);
  setTabOrder(bclose_, bexportar_);
  setTabOrder(bexportar_, bimportar_);

  connect(bclose_, &QPushButton::clicked, this, &QWidget::close);
  connect(bexportar_, &QPushButton::clicked, this, [this] { BExportarClick(); });
  connect(bimportar_, &QPushButton::clicked, this, [this] { BImportarClick(); });
}

void TMForm::MakeActions() {
  // Undo and the saved copies live in the context menu (the menu key, or a
  // right click anywhere on the form), so the form looks as it always has.
  undo_action_ = new QAction(messages::kUndoAction, this);
  undo_action_->setObjectName("UndoAction");
  undo_action_->setShortcut(QKeySequence::Undo);
  undo_action_->setShortcutContext(Qt::WindowShortcut);
  addAction(undo_action_);
  copies_action_ = new QAction(messages::kSavedCopiesAction, this);
  copies_action_->setObjectName("SavedCopiesAction");
  addAction(copies_action_);
  connect(undo_action_, &QAction::triggered, this, [this] { UndoLastRun(); });
  connect(copies_action_, &QAction::triggered, this, [this] { ShowSavedCopies(); });
  UpdateActions();
}

TMForm::~TMForm() { SetWaitCursor(false); }

int TMForm::Px(int pixels) const { return static_cast<int>(std::lround(pixels * scale_)); }

void TMForm::SetDialogRunner(DialogRunner runner) { dialog_runner_ = std::move(runner); }

void TMForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (centred_) return;
  centred_ = true;
  CentreOnScreen(*this);
}

void TMForm::PutRightUnfinishedRun() {
  // The claim taken for it is let go before the box waits for the user.
  bool error = false;
  const std::string text = run::PutRightAtStartUp(table_folder_, &error);
  if (text.empty()) return;
  if (error) {
    ShowError(run::ErrorBoxText(text));
  } else {
    ShowMessage(text);
  }
}

// "Aceptar" under "Transformar datos desde GEDU hacia Horaplan": GEDU to Horaplan.
void TMForm::BExportarClick() {
  control_.RunToHoraplan();
  UpdateActions();
}

// "Aceptar" under "Transformar datos desde Horaplan hacia GEDU": Horaplan to GEDU.
void TMForm::BImportarClick() {
  control_.RunToGedu();
  UpdateActions();
}

void TMForm::UpdateActions() { undo_action_->setEnabled(control_.CanUndoLastRun()); }

void TMForm::UndoLastRun() {
  control_.UndoLastRun();
  UpdateActions();
}

void TMForm::ShowSavedCopies() {
  std::vector<run::CopyRow> rows;
  if (!control_.ListSavedCopies(&rows)) return;
  SavedCopiesDialog dialog(rows, title_, this);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog_runner_(dialog) != QDialog::Accepted) return;
  const std::string chosen = dialog.ChosenCopy();
  if (!chosen.empty()) control_.RestoreSavedCopy(chosen);
  UpdateActions();
}

void TMForm::FillContextMenu(QMenu& menu) {
  menu.addAction(undo_action_);
  menu.addAction(copies_action_);
}

void TMForm::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.setObjectName("FormMenu");
  FillContextMenu(menu);
  menu.exec(event->globalPos());
}

std::optional<std::string> TMForm::ChooseExchangeFile(const std::string& offered) {
  // A fresh dialog each time: what it offers follows from the path confirmed
  // last alone, never from what was typed in a cancelled dialog.
  QFileDialog dialog(this, "Archivo XML");
  dialog.setObjectName("OpenDialogXML");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Qt's own dialog, never the desktop's: it speaks Spanish through the
  // translations loaded at start-up, whatever the desktop's language.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setProxyModel(new SpanishDatesProxy(&dialog));
  // One file, which need not exist, in a folder that need not exist either.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter("*.xml");
  dialog.setDefaultSuffix("xml");
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setSizeGripEnabled(true);
  if (offered.empty()) {
    dialog.setDirectory(QString::fromStdString((table_folder_ / "sauce").string()));
  } else {
    // The file confirmed last, by its full path: the dialog opens in its folder.
    const QString path = QString::fromStdString(offered);
    dialog.setDirectory(QFileInfo(path).absolutePath());
    dialog.selectFile(path);
  }
  if (dialog_runner_(dialog) != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(QFileInfo(chosen.front()).absoluteFilePath()).toStdString();
}

void TMForm::ShowMessage(const std::string& text) { ShowMessageWithDetails(text, "", ""); }

void TMForm::ShowMessageWithDetails(const std::string& text, const std::string& summary,
                                    const std::string& details) {
  ScreenCentredBox box(this);
  FillMessageBox(box, title_, text, summary, details);
  dialog_runner_(box);
}

bool TMForm::ShowClosingMessage(const std::string& text, const std::string& summary,
                                const std::string& details) {
  ScreenCentredBox box(this);
  QPushButton* ok = FillMessageBox(box, title_, text, summary, details);
  QPushButton* undo = box.addButton(run::messages::kUndoButton, QMessageBox::DestructiveRole);
  undo->setObjectName("Undo");
  undo->setAccessibleDescription(run::messages::kUndoButtonDescription);
  // Enter and Escape close the box as before; undoing takes its own button.
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  dialog_runner_(box);
  return box.clickedButton() == undo;
}

bool TMForm::Confirm(const Question& question) {
  ScreenCentredBox box(this);
  SetUpBox(box, "Question", title_, question.warning ? QMessageBox::Warning : QMessageBox::Question,
           question.text, QString::fromStdString(question.heading),
           QString::fromStdString(question.text));
  QPushButton* go =
      box.addButton(QString::fromStdString(question.go_ahead), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QMessageBox::Cancel);
  cancel->setText(messages::kCancelButton);
  // Where something will be lost, Enter does not go ahead.
  box.setDefaultButton(question.warning ? cancel : go);
  box.setEscapeButton(cancel);
  dialog_runner_(box);
  return box.clickedButton() == go;
}

void TMForm::ShowError(const std::string& text) {
  ScreenCentredBox box(this);
  SetUpBox(box, "ErrorMessage", title_, QMessageBox::Critical, text, messages::kErrorBoxName,
           QString::fromStdString(text));
  box.addButton(QMessageBox::Ok)->setText(messages::kOkButton);
  dialog_runner_(box);
}

void TMForm::SetWaitCursor(bool on) {
  if (on == wait_cursor_) return;
  wait_cursor_ = on;
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace pontexa::shell
