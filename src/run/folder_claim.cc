#include "run/folder_claim.h"

#include <string_view>

#include "platform/error.h"
#include "run/recovery_messages.h"

namespace pontexa::run {
namespace {

// The value of "key: value" in the lock file's text, "" when missing.
std::string ValueOf(std::string_view text, std::string_view key) {
  const std::string prefix = std::string(key) + ": ";
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    if (line.starts_with(prefix)) {
      std::string value(line.substr(prefix.size()));
      // Shown in a message: nothing there may break its line.
      for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
      }
      return value;
    }
    at = end + 1;
  }
  return "";
}

// What the holder wrote in the lock file; "" when it cannot be read.
std::string HolderText(const std::filesystem::path& path) {
  std::unique_ptr<File> file;
  if (!Env::Current().Open(path, {OpenMode::kRead, /*no_wait=*/true}, &file).ok()) return "";
  FileInfo info;
  if (!file->Info(&info).ok() || !info.IsRegular()) return "";
  std::string text(512, '\0');
  std::size_t read = 0;
  if (!file->ReadAt(0, text.data(), text.size(), &read).ok()) return "";
  text.resize(read);
  return text;
}

[[noreturn]] void RefuseFolder(const std::filesystem::path& table_folder,
                               const std::filesystem::path& lock_file) {
  const std::string text = HolderText(lock_file);
  std::string process = ValueOf(text, "proceso");
  std::string machine = ValueOf(text, "equipo");
  if (process.empty()) process = messages::UnknownHolder();
  if (machine.empty()) machine = messages::UnknownHolder();
  throw ClaimRefused(messages::FolderInUse(process, machine, table_folder.string()));
}

}  // namespace

FolderClaim FolderClaim::Take(const std::filesystem::path& table_folder, HoldKind kind) {
  Env& env = Env::Current();
  const std::filesystem::path path = table_folder / kClaimFileName;
  FolderClaim claim;
  Status status = env.OpenLocked(path, {kind, /*create=*/true, /*follow_link=*/false}, &claim.file_);
  if (status.IsAccessProblem() || status.code() == Status::Code::kNotFound) {
    // A lock file this user may not write, or a folder where none can be made.
    status = env.OpenLocked(path, {HoldKind::kShared, false, false}, &claim.file_);
    if (status.IsAccessProblem() || status.code() == Status::Code::kNotFound) return FolderClaim();
    kind = HoldKind::kShared;
  }
  if (status.code() == Status::Code::kLocked) RefuseFolder(table_folder, path);
  if (!status) throw Error(messages::CannotUseLockFile(path.string(), status.text()));
  claim.exclusive_ = kind == HoldKind::kExclusive;
  if (claim.exclusive_) {
    // Whoever is refused reads who holds the folder; any user may take it next.
    const std::string holder = "proceso: " + std::to_string(env.ThisProcess()) +
                               "\nequipo: " + env.HostName() + "\n";
    FileInfo info;
    if (claim.file_->Info(&info).ok() && (info.permissions & 0666) != 0666) {
      info.permissions |= 0666;
      (void)claim.file_->TakeAccessOf(&info);
    }
    (void)claim.file_->Truncate(0);
    (void)claim.file_->WriteAt(0, holder);
  }
  return claim;
}

void FolderClaim::Release() {
  if (file_ && exclusive_) (void)file_->Truncate(0);
  file_.reset();
}

ExchangeFileClaim ExchangeFileClaim::TryTake(const std::filesystem::path& exchange_file) {
  Env& env = Env::Current();
  // A save renames a new file over the path: the file locked must be the one
  // the path still names once the lock is held.
  for (int attempt = 0; attempt < 5; ++attempt) {
    ExchangeFileClaim claim;
    Status status = env.OpenLocked(exchange_file, {HoldKind::kExclusive, false, true}, &claim.file_);
    if (status.IsAccessProblem()) {
      status = env.OpenLocked(exchange_file, {HoldKind::kShared, false, true}, &claim.file_);
    }
    if (status.code() == Status::Code::kLocked) {
      claim.refused_ = true;
      return claim;
    }
    if (!status) return ExchangeFileClaim();
    FileInfo held;
    FileInfo named;
    if (!claim.file_->Info(&held).ok() || !env.Info(exchange_file, &named).ok()) {
      return ExchangeFileClaim();
    }
    if (held.SameFileAs(named)) return claim;
  }
  return ExchangeFileClaim();
}

ExchangeFileClaim ExchangeFileClaim::Take(const std::filesystem::path& exchange_file) {
  ExchangeFileClaim claim = TryTake(exchange_file);
  if (claim.refused_) throw ClaimRefused(messages::ExchangeFileInUse(exchange_file.string()));
  return claim;
}

}  // namespace pontexa::run
