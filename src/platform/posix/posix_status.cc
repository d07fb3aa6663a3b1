#include "platform/posix/posix_status.h"

#include <errno.h>

#include <string>

namespace pontexa::posix {
namespace {

// The words for the errors that say more than their code's usual words;
// null for the others.
const char* OwnText(int errno_value) {
  switch (errno_value) {
    case EPERM:
      return "Operación no permitida";
    case EDQUOT:
      return "Se ha superado la cuota de disco";
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
    case EXDEV:
      return "El archivo temporal y el destino están en discos distintos";
    case EINVAL:
      return "Argumento no válido";
    default:
      return nullptr;
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
    // A named pipe opened for writing without waiting, with nobody reading it,
    // and a device that is not there.
    case ENXIO:
    case ENODEV:
      return Status::Code::kNotRegular;
    default:
      return Status::Code::kOther;
  }
}

}  // namespace

Status StatusOf(int error_number) {
  if (error_number == 0) return Status();
  const Status::Code code = CodeOf(error_number);
  if (const char* text = OwnText(error_number)) return Status(code, text);
  if (code != Status::Code::kOther) return Status::Of(code);
  return Status(code, "Error del sistema número " + std::to_string(error_number));
}

Status LastError() { return StatusOf(errno); }

}  // namespace pontexa::posix
