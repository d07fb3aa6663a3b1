#include "exchange/school_records.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "exchange/messages.h"
#include "exchange/vocabulary.h"
#include "exchange/xml_parse.h"

namespace pontexa::exchange {
namespace {

namespace vocab = vocabulary;

// Entities nested deeper than this are not followed when reading text. The
// parser has already refused files whose entities loop or grow out of
// measure; this only bounds the walk.
constexpr int kMaxEntityDepth = 40;

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view()
                         : std::string_view(reinterpret_cast<const char*>(text));
}

bool Is(const xmlChar* name, std::string_view expected) { return View(name) == expected; }

bool IsXmlBlank(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

// Cuts every code point U+0000 to U+0020 from both ends: in UTF-8 they are
// single bytes, and no other character's bytes fall in that range.
std::string_view Trimmed(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  std::size_t begin = 0;
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  return text.substr(begin, end - begin);
}

// Keeps a text with the records' others; raises CannotLoad when they would
// outgrow what a TextRef can reach.
TextRef Keep(std::string& store, std::string_view text) {
  if (store.size() + text.size() > UINT32_MAX) throw CannotLoad(messages::FileTooLarge());
  const TextRef ref{static_cast<std::uint32_t>(store.size()),
                    static_cast<std::uint32_t>(text.size())};
  store.append(text);
  return ref;
}

// ---- The text of an entity ----
//
// An internal entity's text is read from what the parser made of it: the
// nodes of its replacement text, parsed at its first reference in content,
// or, for an entity used only inside attribute values, its replacement text
// made into text and references. Text made only of white space between its
// elements counts for nothing, as in an element.

void AppendNodeText(const xmlNode* node, std::string& out, int depth);

void AppendEntityText(const xmlEntity* entity, xmlDoc* doc, std::string& out, int depth) {
  if (depth >= kMaxEntityDepth) return;
  if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY) return;
  if (entity->children != nullptr) {
    for (const xmlNode* child = entity->children; child != nullptr; child = child->next) {
      AppendNodeText(child, out, depth + 1);
    }
    return;
  }
  if (entity->content == nullptr) return;
  xmlNode* list = xmlStringGetNodeList(doc, entity->content);
  for (const xmlNode* child = list; child != nullptr; child = child->next) {
    AppendNodeText(child, out, depth + 1);
  }
  xmlFreeNodeList(list);
}

void AppendReferenceText(const xmlNode* reference, std::string& out, int depth) {
  const xmlEntity* entity = reinterpret_cast<const xmlEntity*>(reference->children);
  if (entity == nullptr || entity->type != XML_ENTITY_DECL) {
    entity = xmlGetDocEntity(reference->doc, reference->name);
  }
  AppendEntityText(entity, reference->doc, out, depth);
}

void AppendNodeText(const xmlNode* node, std::string& out, int depth) {
  switch (node->type) {
    case XML_TEXT_NODE:
      if (!IsXmlBlank(View(node->content))) out.append(View(node->content));
      break;
    case XML_CDATA_SECTION_NODE:
      out.append(View(node->content));
      break;
    case XML_ELEMENT_NODE:
      for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        AppendNodeText(child, out, depth);
      }
      break;
    case XML_ENTITY_REF_NODE:
      AppendReferenceText(node, out, depth);
      break;
    default:
      break;
  }
}

// An attribute value as the parser hands it over, in UTF-8. Character
// references and the predefined entities are already replaced, except that
// a value holding a reference comes with every "&" written as a reference
// ("&#38;") and the other entity references left as written.
// The value, in `buffer` when it needs building.
std::string_view AttributeText(xmlDoc* doc, const xmlChar* begin, const xmlChar* end,
                               std::string& buffer) {
  const std::string_view raw(reinterpret_cast<const char*>(begin),
                             static_cast<std::size_t>(end - begin));
  if (raw.find('&') == std::string_view::npos) return raw;
  xmlNode* list = xmlStringLenGetNodeList(doc, begin, static_cast<int>(end - begin));
  std::string& text = buffer;
  text.clear();
  for (const xmlNode* child = list; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE) {
      text.append(View(child->content));
    } else {
      AppendNodeText(child, text, 0);
    }
  }
  xmlFreeNodeList(list);
  return text;
}

// The ids of the assignments, each kept once. An open-addressing table of
// indices into SchoolRecords::ids: a large school looks an id up at every
// assignment, and a table of nodes would cost a cache miss or two each time.
class IdTable {
 public:
  explicit IdTable(SchoolRecords& records) : records_(records), slots_(1024) {}

