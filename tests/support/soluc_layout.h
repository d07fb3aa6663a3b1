#pragma once

#include "tables/catalogue.h"
#include "tables/field_layout.h"

namespace pontexa::testing {

// SOLUC as Horaplan writes it: DIA, HORA and SESIONES as numbers and the codes
// as text. Some tests store DIA as text instead (`dia_width` then counts).
inline tables::Layout SolucLayout(tables::FieldType dia_type = tables::FieldType::kFloat,
                                  int dia_width = 4) {
  namespace field = tables::field;
  using tables::FieldType;
  return {{field::kDia, dia_type, dia_width},       {field::kHora, FieldType::kFloat, 0},
          {field::kSesiones, FieldType::kFloat, 0}, {field::kAsig, FieldType::kText, 4},
          {field::kCodGrupo, FieldType::kText, 4},  {field::kProf, FieldType::kText, 4},
          {field::kAula, FieldType::kText, 4}};
}

}  // namespace pontexa::testing
