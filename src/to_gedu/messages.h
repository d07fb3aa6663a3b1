#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Every text the Horaplan-to-GEDU conversion shows the user, in one place: the
// findings of the timetable check in the run report. The parts come in as they
// are to be shown (UTF-8); each function adds the quotes.
namespace pontexa::to_gedu::messages {

// What a catalogue's code names, as CodeNotInCatalogue says it.
inline constexpr char kTheSubject[] = "la asignatura";
inline constexpr char kTheGroup[] = "el grupo";
inline constexpr char kTheTeacher[] = "el profesor";
inline constexpr char kTheRoom[] = "el aula";

// The finding's id of a SOLUC row: "fila 7".
std::string Row(std::string_view number);
// The finding's id of a slot: "día 1, intervalo i2".
std::string Slot(std::string_view day, std::string_view interval);

std::string SkippedLesson(std::string_view row_number, std::string_view subject,
                          std::string_view group, std::string_view teacher);
std::string TeacherInTwoRooms(std::string_view teacher, std::string_view first_room,
                              std::string_view second_room, std::string_view day,
                              std::string_view interval);
std::string RoomWithTwoTeachers(std::string_view room, std::string_view first_teacher,
                                std::string_view second_teacher, std::string_view day,
                                std::string_view interval);
// `what` is one of kTheSubject...; `table` the catalogue.
std::string CodeNotInCatalogue(std::string_view code, std::string_view what, std::size_t lessons,
                               std::string_view table);
std::string SlotNotInWeek(std::size_t lessons);

}  // namespace pontexa::to_gedu::messages
