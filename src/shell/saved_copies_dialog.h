#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "run/undo.h"

class QPushButton;
class QTreeWidget;

namespace pontexa::shell {

// The saved copies, newest first, with their time, the conversion each was
// made before and what it holds; "Reponer" closes it with a copy chosen.
class SavedCopiesDialog : public QDialog {
  Q_OBJECT

 public:
  SavedCopiesDialog(const std::vector<run::CopyRow>& rows, const QString& title,
                    QWidget* parent = nullptr);

  // The folder name of the chosen copy; "" when none is chosen.
  std::string ChosenCopy() const;

 private:
  QTreeWidget* list_ = nullptr;
  QPushButton* restore_ = nullptr;
};

}  // namespace pontexa::shell
