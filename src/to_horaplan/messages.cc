#include "to_horaplan/messages.h"

#include "platform/findings.h"

namespace pontexa::to_horaplan::messages {

std::string FieldNotInLayout(std::string_view field) {
  return Joined({"El campo '", field, "' no figura en la estructura de la tabla"});
}

std::string NoFreeCode(std::string_view kind, std::string_view name, std::string_view id,
                       std::size_t width, std::string_view base) {
  return Joined({"No queda ningún código libre para ", kind, " '", name, "' (id '", id,
                 "'): todos los códigos de ", std::to_string(width),
                 " caracteres que empiezan por '", base, "' están ya en uso"});
}

std::string ReplacedCharacters(std::string_view original, std::string_view stored) {
  return Joined({"El texto '", original,
                 "' tiene caracteres que Horaplan no admite; se guarda como '", stored, "'."});
}

std::string MissingId(std::string_view element, std::string_view name) {
  if (name.empty())
    return Joined({"Un elemento '", element, "' sin id se escribe con IDGEDU vacío."});
  return Joined({"Un elemento '", element, "' sin id ('", name, "') se escribe con IDGEDU vacío."});
}

std::string DuplicateId(std::string_view id, std::string_view element) {
  return Joined({"El id '", id, "' ya lo usa otro elemento '", element,
                 "': las búsquedas por id toman el primero."});
}

std::string MissingName(std::string_view element) {
  return Joined({"El elemento '", element, "' no tiene nombre: se escribe vacío."});
}

std::string Cut(std::string_view value, std::size_t length, std::string_view field,
                std::size_t width, std::string_view kept) {
  return Joined({"El valor '", value, "' tiene ", std::to_string(length), " caracteres y el campo ",
                 field, " admite ", std::to_string(width), ": se guarda '", kept, "'."});
}

std::string RenamedCode(std::string_view base, std::string_view code) {
  return Joined({"El código '", base, "' ya estaba en uso: se le da el código '", code, "'."});
}

std::string HoursNotANumber(std::string_view hours) {
  return Joined(
      {"Las horas '", hours, "' no son un número: en ASIGT se toma 1 hora para esta asignatura."});
}

std::string UnknownGroup(std::string_view group) {
  return Joined(
      {"El grupo '", group, "' no está en GRUPOST: sus asignaturas se escriben sin grupo."});
}

std::string UnknownSubject(std::string_view subject, std::string_view group) {
  return Joined({"La asignatura '", subject, "' del grupo '", group,
                 "' no está en ASIGNOMT: se escribe sin asignatura ni horas."});
}

std::string NoTeacher(std::string_view subject, std::string_view group) {
  return Joined({"La asignatura '", subject, "' del grupo '", group,
                 "' no tiene profesor: se escribe sin profesor."});
}

std::string UnknownTeacher(std::string_view teacher, std::string_view subject,
                           std::string_view group) {
  return Joined({"El profesor '", teacher, "' de la asignatura '", subject, "' del grupo '", group,
                 "' no está en PROFT: se escribe sin profesor."});
}

}  // namespace pontexa::to_horaplan::messages
