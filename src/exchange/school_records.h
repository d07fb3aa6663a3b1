#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cannot_load.h"

namespace pontexa::exchange {

// What the six table builds read from the exchange file, and nothing more,
// gathered in one pass over the file. Every value is UTF-8 as the file holds
// it (entities and character references read as their text), with every code
// point U+0000 to U+0020 cut from both ends; a value the element lacks is "".
//
// The catalogues are the elements at /document/subjects/subject,
// /document/teachers/teacher, /document/locations/location and
// /document/groups/group, in document order, whatever the order and number of
// their sections. Names match exactly and without a prefix; elements that an
// entity reference brings in are not part of the file's structure and are not
// read.

// A text of the file, kept in SchoolRecords::text; read it with
// SchoolRecords::View. Texts are kept together so that a large school's many
// short values cost a few bytes each, not a string each.
struct TextRef {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

// A subject: its id, name and hours attributes. Its hours are read only when
// it carries more than two attributes (counted as written, without those the
// DTD adds).
struct SubjectRecord {
  TextRef id;
  TextRef name;
  TextRef hours;
  bool reads_hours = false;
};

// A teacher or a location: its id attribute, and as its name the text of its
// first child node of any kind (text, element, CDATA section, comment,
// processing instruction, entity reference), text made only of white space
// before it passed over. An element's text is all text and CDATA below it,
// where text made only of white space between its elements counts for nothing.
struct NamedRecord {
  TextRef id;
  TextRef name;
};

// One assigned subject of a group (at assigned-subjects/assigned-subject), by
// index into SchoolRecords::ids: its id, and the id of the last of its
// assigned teachers (at assigned-teachers/assigned-teacher), which decides.
struct AssignedSubject {
  std::uint32_t subject = 0;
  std::uint32_t last_teacher = 0;
  std::uint32_t teacher_count = 0;  // 0: no teacher, and last_teacher means nothing
};

// A group: its id and name attributes, and its assigned subjects, which are
// SchoolRecords::assignments from `first_assignment` on.
struct GroupRecord {
  TextRef id;
  TextRef name;
  std::size_t first_assignment = 0;
  std::size_t assignment_count = 0;
};

struct SchoolRecords {
  std::vector<SubjectRecord> subjects;
  std::vector<NamedRecord> teachers;
  std::vector<NamedRecord> locations;
  std::vector<GroupRecord> groups;
  std::vector<AssignedSubject> assignments;
  // Each id the assignments name, once, so that a large school's many
  // assignments hold numbers and not texts.
  std::vector<TextRef> ids;
  // Every text the records refer to, one after another.
  std::string text;

  std::string_view View(TextRef ref) const {
    return std::string_view(text).substr(ref.offset, ref.length);
  }
};

// Reads the exchange file at `path` in one streaming pass, the file never held
// whole. A missing, unreadable or ill-formed file raises CannotLoad, which
// says why (for a file that is not XML, with the parser's line and column). No
// external entity or DTD is loaded and the network is never used; a file whose
// entity references stand for far more text than the file holds is refused
// (see xml_parse.h).
SchoolRecords ReadSchoolRecords(const std::string& path);

}  // namespace pontexa::exchange
