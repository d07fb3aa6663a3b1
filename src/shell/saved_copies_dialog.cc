#include "shell/saved_copies_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "run/undo_messages.h"
#include "shell/messages.h"

namespace pontexa::shell {

SavedCopiesDialog::SavedCopiesDialog(const std::vector<run::CopyRow>& rows, const QString& title,
                                     QWidget* parent)
    : QDialog(parent) {
  setObjectName("SavedCopies");
  setWindowTitle(title);
  setAccessibleName(messages::kSavedCopiesTitle);
  setAccessibleDescription(rows.empty() ? messages::kNoSavedCopies
                                        : messages::kSavedCopiesExplanation);
  setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  auto* heading =
      new QLabel(rows.empty() ? messages::kNoSavedCopies : messages::kSavedCopiesExplanation, this);
  heading->setObjectName("Explanation");
  heading->setTextFormat(Qt::PlainText);
  heading->setWordWrap(true);
  layout->addWidget(heading);

  list_ = new QTreeWidget(this);
  list_->setObjectName("CopyList");
  list_->setAccessibleName(messages::kCopyListName);
  list_->setAccessibleDescription(messages::kSavedCopiesExplanation);
  list_->setColumnCount(3);
  list_->setHeaderLabels(
      {messages::kTimeColumn, messages::kConversionColumn, messages::kTablesColumn});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAllColumnsShowFocus(true);
  for (const run::CopyRow& row : rows) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, QString::fromStdString(row.time));
    item->setText(1, QString::fromStdString(row.made_by));
    item->setText(2, QString::fromStdString(row.contents));
    // A long list of tables or a long path shows whole when pointed at.
    item->setToolTip(2, QString::fromStdString(row.contents));
    item->setData(0, Qt::UserRole, QString::fromStdString(row.name));
  }
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->header()->setStretchLastSection(true);
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  layout->addWidget(list_);

  auto* buttons = new QDialogButtonBox(this);
  restore_ = buttons->addButton(run::messages::kRestoreButton, QDialogButtonBox::AcceptRole);
  restore_->setObjectName("Restore");
  restore_->setAccessibleDescription(messages::kRestoreButtonDescription);
  restore_->setEnabled(list_->currentItem() != nullptr);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  close->setText(messages::kCloseButton);
  close->setAccessibleDescription(messages::kCloseListDescription);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { restore_->setEnabled(current != nullptr); });

  const double scale = logicalDpiX() / 96.0;
  resize(static_cast<int>(800 * scale), static_cast<int>(300 * scale));
  list_->setFocus();
}

std::string SavedCopiesDialog::ChosenCopy() const {
  const QTreeWidgetItem* item = list_->currentItem();
  return item ? item->data(0, Qt::UserRole).toString().toStdString() : std::string();
}

}  // namespace pontexa::shell
