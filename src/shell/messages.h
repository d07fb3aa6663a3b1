#pragma once

#include <string>
#include <string_view>

// What the window says beyond the form's own captions (its title, headings and
// buttons, which stay with the form in main_form.cc) and beyond the run
// control's messages, which it only shows.
namespace pontexa::shell::messages {

// The one button of the closing and error boxes.
inline constexpr char kOkButton[] = "Aceptar";

// What a screen reader hears of the form's buttons beyond their captions.
inline constexpr char kToHoraplanButtonDescription[] =
    "Transformar datos desde GEDU hacia Horaplan";
inline constexpr char kToGeduButtonDescription[] = "Transformar datos desde Horaplan hacia GEDU";
inline constexpr char kCloseButtonDescription[] = "Cerrar Pontexa";
// The accessible name of the error box, whose message is its description.
inline constexpr char kErrorBoxName[] = "Error";

// On standard error at start-up when Qt's Spanish translations are missing
// from `folder`.
std::string MissingTranslations(std::string_view folder);

}  // namespace pontexa::shell::messages
