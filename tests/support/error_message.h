#pragma once

#include <functional>
#include <string>

#include "platform/error.h"

namespace pontexa::testing {

// The message of the Error that `action` raises, or "(no error)".
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace pontexa::testing
