#include "platform/env.h"

namespace pontexa {
namespace {

Env* current = nullptr;

}  // namespace

Status Status::Of(Code code) {
  switch (code) {
    case Code::kOk:
      return Status();
    case Code::kNotFound:
      return Status(code, "No existe el archivo o la carpeta");
    case Code::kExists:
      return Status(code, "El archivo ya existe");
    case Code::kIsFolder:
      return Status(code, "Es una carpeta");
    case Code::kNotFolder:
      return Status(code, "Una parte de la ruta no es una carpeta");
    case Code::kPermissionDenied:
      return Status(code, "Permiso denegado");
    case Code::kReadOnly:
      return Status(code, "El sistema de archivos es de solo lectura");
    case Code::kNoSpace:
      return Status(code, "No queda espacio en el disco");
    case Code::kLocked:
      return Status(code, "El archivo está en uso");
    case Code::kNotRegular:
      return Status(code, "No es un archivo normal");
    case Code::kOther:
      break;
  }
  return Status(Code::kOther, "Error de entrada/salida");
}

Env& Env::Current() { return current != nullptr ? *current : System(); }

ScopedEnv::ScopedEnv(Env& env) : previous_(current) { current = &env; }

ScopedEnv::~ScopedEnv() { current = previous_; }

bool IsExistingFile(const std::filesystem::path& path) {
  if (path.empty()) return false;
  FileInfo info;
  return Env::Current().Info(path, &info).ok() && info.IsRegular();
}

bool NameExists(const std::filesystem::path& path) {
  if (path.empty()) return false;
  FileInfo info;
  return Env::Current().LinkInfo(path, &info).ok();
}

}  // namespace pontexa
