#pragma once

#include <stdexcept>
#include <string>

namespace pontexa {

// The one failure type of the system. It carries the Spanish message the user
// will read, in UTF-8. A failure is raised where it happens and caught only by
// the run control, which shows it once.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace pontexa
