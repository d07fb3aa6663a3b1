#pragma once

#include <string>
#include <string_view>
#include <vector>

// The texts of undoing a conversion and of restoring a saved copy from the
// window.
namespace pontexa::run::messages {

// The button that undoes a run, beside "Aceptar" in its closing box, and the
// one that restores a chosen copy.
inline constexpr char kUndoButton[] = "Deshacer";
inline constexpr char kRestoreButton[] = "Reponer";
// What a screen reader hears of them, and the names of the boxes that ask.
inline constexpr char kUndoButtonDescription[] =
    "Deshacer la conversi\xC3\xB3n: dejar todo como estaba antes de ella";
inline constexpr char kUndoHeading[] = "Deshacer la conversi\xC3\xB3n";
inline constexpr char kRestoreHeading[] = "Reponer una copia";

// "¿Deshacer la conversión? ..." for a run that rebuilt the tables
// (`tables`) or saved the exchange file at `path`.
std::string UndoQuestion(bool tables, std::string_view path);
// One file that changed since the run: "ASIGT.DBF (modificado)".
enum class FileChange { kModified, kRemoved, kAdded };
std::string ChangedFile(std::string_view name, FileChange change);
// The files are not as the run left them: what changed, and ask again.
std::string ChangedSinceQuestion(const std::vector<std::string>& changed);
// What the undo did.
std::string UndoDone(bool tables, std::string_view path, std::string_view copy_of_replaced);

// The copies listed in the window: what made each one.
std::string CopyBeforeToHoraplan();
std::string CopyBeforeToGedu();
std::string CopyBeforeRestoring(std::string_view copy);
// What a copy holds: "ASIGNOMT, PROFT (no existía)" or the exchange file.
std::string TableDidNotExist(std::string_view table);
std::string ExchangeFileHeld(std::string_view path);
// Asked before a chosen copy is restored.
std::string RestoreQuestion(bool tables, std::string_view time, std::string_view made_by);
// What the restore did.
std::string RestoreDone(bool tables, std::string_view copy, std::string_view copy_of_replaced,
                        std::string_view path);
// There is no run to undo any more (the window's menu).
std::string NothingToUndo();

}  // namespace pontexa::run::messages
