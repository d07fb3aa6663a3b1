#include "platform/regional_settings.h"

#include "platform/env.h"

namespace pontexa {

RegionalSettings RegionalSettingsFromEnvironment() { return Env::Current().Regional(); }

}  // namespace pontexa
