#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pontexa::bench {

// A synthetic secondary school of scale k: k times 300 subjects, 120 teachers,
// 40 rooms and 60 groups, each group with about 30 assigned subjects taught by
// one or two teachers. Texts are UTF-8, as they go into the exchange file.
// The same k and seed give the same school on every platform.

struct Subject {
  std::string id;
  std::string name;
  std::string hours;  // as written in the exchange file; "" when the element has no hours
  int department = 0;
};

struct Teacher {
  std::string id;
  std::string name;
  int department = 0;
};

struct Room {
  std::string id;
  std::string name;
};

// Indices into School::subjects and School::teachers.
struct Assignment {
  int subject = 0;
  std::vector<int> teachers;
};

struct Group {
  std::string id;
  std::string name;   // "1 ESO A", "2 BACH C", "4 ESO DIVER A"...
  int home_room = 0;  // index into School::rooms
  int copy = 0;       // which of the k copies the group belongs to
  std::vector<Assignment> assignments;
};

struct School {
  int k = 0;
  std::uint64_t seed = 0;
  std::vector<Subject> subjects;
  std::vector<Teacher> teachers;
  std::vector<Room> rooms;
  std::vector<Group> groups;
};

// Per copy of the school.
inline constexpr int kSubjectsPerCopy = 300;
inline constexpr int kTeachersPerCopy = 120;
inline constexpr int kRoomsPerCopy = 40;
inline constexpr int kGroupsPerCopy = 60;

// k from 1 up; every entity of every copy, in the order of the exchange file.
School MakeSchool(int k, std::uint64_t seed);

// The weekly lessons of an assignment as Horaplan places them: its subject's
// hours rounded up, 4 when the subject has none (the conversion's default).
int LessonsPerWeek(const Subject& subject);

}  // namespace pontexa::bench
