#include "shell/application_title.h"

namespace pontexa::shell {

QString ApplicationTitle(const QString& executable_path) {
  const qsizetype slash =
      std::max(executable_path.lastIndexOf(u'/'), executable_path.lastIndexOf(u'\\'));
  QString name = executable_path.mid(slash + 1);
  const qsizetype dot = name.indexOf(u'.');
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  // The first character stays as it is (it may be a surrogate pair).
  const qsizetype first_length = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
  return name.left(first_length) + name.mid(first_length).toLower();
}

}  // namespace pontexa::shell
