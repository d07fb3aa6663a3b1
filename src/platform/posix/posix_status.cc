#include "platform/posix/posix_status.h"

#include <errno.h>

#include <string>

namespace pontexa::posix {
namespace {

std::string TextOf(int errno_value) {
  switch (errno_value) {
    case EACCES:
      return "Permiso denegado";
    case EPERM:
      return "Operación no permitida";
    case ENOENT:
      return "No existe el archivo o la carpeta";
    case ENOTDIR:
      return "Una parte de la ruta no es una carpeta";
    case EISDIR:
      return "Es una carpeta";
    case ENOSPC:
      return "No queda espacio en el disco";
    case EDQUOT:
      return "Se ha superado la cuota de disco";
    case EROFS:
      return "El sistema de archivos es de solo lectura";
    case EFBIG:
      return "El archivo es demasiado grande";
    case ENAMETOOLONG:
      return "El nombre del archivo es demasiado largo";
    case ELOOP:
      return "Demasiados niveles de enlaces simbólicos";
    case EIO:
      return "Error de entrada/salida";
    case EMFILE:
    case ENFILE:
      return "Hay demasiados archivos abiertos";
    case ENOMEM:
      return "No hay memoria suficiente";
    case EBUSY:
    case ETXTBSY:
      return "El archivo está en uso";
    case EXDEV:
      return "El archivo temporal y el destino están en discos distintos";
    case EEXIST:
      return "El archivo ya existe";
    case EINVAL:
      return "Argumento no válido";
    default:
      return "Error del sistema número " + std::to_string(errno_value);
  }
}

Status::Code CodeOf(int errno_value) {
  switch (errno_value) {
    case 0:
      return Status::Code::kOk;
    case ENOENT:
      return Status::Code::kNotFound;
    case EEXIST:
      return Status::Code::kExists;
    case EISDIR:
      return Status::Code::kIsFolder;
    case ENOTDIR:
      return Status::Code::kNotFolder;
    case EACCES:
    case EPERM:
      return Status::Code::kPermissionDenied;
    case EROFS:
      return Status::Code::kReadOnly;
    case ENOSPC:
    case EDQUOT:
      return Status::Code::kNoSpace;
    case EAGAIN:
    case EBUSY:
    case ETXTBSY:
      return Status::Code::kLocked;
    default:
      return Status::Code::kOther;
  }
}

}  // namespace

Status StatusOf(int error_number) {
  if (error_number == 0) return Status();
  return Status(CodeOf(error_number), TextOf(error_number));
}

Status LastError() { return StatusOf(errno); }

}  // namespace pontexa::posix
