#include "platform/system_error_text.h"

#include <errno.h>

namespace pontexa {

std::string SystemErrorText(int errno_value) {
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

}  // namespace pontexa
