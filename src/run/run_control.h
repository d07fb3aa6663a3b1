#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "exchange/document.h"
#include "platform/file_system.h"
#include "platform/regional_settings.h"
#include "run/run_ui.h"

namespace pontexa::run {

inline constexpr char kNoFileMessage[] = "No existe archivo";
inline constexpr char kToHoraplanDone[] = "Proceso finalizado";
inline constexpr char kToGeduDone[] = "Proceso Terminado";

// The text of the error box: the message with one "." added when it is not
// empty and its last character has a code above that of ".".
std::string ErrorBoxText(const std::string& message);

// The two conversions from the click to the closing message. Holds the state
// that lasts between runs: the path confirmed last and the latest document.
class RunControl {
 public:
  RunControl(RunUi& ui, const FileSystem& files, std::filesystem::path timetable_directory,
             RegionalSettings regional);

  // GEDU to Horaplan: choose, test, load, the six table builds under the wait
  // cursor, "Proceso finalizado". Returns true when the run ended with its
  // closing message (false after "No existe archivo" or an error).
  bool BExportarClick();
  // Horaplan to GEDU: choose, test, load, write the time-tables section, save to
  // the same path, "Proceso Terminado".
  bool BImportarClick();

  const std::string& ExchangeFileName() const { return exchange_file_name_; }

 private:
  RunUi& ui_;
  const FileSystem& files_;
  std::filesystem::path timetable_directory_;
  RegionalSettings regional_;
  std::string exchange_file_name_;
  std::unique_ptr<exchange::Document> exchange_document_;
};

}  // namespace pontexa::run