  std::uint32_t Intern(std::string_view id) {
    const std::uint64_t hash = std::hash<std::string_view>()(id);
    std::size_t at = static_cast<std::size_t>(hash) & (slots_.size() - 1);
    for (;; at = (at + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[at];
      if (slot.index_plus_one == 0) break;
      if (slot.hash == hash && records_.View(records_.ids[slot.index_plus_one - 1]) == id) {
        return slot.index_plus_one - 1;
      }
    }
    const auto index = static_cast<std::uint32_t>(records_.ids.size());
    records_.ids.push_back(Keep(records_.text, id));
    slots_[at] = Slot{hash, index + 1};
    // At most half full, so that a search stops soon.
    if (2 * records_.ids.size() > slots_.size()) Grow();
    return index;
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t index_plus_one = 0;  // 0: empty
  };

  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.index_plus_one == 0) continue;
      std::size_t at = static_cast<std::size_t>(slot.hash) & (slots_.size() - 1);
      while (slots_[at].index_plus_one != 0) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
  }

  SchoolRecords& records_;
  std::vector<Slot> slots_;
};

// What an open element of the file is to the builds.
enum class Role : std::uint8_t {
  kOther,
  kDocument,
  kSubjects,
  kTeachers,
  kLocations,
  kGroups,
  kSubject,
  kTeacher,
  kLocation,
  kGroup,
  kAssignedSubjects,
  kAssignedSubject,
  kAssignedTeachers,
  kAssignedTeacher,
};

// The role of an element written without a prefix, by its name and its
// parent's role.
Role ChildRole(Role parent, const xmlChar* name) {
  switch (parent) {
    case Role::kDocument:
      if (Is(name, vocab::kSubjects)) return Role::kSubjects;
      if (Is(name, vocab::kTeachers)) return Role::kTeachers;
      if (Is(name, vocab::kLocations)) return Role::kLocations;
      if (Is(name, vocab::kGroups)) return Role::kGroups;
      return Role::kOther;
    case Role::kSubjects:
      return Is(name, vocab::kSubjectElement) ? Role::kSubject : Role::kOther;
    case Role::kTeachers:
      return Is(name, vocab::kTeacher) ? Role::kTeacher : Role::kOther;
    case Role::kLocations:
      return Is(name, vocab::kLocation) ? Role::kLocation : Role::kOther;
    case Role::kGroups:
      return Is(name, vocab::kGroup) ? Role::kGroup : Role::kOther;
    case Role::kGroup:
      return Is(name, vocab::kAssignedSubjects) ? Role::kAssignedSubjects : Role::kOther;
    case Role::kAssignedSubjects:
      return Is(name, vocab::kAssignedSubject) ? Role::kAssignedSubject : Role::kOther;
    case Role::kAssignedSubject:
      return Is(name, vocab::kAssignedTeachers) ? Role::kAssignedTeachers : Role::kOther;
    case Role::kAssignedTeachers:
      return Is(name, vocab::kAssignedTeacher) ? Role::kAssignedTeacher : Role::kOther;
    default:
      return Role::kOther;
  }
}

// The attributes of one start tag as the parser hands them over: five
// pointers each (name, prefix, namespace, value start, value end), those the
// DTD adds at the end.
class Attributes {
 public:
  Attributes(xmlDoc* doc, const xmlChar** list, int count, int defaulted)
      : doc_(doc), list_(list), written_(count - defaulted) {}

  // Those written in the file.
  int Count() const { return written_; }

  // The value of the attribute written with exactly this name and no prefix,
  // trimmed; "" when there is none. It may live in `buffer`.
  std::string_view Value(std::string_view name, std::string& buffer) const {
    for (int i = 0; i < written_; ++i) {
      const xmlChar** attribute = list_ + 5 * i;
      if (attribute[1] == nullptr && Is(attribute[0], name)) {
        return Trimmed(AttributeText(doc_, attribute[3], attribute[4], buffer));
      }
    }
    return "";
  }

 private:
  xmlDoc* doc_;
  const xmlChar** list_;
  int written_;
};

// Gathers the records from the parser's callbacks. Callbacks for the file
// itself come with the parser's own context; those for an entity's
// replacement text, which the parser reads at the entity's first reference,
// come with a context of their own and go to libxml2's handlers, which make
// the entity's nodes, so that the entity's text reads as it would in a tree.
class RecordReader {
 public:
  RecordReader(xmlParserCtxt* context, SchoolRecords& records)
      : context_(context), records_(records), ids_(records) {
    xmlSAXHandler* sax = context->sax;
    sax->startElementNs = &RecordReader::StartElement;
    sax->endElementNs = &RecordReader::EndElement;
    sax->characters = &RecordReader::Characters;
    sax->ignorableWhitespace = &RecordReader::Characters;
    sax->cdataBlock = &RecordReader::CData;
    sax->comment = &RecordReader::Comment;
    sax->processingInstruction = &RecordReader::Instruction;
    sax->reference = &RecordReader::Reference;
    SetStreamOwner(context, this);
  }
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // What stopped the parse from within, if anything did.
  const std::exception_ptr& failure() const { return failure_; }

