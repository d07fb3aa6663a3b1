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
void WriteUsedList(exchange::Document& document, exchange::Element time_table, const char* list,
                   const char* item, TableColumns& catalogue, TableColumns& soluc,
                   const char* soluc_field) {
  exchange::Element list_element = time_table.AppendChild(document.CreateElement(list));
  const std::vector<std::string>& codes = catalogue.Texts(field::kAbrev);
  for (std::size_t row = 0; row < codes.size(); ++row) {
    if (!soluc.FirstRow(soluc_field, codes[row])) continue;
    exchange::Element element = document.CreateElement(item);
    element.SetAttribute(vocabulary::kId, catalogue.Texts(field::kIdGedu)[row]);
    list_element.AppendChild(element);
  }
}

}  // namespace

void WriteUsedGroupList(exchange::Document& document, exchange::Element time_table,
                        TableColumns& grupos, TableColumns& soluc) {
  WriteUsedList(document, time_table, vocabulary::kGroups, vocabulary::kGroup, grupos, soluc,
                field::kCodGrupo);
}

void WriteUsedMemberList(exchange::Document& document, exchange::Element time_table,
                         TableColumns& profesor, TableColumns& soluc) {
  WriteUsedList(document, time_table, vocabulary::kMembers, vocabulary::kMember, profesor, soluc,
                field::kProf);
}

void WriteActivityList(exchange::Document& document, exchange::Element time_table,
                       TableColumns& nom_asg, TableColumns& soluc, ActivityIndex& index) {
  exchange::Element activities =
      time_table.AppendChild(document.CreateElement(vocabulary::kActivities));
  const std::vector<std::string>& codes = nom_asg.Texts(field::kCod);
  int n = 1;
  for (std::size_t row = 0; row < codes.size(); ++row) {
    if (!soluc.FirstRow(field::kAsig, codes[row])) continue;
    exchange::Element activity = document.CreateElement(vocabulary::kActivityElement);
    const std::string activity_id = vocabulary::kActivityPrefix + std::to_string(n);
    activity.SetAttribute(vocabulary::kId, activity_id);
    activity.SetAttribute(vocabulary::kName, nom_asg.Texts(field::kNombre)[row]);
    const std::string& subject_id = nom_asg.Texts(field::kIdGedu)[row];
    activity.SetAttribute(vocabulary::kSubject, subject_id);
    index.Add(activity_id, subject_id);
    activities.AppendChild(activity);
    ++n;
  }
}

}  // namespace pontexa::to_gedu
