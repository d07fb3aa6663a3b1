#pragma once

#include <string>
#include <string_view>

// What the window says beyond the form's own captions (its title, headings and
// buttons, which stay with the form in main_form.cc) and beyond the run
// control's messages, which it only shows.
namespace pontexa::shell::messages {

// The one button of the closing and error boxes.
inline constexpr char kOkButton[] = "Aceptar";

// On standard error at start-up when Qt's Spanish translations are missing
// from `folder`.
std::string MissingTranslations(std::string_view folder);

}  // namespace pontexa::shell::messages
