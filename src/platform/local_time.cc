#include "platform/local_time.h"

#include "platform/env.h"

namespace pontexa {

std::string LocalTime(std::time_t when, const char* format) {
  const std::tm local = Env::Current().LocalTime(when);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

}  // namespace pontexa
