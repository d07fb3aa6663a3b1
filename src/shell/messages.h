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
// The button of a question that does not go ahead.
inline constexpr char kCancelButton[] = "Cancelar";

// The form's context menu, which reaches undo and the saved copies without
// changing the form's look.
inline constexpr char kUndoAction[] = "&Deshacer la última conversión";
inline constexpr char kSavedCopiesAction[] = "&Copias guardadas...";

// The list of saved copies.
inline constexpr char kSavedCopiesTitle[] = "Copias guardadas";
inline constexpr char kSavedCopiesExplanation[] =
    "Cada copia guarda lo que había antes de la conversión que la hizo, de la más reciente a "
    "la más antigua. Elija una y pulse «Reponer».";
inline constexpr char kNoSavedCopies[] = "No hay copias guardadas.";
inline constexpr char kTimeColumn[] = "Hora";
inline constexpr char kConversionColumn[] = "Conversión";
inline constexpr char kTablesColumn[] = "Tablas";
inline constexpr char kCloseButton[] = "Cerrar";
inline constexpr char kCopyListName[] = "Copias";
inline constexpr char kRestoreButtonDescription[] = "Reponer la copia elegida";
inline constexpr char kCloseListDescription[] = "Cerrar la lista sin reponer nada";

// On standard error at start-up when Qt's Spanish translations are missing
// from `folder`.
std::string MissingTranslations(std::string_view folder);

}  // namespace pontexa::shell::messages
