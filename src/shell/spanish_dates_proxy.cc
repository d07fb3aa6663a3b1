#include "shell/spanish_dates_proxy.h"

#include <QFileSystemModel>
#include <QLocale>

namespace pontexa::shell {
namespace {

constexpr int kModifiedColumn = 3;  // name, size, type, modified

}  // namespace

QVariant SpanishDatesProxy::data(const QModelIndex& index, int role) const {
  const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
  if (files == nullptr || role != Qt::DisplayRole || index.column() != kModifiedColumn) {
    return QIdentityProxyModel::data(index, role);
  }
  const QDateTime modified = files->lastModified(mapToSource(index));
  if (!modified.isValid()) return QIdentityProxyModel::data(index, role);
  return QLocale().toString(modified, QLocale::ShortFormat);
}

}  // namespace pontexa::shell
