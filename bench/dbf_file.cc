#include "dbf_file.h"

#include <strings.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace pontexa::bench {
namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr char kEndOfHeader = 0x0D;
constexpr char kEndOfFile = 0x1A;

void PutLittle(std::string& out, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetLittle(const std::string& in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

}  // namespace

DbfWriter::DbfWriter(std::vector<DbfField> fields, std::uint8_t language_driver)
    : fields_(std::move(fields)), language_driver_(language_driver) {
  for (const DbfField& field : fields_) {
    if (field.name.empty() || field.name.size() > 10 || field.width < 1 || field.width > 254) {
      throw std::invalid_argument("Campo dBase no válido: " + field.name);
    }
    record_size_ += field.width;
  }
}

void DbfWriter::AddRow(const std::vector<std::string>& values) {
  if (values.size() != fields_.size()) {
    throw std::invalid_argument("Número de valores distinto del de campos");
  }
  records_ += ' ';  // not deleted
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const DbfField& field = fields_[i];
    std::string_view value = values[i];
    if (value.size() > static_cast<std::size_t>(field.width)) value = value.substr(0, field.width);
    const std::size_t pad = field.width - value.size();
    if (field.type == 'N') records_.append(pad, ' ');
    records_ += value;
    if (field.type != 'N') records_.append(pad, ' ');
  }
  ++rows_;
}

std::string DbfWriter::Bytes() const {
  const std::size_t header_size = kHeaderSize + kDescriptorSize * fields_.size() + 1;
  std::string out(header_size, '\0');
  out[0] = 0x03;  // dBase III without memo
  out[1] = 124;   // last update 2024-01-01: a fixed date keeps the bytes reproducible
  out[2] = 1;
  out[3] = 1;
  PutLittle(out, 4, static_cast<std::uint32_t>(rows_), 4);
  PutLittle(out, 8, static_cast<std::uint32_t>(header_size), 2);
  PutLittle(out, 10, static_cast<std::uint32_t>(record_size_), 2);
  out[29] = static_cast<char>(language_driver_);
  std::size_t at = kHeaderSize;
  for (const DbfField& field : fields_) {
    out.replace(at, field.name.size(), field.name);
    out[at + 11] = field.type;
    out[at + 16] = static_cast<char>(field.width);
    out[at + 17] = static_cast<char>(field.decimals);
    at += kDescriptorSize;
  }
  out[at] = kEndOfHeader;
  out += records_;
  out += kEndOfFile;
  return out;
}

void DbfWriter::Save(const std::filesystem::path& path) const {
  const std::string bytes = Bytes();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("No se puede escribir " + path.string());
}

DbfTable DbfTable::Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("No se puede abrir " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw std::runtime_error("No se puede leer " + path.string());
  return FromBytes(std::move(bytes), path.string());
}

DbfTable DbfTable::FromBytes(std::string bytes, const std::string& name_for_errors) {
  DbfTable table;
  table.name_ = name_for_errors;
  const auto fail = [&](const char* why) {
    return std::runtime_error(name_for_errors + " no es una tabla dBase válida (" + why + ")");
  };
  if (bytes.size() < kHeaderSize + 1) throw fail("cabecera corta");
  const std::uint32_t row_count = GetLittle(bytes, 4, 4);
  const std::size_t header_size = GetLittle(bytes, 8, 2);
  const std::size_t record_size = GetLittle(bytes, 10, 2);
  table.language_driver_ = static_cast<std::uint8_t>(bytes[29]);
  if (header_size > bytes.size() || record_size < 1) throw fail("tamaños de cabecera");

  std::size_t at = kHeaderSize;
  int offset = 1;
  while (at < header_size && bytes[at] != kEndOfHeader) {
    if (at + kDescriptorSize > header_size) throw fail("descriptor de campo cortado");
    DbfField field;
    const std::size_t name_end = bytes.find('\0', at);
    field.name = bytes.substr(at, std::min<std::size_t>(name_end - at, 11));
    field.type = bytes[at + 11];
    field.width = static_cast<unsigned char>(bytes[at + 16]);
    field.decimals = static_cast<unsigned char>(bytes[at + 17]);
    table.fields_.push_back(field);
    table.offsets_.push_back(offset);
    offset += field.width;
    at += kDescriptorSize;
  }
  if (static_cast<std::size_t>(offset) > record_size) throw fail("campos más anchos que la fila");
  if (header_size + static_cast<std::size_t>(row_count) * record_size > bytes.size()) {
    throw fail("faltan filas");
  }
  for (std::uint32_t row = 0; row < row_count; ++row) {
    const std::size_t start = header_size + row * record_size;
    if (bytes[start] != '*') table.rows_.push_back(start);
  }
  table.bytes_ = std::move(bytes);
  return table;
}

std::vector<std::string> DbfTable::Column(std::string_view field) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name.size() != field.size() ||
        strncasecmp(fields_[i].name.c_str(), field.data(), field.size()) != 0) {
      continue;
    }
    std::vector<std::string> values;
    values.reserve(rows_.size());
    for (std::size_t start : rows_) {
      std::string_view value(bytes_.data() + start + offsets_[i], fields_[i].width);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\0')) {
        value.remove_suffix(1);
      }
      values.emplace_back(value);
    }
    return values;
  }
  throw std::runtime_error(name_ + " no tiene el campo " + std::string(field));
}

}  // namespace pontexa::bench
