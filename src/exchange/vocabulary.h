#pragma once

// The element and attribute names of the exchange file. Names are matched
// exactly, letter case included.

namespace pontexa::exchange::vocabulary {

// Read side: the root, the catalogue sections and their elements, and the
// lists below each group.
inline constexpr char kDocument[] = "document";
inline constexpr char kSubjects[] = "subjects";
inline constexpr char kSubjectElement[] = "subject";
inline constexpr char kTeachers[] = "teachers";
inline constexpr char kTeacher[] = "teacher";
inline constexpr char kAssignedSubjects[] = "assigned-subjects";
inline constexpr char kAssignedSubject[] = "assigned-subject";
inline constexpr char kAssignedTeachers[] = "assigned-teachers";
inline constexpr char kAssignedTeacher[] = "assigned-teacher";

// Attributes.
inline constexpr char kId[] = "id";
inline constexpr char kName[] = "name";
inline constexpr char kHours[] = "hours";
inline constexpr char kBegin[] = "begin";
inline constexpr char kEnd[] = "end";
inline constexpr char kSubject[] = "subject";
inline constexpr char kDay[] = "day";
inline constexpr char kInterval[] = "interval";
inline constexpr char kActivity[] = "activity";

// Write side: the time-tables section (groups, group, locations and location
// name the catalogues on the read side too).
inline constexpr char kTimeTables[] = "time-tables";
inline constexpr char kTimeTable[] = "time-table";
inline constexpr char kDays[] = "days";
inline constexpr char kDayElement[] = "day";
inline constexpr char kIntervalElement[] = "interval";
inline constexpr char kGroups[] = "groups";
inline constexpr char kGroup[] = "group";
inline constexpr char kMembers[] = "members";
inline constexpr char kMember[] = "member";
inline constexpr char kActivities[] = "activities";
inline constexpr char kActivityElement[] = "activity";
inline constexpr char kInputs[] = "inputs";
inline constexpr char kInput[] = "input";
inline constexpr char kLocations[] = "locations";
inline constexpr char kLocation[] = "location";

// Fixed values of the section.
inline constexpr char kTimeTableIdFormat[] = "tt%d";
inline constexpr char kTimeTableName[] = "Horaplan";
inline constexpr char kIntervalPrefix[] = "i";
inline constexpr char kActivityPrefix[] = "a";
inline constexpr char kInputPrefix[] = "input";

}  // namespace pontexa::exchange::vocabulary
