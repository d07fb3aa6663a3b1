#pragma once

#include <QIdentityProxyModel>

namespace pontexa::shell {

// The file dialog's list with its "modified" column written by the program's
// default locale (Spanish: 9/12/26 13:25) rather than the system's, which under
// LANG=C would show English month names.
class SpanishDatesProxy : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override;
};

}  // namespace pontexa::shell
