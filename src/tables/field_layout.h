#pragma once

#include <string>
#include <vector>

namespace pontexa::tables {

enum class FieldType { kText, kInteger, kFloat };

// One field of a table layout. `width` counts characters for text (1 to 60) and
// is unused for integer and float fields.
struct FieldLayout {
  std::string name;
  FieldType type = FieldType::kText;
  int width = 0;
};

using Layout = std::vector<FieldLayout>;

}  // namespace pontexa::tables
