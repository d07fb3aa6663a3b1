#include "to_gedu/messages.h"

#include "platform/findings.h"

namespace pontexa::to_gedu::messages {

std::string Row(std::string_view number) { return Joined({"fila ", number}); }

std::string Slot(std::string_view day, std::string_view interval) {
  return Joined({"día ", day, ", intervalo ", interval});
}

std::string SkippedLesson(std::string_view row_number, std::string_view subject,
                          std::string_view group, std::string_view teacher) {
  return Joined({"La clase de la fila ", row_number, " de SOLUC (asignatura '", subject,
                 "', grupo '", group, "', profesor '", teacher,
                 "') no tiene día (DIA 0): no se escribe en GEDU."});
}

std::string TeacherInTwoRooms(std::string_view teacher, std::string_view first_room,
                              std::string_view second_room, std::string_view day,
                              std::string_view interval) {
  return Joined({"El profesor '", teacher, "' está a la vez en las aulas '", first_room, "' y '",
                 second_room, "' el día ", day, ", intervalo ", interval, "."});
}

std::string RoomWithTwoTeachers(std::string_view room, std::string_view first_teacher,
                                std::string_view second_teacher, std::string_view day,
                                std::string_view interval) {
  return Joined({"El aula '", room, "' tiene a la vez a los profesores '", first_teacher, "' y '",
                 second_teacher, "' el día ", day, ", intervalo ", interval, "."});
}

std::string CodeNotInCatalogue(std::string_view code, std::string_view what, std::size_t lessons,
                               std::string_view table) {
  return Joined({"El código '", code, "' de ", what, " (", std::to_string(lessons),
                 lessons == 1 ? " clase" : " clases", ") no está en ", table,
                 ": se escribe el código como identificador."});
}

std::string SlotNotInWeek(std::size_t lessons) {
  return Joined({std::to_string(lessons), lessons == 1 ? " clase cae" : " clases caen",
                 " en un día e intervalo que DIASHORAST no tiene: GEDU no los conoce."});
}

}  // namespace pontexa::to_gedu::messages
