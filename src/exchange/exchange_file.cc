#include "exchange/exchange_file.h"

#include <libxml/entities.h>
#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <utility>

#include "exchange/messages.h"
#include "exchange/vocabulary.h"
#include "platform/checksum.h"
#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/messages.h"
#include "platform/sha256.h"

namespace pontexa::exchange {
namespace {

// Entities nested deeper than this are left as they are.
constexpr int kMaxEntityDepth = 40;

bool IsSection(const TopItem& item) {
  return item.kind == TopItem::Kind::kElement && item.name == vocabulary::kTimeTables;
}

}  // namespace

void ExchangeFile::Load(const std::string& path) {
  loaded_ = false;
  dtd_.reset();
  layout_ = RootLayout();
  bytes_.clear();
  bytes_.shrink_to_fit();
  std::string bytes;
  if (Status status = ReadWholeFile(path, &bytes); !status) throw CannotLoad(status.text());
  RootChildCount count;
  dtd_ = CheckWellFormed(bytes, path, vocabulary::kTimeTables, count);
  const xmlDoc* doc = dtd_.get();
  const std::string declared =
      doc->encoding != nullptr ? reinterpret_cast<const char*>(doc->encoding) : "";
  encoding_ = DetectFileEncoding(bytes, declared);
  // In an encoding that keeps a shift state, the section's bytes would change
  // how the file's own bytes after it read: refused before anything is written.
  if (IsStatefulEncoding(encoding_)) throw Error(messages::StatefulEncoding(path, encoding_.name));
  layout_ = ScanRootLayout(bytes, encoding_);
  // The scan and the parser must agree on what stands under the root, or the
  // section could be put in the wrong place: the file is then not written.
  RootChildCount scanned;
  for (const TopItem& item : layout_.items) {
    if (item.kind != TopItem::Kind::kElement) continue;
    ++scanned.elements;
    if (IsSection(item)) ++scanned.named;
  }
  const bool root_found = layout_.root_name.end > layout_.root_name.begin &&
                          layout_.root_end >= layout_.root_name.end &&
                          layout_.after_root > layout_.root_end &&
                          layout_.after_root <= bytes.size();
  if (!root_found || scanned.elements != count.elements || scanned.named != count.named) {
    throw CannotLoad(messages::NoEndOfRootElement());
  }
  bytes_ = std::move(bytes);
  loaded_ = true;
}

// The text of an internal entity with every `time-tables` element at its top
// taken out, and the references at its top to entities that hold one replaced
// the same way. False when nothing in it changes.
bool ExchangeFile::EntityWithoutSections(const std::string& name, int depth,
                                         std::string& text) const {
  if (depth >= kMaxEntityDepth) return false;
  const xmlEntity* entity =
      xmlGetDocEntity(dtd_.get(), reinterpret_cast<const xmlChar*>(name.c_str()));
  if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY ||
      entity->content == nullptr) {
    return false;
  }
  const std::string_view content(reinterpret_cast<const char*>(entity->content),
                                 static_cast<std::size_t>(entity->length));
  bool changed = false;
  std::size_t at = 0;
  text.clear();
  for (const TopItem& item : ScanContentTop(content)) {
    std::string nested;
    if (IsSection(item)) {
      text.append(content.substr(at, item.bytes.begin - at));
    } else if (item.kind == TopItem::Kind::kReference &&
               EntityWithoutSections(item.name, depth + 1, nested)) {
      text.append(content.substr(at, item.bytes.begin - at));
      text += nested;
    } else {
      continue;
    }
    at = item.bytes.end;
    changed = true;
  }
  text.append(content.substr(at));
  return changed;
}

std::vector<ExchangeFile::Edit> ExchangeFile::EarlierSections() const {
  std::vector<Edit> edits;
  for (const TopItem& item : layout_.items) {
    if (IsSection(item)) {
      edits.push_back({item.bytes, ""});
    } else if (std::string text; item.kind == TopItem::Kind::kReference &&
                                 EntityWithoutSections(item.name, 0, text)) {
      edits.push_back({item.bytes, std::move(text)});
    }
  }
  return edits;
}

FileDigest ExchangeFile::SaveWithSection(const std::string& path,
                                   const std::function<void(SectionWriter&)>& write_section) const {
  if (!loaded_) throw Error(messages::NoRootToWriteInto());
  const std::vector<Edit> edits = EarlierSections();
  const std::string_view bytes(bytes_);
  std::size_t size = 0;
  std::uint64_t checksum = 0;
  FileDigest saved;
  WriteFileAtomically(
      path,
      [&](File* file) -> Status {
        BlockWriter out(file);
        TextEncoder text(encoding_, out);
        Status unconverted;
        auto flush = [&] {
          Status why = text.Flush();
          if (unconverted.ok()) unconverted = why;
        };
        std::size_t at = 0;
        for (const Edit& edit : edits) {
          out.Append(bytes.substr(at, edit.bytes.begin - at));
          if (!edit.utf8.empty()) {
            text.Write(edit.utf8);
            flush();
          }
          at = edit.bytes.end;
        }
        out.Append(bytes.substr(at, layout_.root_end - at));
        if (layout_.root_empty) text.Write(">");
        SectionWriter section([&text](std::string_view utf8) { text.Write(utf8); });
        write_section(section);
        section.Finish();
        if (layout_.root_empty) {
          text.Write("</");
          flush();
          out.Append(bytes.substr(layout_.root_name.begin,
                                  layout_.root_name.end - layout_.root_name.begin));
          text.Write(">");
        }
        flush();
        out.Append(bytes.substr(layout_.root_empty ? layout_.after_root : layout_.root_end));
        if (Status unwritten = out.Finish(); !unwritten) return unwritten;
        if (!unconverted) return unconverted;
        size = out.Written();
        checksum = out.checksum().Value();
        return Status();
      },
      [&](const std::string& written) -> Status {
        // First that the disk gives back exactly the bytes that were written.
        Checksum read_back;
        Sha256 digest;
        std::size_t read = 0;
        Status unreadable = ReadFileInBlocks(written, [&](std::string_view block) {
          read_back.Add(block);
          digest.Update(block);
          read += block.size();
          return true;
        });
        if (!unreadable) return unreadable;
        if (read != size || read_back.Value() != checksum) {
          return Status(Status::Code::kOther, pontexa::messages::WrittenDiffers());
        }
        // Then that those bytes load as the file did. Whole elements taken
        // out of a file that loaded and one written by SectionWriter put in
        // should always load; this pass is what makes sure, whatever the
        // encoding, an entity's text put in place of its reference or the
        // file's limits make of it, before the file is replaced.
        try {
          CheckWellFormedFile(written, path);
        } catch (const CannotLoad& unreadable_again) {
          return Status(Status::Code::kOther, messages::WrittenUnreadable(unreadable_again.what()));
        }
        saved = {read, digest.HexDigest()};
        return Status();
      });
  return saved;
}

}  // namespace pontexa::exchange
