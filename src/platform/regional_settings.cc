#include "platform/regional_settings.h"

#include <langinfo.h>
#include <locale.h>

namespace pontexa {

RegionalSettings RegionalSettingsFromEnvironment() {
  RegionalSettings settings;
  settings.decimal_separator = '.';
  // A locale object of its own, so that the process locale stays as it is.
  locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (numeric != static_cast<locale_t>(0)) {
    const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') {
      settings.decimal_separator = radix[0];
    }
    freelocale(numeric);
  }
  return settings;
}

}  // namespace pontexa