 private:
  // Where the name of a teacher or location stands.
  enum class Name : std::uint8_t { kNone, kAwaiting, kInElement, kDone };
  // A run of text or CDATA callbacks, which is one node of the tree.
  enum class Run : std::uint8_t { kNone, kText, kCData };

  // The reader for the file's own callbacks; nullptr for an entity's.
  static RecordReader* Own(void* user) { return static_cast<RecordReader*>(StreamOwner(user)); }

  static void StartElement(void* user, const xmlChar* local, const xmlChar* prefix,
                           const xmlChar* uri, int namespaces, const xmlChar** namespace_list,
                           int attributes, int defaulted, const xmlChar** attribute_list) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2StartElementNs(user, local, prefix, uri, namespaces, namespace_list, attributes,
                            defaulted, attribute_list);
      return;
    }
    self->Guard([&] {
      self->Start(local, prefix,
                  Attributes(self->context_->myDoc, attribute_list, attributes, defaulted));
    });
  }

  static void EndElement(void* user, const xmlChar* local, const xmlChar* prefix,
                         const xmlChar* uri) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2EndElementNs(user, local, prefix, uri);
      return;
    }
    self->Guard([&] { self->End(); });
  }

  static void Characters(void* user, const xmlChar* text, int length) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2Characters(user, text, length);
      return;
    }
    self->Guard([&] { self->Append(Run::kText, text, length); });
  }

  static void CData(void* user, const xmlChar* text, int length) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2CDataBlock(user, text, length);
      return;
    }
    self->Guard([&] { self->Append(Run::kCData, text, length); });
  }

  static void Comment(void* user, const xmlChar* text) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2Comment(user, text);
      return;
    }
    self->Guard([&] { self->OtherNode(View(text)); });
  }

  static void Instruction(void* user, const xmlChar* target, const xmlChar* data) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2ProcessingInstruction(user, target, data);
      return;
    }
    self->Guard([&] { self->OtherNode(View(data)); });
  }

  static void Reference(void* user, const xmlChar* name) {
    RecordReader* self = Own(user);
    if (self == nullptr) {
      xmlSAX2Reference(user, name);
      return;
    }
    self->Guard([&] { self->ReferenceTo(name); });
  }

  // An entity reference: its text, when it comes in a name.
  void ReferenceTo(const xmlChar* name) {
    if (name_ != Name::kAwaiting && name_ != Name::kInElement) return;
    EndRun();
    if (name_ == Name::kDone) return;  // the text before it was the name
    std::string text;
    AppendEntityText(xmlGetDocEntity(context_->myDoc, name), context_->myDoc, text, 0);
    if (name_ == Name::kAwaiting) {
      name_text_ = std::move(text);
      name_ = Name::kDone;
    } else {
      name_text_ += text;
    }
  }

  // Runs `act` for one of the file's own callbacks. Nothing may be thrown
  // through libxml2: a failure (no memory, more text than the records can
  // reach) is kept and the parse stopped; ReadSchoolRecords raises it.
  template <typename Act>
  void Guard(Act act) {
    if (failure_) return;
    try {
      act();
    } catch (...) {
      failure_ = std::current_exception();
      xmlStopParser(context_);
    }
  }

  void Start(const xmlChar* local, const xmlChar* prefix, const Attributes& attributes) {
    if (name_ != Name::kNone) NameElementStarts();
    const Role parent = open_.empty() ? Role::kOther : open_.back();
    Role role = Role::kOther;
    if (prefix == nullptr) {
      if (open_.empty()) {
        role = Is(local, vocab::kDocument) ? Role::kDocument : Role::kOther;
      } else {
        role = ChildRole(parent, local);
      }
    }
    open_.push_back(role);
    const auto keep = [&](std::string_view name) {
      return Keep(records_.text, attributes.Value(name, buffer_));
    };
    switch (role) {
      case Role::kSubject: {
        SubjectRecord& subject = records_.subjects.emplace_back();
        subject.id = keep(vocab::kId);
        subject.name = keep(vocab::kName);
        subject.reads_hours = attributes.Count() > 2;
        if (subject.reads_hours) subject.hours = keep(vocab::kHours);
        break;
      }
      case Role::kTeacher:
      case Role::kLocation:
        StartName(role == Role::kTeacher ? records_.teachers : records_.locations,
                  keep(vocab::kId));
        break;
      case Role::kGroup: {
        GroupRecord& group = records_.groups.emplace_back();
        group.id = keep(vocab::kId);
        group.name = keep(vocab::kName);
        group.first_assignment = records_.assignments.size();
        break;
      }
      case Role::kAssignedSubject: {
        AssignedSubject& assigned = records_.assignments.emplace_back();
        assigned.subject = ids_.Intern(attributes.Value(vocab::kId, buffer_));
        ++records_.groups.back().assignment_count;
        break;
      }
      case Role::kAssignedTeacher: {
        AssignedSubject& assigned = records_.assignments.back();
        assigned.last_teacher = ids_.Intern(attributes.Value(vocab::kId, buffer_));
        ++assigned.teacher_count;
        break;
      }
      default:
        break;
    }
  }

  void End() {
    if (name_ != Name::kNone) NameElementEnds();
    open_.pop_back();
  }

  void Append(Run kind, const xmlChar* text, int length) {
    if (name_ != Name::kAwaiting && name_ != Name::kInElement) return;
    if (run_ != kind) {
      EndRun();
      if (name_ != Name::kAwaiting && name_ != Name::kInElement) return;
      run_ = kind;
    }
    run_text_.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
  }

  // A comment or processing instruction: a node of its own, whose text is
  // `text` when it comes first, and which adds nothing to an element's text.
  void OtherNode(std::string_view text) {
    if (name_ != Name::kAwaiting && name_ != Name::kInElement) return;
    EndRun();
    if (name_ == Name::kAwaiting) {
      name_text_ = text;
      name_ = Name::kDone;
    }
  }

  // ---- The name of a teacher or location ----

  void StartName(std::vector<NamedRecord>& list, TextRef id) {
    NamedRecord& record = list.emplace_back();
    record.id = id;
    named_ = &list;
    name_ = Name::kAwaiting;
    name_depth_ = open_.size();
    name_text_.clear();
  }

  void NameElementStarts() {
    if (name_ == Name::kDone) return;
    EndRun();
    if (name_ == Name::kAwaiting) {
      name_ = Name::kInElement;
      element_depth_ = open_.size() + 1;
      name_text_.clear();
    }
  }

  void NameElementEnds() {
    if (name_ == Name::kAwaiting || name_ == Name::kInElement) EndRun();
    if (name_ == Name::kInElement && open_.size() == element_depth_) name_ = Name::kDone;
    if (open_.size() == name_depth_) {
      if (name_ == Name::kAwaiting) name_text_.clear();
      named_->back().name = Keep(records_.text, Trimmed(name_text_));
      name_ = Name::kNone;
      named_ = nullptr;
    }
  }

  // The run of text or CDATA gathered so far is one node: white space alone
  // is passed over; otherwise it is the name, or part of the element's text.
  void EndRun() {
    if (run_ == Run::kNone) return;
    const bool hidden = run_ == Run::kText && IsXmlBlank(run_text_);
    if (!hidden && name_ == Name::kAwaiting) {
      name_text_ = run_text_;
      name_ = Name::kDone;
    } else if (!hidden && name_ == Name::kInElement) {
      name_text_ += run_text_;
    }
    run_ = Run::kNone;
    run_text_.clear();
  }

  xmlParserCtxt* context_;
  SchoolRecords& records_;
  IdTable ids_;
  std::vector<Role> open_;
  std::vector<NamedRecord>* named_ = nullptr;
  Name name_ = Name::kNone;
  std::size_t name_depth_ = 0;
  std::size_t element_depth_ = 0;
  std::string name_text_;
  std::string buffer_;  // an attribute value that needs building
  std::exception_ptr failure_;
  Run run_ = Run::kNone;
  std::string run_text_;
};

}  // namespace

SchoolRecords ReadSchoolRecords(const std::string& path) {
  SchoolRecords records;
  std::unique_ptr<RecordReader> reader;
  try {
    StreamXmlFile(path, path, [&](xmlParserCtxt* context) {
      reader = std::make_unique<RecordReader>(context, records);
    });
  } catch (const CannotLoad&) {
    // A failure within a callback stopped the parse, which may then report it
    // as its own error: the failure is what happened.
    if (reader && reader->failure()) std::rethrow_exception(reader->failure());
    throw;
  }
  if (reader && reader->failure()) std::rethrow_exception(reader->failure());
  reader.reset();
  // The lists grew by doubling; the builds that follow need only what they hold.
  records.subjects.shrink_to_fit();
  records.teachers.shrink_to_fit();
  records.locations.shrink_to_fit();
  records.groups.shrink_to_fit();
  records.assignments.shrink_to_fit();
  records.ids.shrink_to_fit();
  records.text.shrink_to_fit();
  return records;
}

}  // namespace pontexa::exchange
