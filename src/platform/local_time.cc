#include "platform/local_time.h"

namespace pontexa {

std::string LocalTime(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

}  // namespace pontexa
