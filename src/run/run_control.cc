#include "run/run_control.h"

#include <exception>
#include <new>
#include <string_view>
#include <utility>

#include "exchange/exchange_file.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "tables/table_store.h"
#include "to_gedu/timetable_section.h"
#include "to_horaplan/table_builds.h"

namespace pontexa::run {

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + ".";
  }
  return message;
}

namespace {

// The wait cursor for as long as the object lives; off again however the run
// ends, before its error is shown.
class WaitCursor {
 public:
  explicit WaitCursor(RunUi& ui) : ui_(ui) { ui_.SetWaitCursor(true); }
  ~WaitCursor() {
    try {
      ui_.SetWaitCursor(false);
    } catch (...) {
      // Nothing can be done about a cursor that does not come back.
    }
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  RunUi& ui_;
};

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// A path as it appears in a message: file names on disk are normally UTF-8, but
// a name in the 8-bit code page must not break the message.
std::string PathForMessage(const std::string& path) {
  return IsUtf8(path) ? path : Utf8FromSystem(path);
}

// Runs one conversion and shows, once, the error that ends it.
template <typename Run>
bool ShowingErrors(RunUi& ui, Run run) {
  std::string message;
  try {
    return run();
  } catch (const std::bad_alloc&) {
    message = "No hay memoria suficiente";
  } catch (const Error& error) {
    message = error.what();
  } catch (const std::exception& error) {
    message = std::string("Error interno: ") + error.what();
  }
  ui.ShowError(ErrorBoxText(message));
  return false;
}

}  // namespace

RunControl::RunControl(RunUi& ui, const FileSystem& files,
                       std::filesystem::path timetable_directory, RegionalSettings regional)
    : ui_(ui),
      files_(files),
      timetable_directory_(std::move(timetable_directory)),
      regional_(regional) {}

bool RunControl::ChooseExchangeFile() {
  if (std::optional<std::string> chosen = ui_.ChooseExchangeFile(exchange_file_name_)) {
    exchange_file_name_ = std::move(*chosen);
  }
  if (!files_.IsExistingFile(exchange_file_name_)) {
    ui_.ShowMessage(kNoFileMessage);
    return false;
  }
  return true;
}

void RunControl::LoadExchangeDocument() {
  // The document of the previous run goes before the new one is read.
  exchange_document_.reset();
  exchange_document_ = std::make_unique<exchange::Document>();
  if (!exchange_document_->Load(exchange_file_name_)) {
    FailLoad(exchange_document_->LoadFailure());
  }
}

void RunControl::FailLoad(std::string reason) const {
  if (reason.empty()) reason = "el archivo no es un documento XML válido";
  throw Error("No se puede leer el archivo XML '" + PathForMessage(exchange_file_name_) +
              "': " + reason);
}

bool RunControl::BExportarClick() {
  return ShowingErrors(ui_, [this] {
    if (!ChooseExchangeFile()) return false;
    LoadExchangeDocument();
    const exchange::Document& document = *exchange_document_;
    const tables::TableStore store(timetable_directory_, regional_);
    {
      WaitCursor wait(ui_);
      to_horaplan::CheckTablesNotHeld(store);
      to_horaplan::BuildSubjectTable(document, store);
      to_horaplan::BuildTeacherTable(document, store);
      to_horaplan::BuildRoomTable(document, store);
      to_horaplan::BuildGroupTable(document, store);
      to_horaplan::BuildAssignmentTable(document, store);
      to_horaplan::CreateDayHourTable(store);
    }
    ui_.ShowMessage(kToHoraplanDone);
    return true;
  });
}

bool RunControl::BImportarClick() {
  return ShowingErrors(ui_, [this] {
    if (!ChooseExchangeFile()) return false;
    // The file is written back byte for byte around the new section, so it is
    // read as bytes and checked, not made into a tree.
    exchange_document_.reset();
    exchange::ExchangeFile file;
    if (!file.Load(exchange_file_name_)) FailLoad(file.LoadFailure());
    const tables::TableStore store(timetable_directory_, regional_);
    file.SaveWithSection(exchange_file_name_, [&store](exchange::SectionWriter& out) {
      to_gedu::WriteTimetableSection(out, store);
    });
    ui_.ShowMessage(kToGeduDone);
    return true;
  });
}

}  // namespace pontexa::run
