#include "platform/posix/posix_status.h"

#include <errno.h>
#include <gtest/gtest.h>

namespace pontexa::posix {
namespace {

using Code = Status::Code;

// Each system error the user may meet, with the code the callers act on and
// the words shown after the file's name.
TEST(PosixStatus, SystemErrorsGiveTheirCodeAndSpanishWords) {
  struct Case {
    int error_number;
    Code code;
    std::string text;
  } cases[] = {
      {ENOENT, Code::kNotFound, "No existe el archivo o la carpeta"},
      {EEXIST, Code::kExists, "El archivo ya existe"},
      {EISDIR, Code::kIsFolder, "Es una carpeta"},
      {ENOTDIR, Code::kNotFolder, "Una parte de la ruta no es una carpeta"},
      {EACCES, Code::kPermissionDenied, "Permiso denegado"},
      {EPERM, Code::kPermissionDenied, "Operación no permitida"},
      {EROFS, Code::kReadOnly, "El sistema de archivos es de solo lectura"},
      {ENOSPC, Code::kNoSpace, "No queda espacio en el disco"},
      {EDQUOT, Code::kNoSpace, "Se ha superado la cuota de disco"},
      {EBUSY, Code::kLocked, "El archivo está en uso"},
      {ENXIO, Code::kNotRegular, "No es un archivo normal"},
      {EAGAIN, Code::kLocked, "El archivo está en uso"},
      {EFBIG, Code::kOther, "El archivo es demasiado grande"},
      {EIO, Code::kOther, "Error de entrada/salida"},
      {EXDEV, Code::kOther, "El archivo temporal y el destino están en discos distintos"},
      {EPIPE, Code::kOther, "Error del sistema número " + std::to_string(EPIPE)},
  };
  for (const Case& c : cases) {
    const Status status = StatusOf(c.error_number);
    EXPECT_EQ(status.code(), c.code) << c.error_number;
    EXPECT_EQ(status.text(), c.text) << c.error_number;
  }
  EXPECT_TRUE(StatusOf(0).ok());
  EXPECT_TRUE(StatusOf(EACCES).IsAccessProblem());
  EXPECT_TRUE(StatusOf(EROFS).IsAccessProblem());
  EXPECT_FALSE(StatusOf(ENOENT).IsAccessProblem());
}

}  // namespace
}  // namespace pontexa::posix
