#include "to_gedu/used_lists.h"

#include <string>
#include <vector>

#include "exchange/vocabulary.h"
#include "tables/catalogue.h"

namespace pontexa::to_gedu {

namespace vocabulary = exchange::vocabulary;
namespace field = tables::field;

namespace {

// One list element holding an element named `item` with the IDGEDU of every
// catalogue row whose ABREV is used in the SOLUC column `soluc_field`.
void WriteUsedList(exchange::SectionWriter& out, const char* list, const char* item,
                   TableColumns& catalogue, TableColumns& soluc, const char* soluc_field) {
  out.StartElement(list);
  const tables::TextColumn& codes = catalogue.Texts(field::kAbrev);
  for (std::size_t row = 0; row < codes.size(); ++row) {
    if (!soluc.Distinct(soluc_field).Contains(codes[row])) continue;
    out.StartElement(item);
    out.SetAttribute(vocabulary::kId, catalogue.Texts(field::kIdGedu)[row]);
    out.EndElement();
  }
  out.EndElement();
}

}  // namespace

void WriteUsedGroupList(exchange::SectionWriter& out, TableColumns& grupos, TableColumns& soluc) {
  WriteUsedList(out, vocabulary::kGroups, vocabulary::kGroup, grupos, soluc, field::kCodGrupo);
}

void WriteUsedMemberList(exchange::SectionWriter& out, TableColumns& profesor,
                         TableColumns& soluc) {
  WriteUsedList(out, vocabulary::kMembers, vocabulary::kMember, profesor, soluc, field::kProf);
}

void WriteActivityList(exchange::SectionWriter& out, TableColumns& nom_asg, TableColumns& soluc,
                       ActivityIndex& index) {
  out.StartElement(vocabulary::kActivities);
  const tables::TextColumn& codes = nom_asg.Texts(field::kCod);
  int n = 1;
  for (std::size_t row = 0; row < codes.size(); ++row) {
    if (!soluc.Distinct(field::kAsig).Contains(codes[row])) continue;
    out.StartElement(vocabulary::kActivityElement);
    const std::string activity_id = vocabulary::kActivityPrefix + std::to_string(n);
    out.SetAttribute(vocabulary::kId, activity_id);
    out.SetAttribute(vocabulary::kName, nom_asg.Texts(field::kNombre)[row]);
    const std::string& subject_id = nom_asg.Texts(field::kIdGedu)[row];
    out.SetAttribute(vocabulary::kSubject, subject_id);
    index.Add(activity_id, subject_id);
    out.EndElement();
    ++n;
  }
  out.EndElement();
}

}  // namespace pontexa::to_gedu
