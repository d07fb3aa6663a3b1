#pragma once

#include <string>
#include <string_view>

// The texts of the claim a run holds on its folders and of putting right a
// run that did not finish.
namespace pontexa::run::messages {

// Another run holds the table folder; `process` and `machine` as its lock
// file names them.
std::string FolderInUse(std::string_view process, std::string_view machine,
                        std::string_view folder);
// Another run is saving the same exchange file.
std::string ExchangeFileInUse(std::string_view path);
std::string CannotUseLockFile(std::string_view path, std::string_view reason);
std::string UnknownHolder();

// What ran: "conversión" or "restauración", for the sentences below.
std::string_view RunNoun(bool restore);
// The unfinished run's tables are as they were before it.
std::string TablesPutRight(bool restore, std::string_view time);
// The tables changed after the run's last step: left alone.
std::string TablesUsedSince(bool restore, std::string_view time, std::string_view copy_name,
                            std::string_view copy_folder);
// The tables cannot be restored: every run that changes the folder is refused.
std::string CannotPutRight(bool restore, std::string_view time, std::string_view reason,
                           std::string_view copy_name, std::string_view copy_folder);
std::string CannotPutRightNoCopy(bool restore, std::string_view time, std::string_view reason);
std::string CopyOfRunMissing(std::string_view copy_name);
// After CannotPutRight when the copy itself is missing: nothing can bring the
// tables back, so the user decides and removes the record.
std::string RemoveRecordToGoOn(std::string_view record_path);
// An unfinished save of the exchange file: it is the old one or the new one.
std::string ExchangeFileKeptOld(bool restore, std::string_view time, std::string_view path);
std::string ExchangeFileIsNew(bool restore, std::string_view time, std::string_view path);
// --check and copies: a run waits to be put right.
std::string UnfinishedRunWaiting(bool restore, std::string_view time);
// The record itself cannot be read.
std::string DamagedRunRecord(std::string_view path);
std::string CannotWriteRunRecord(std::string_view path, std::string_view reason);
// The line of the run report.
std::string ReportRecovery(std::string_view notice);

}  // namespace pontexa::run::messages
