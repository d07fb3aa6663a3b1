#pragma once

namespace pontexa {

// The user's regional settings that the conversions depend on. Only main reads
// them from the environment; everything else receives them.
struct RegionalSettings {
  char decimal_separator = ',';
};

// The decimal separator of the user's locale: LC_NUMERIC of the environment on
// Linux (LC_ALL, LC_NUMERIC, LANG), the regional settings on Windows. Does not
// change the process locale.
RegionalSettings RegionalSettingsFromEnvironment();

}  // namespace pontexa
