#include "exchange/xml_parse.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "exchange/messages.h"
#include "platform/env.h"
#include "platform/file_io.h"

namespace pontexa::exchange {
namespace {

// The options of every parse: keep everything, fetch nothing, expand nothing.
// Deliberately absent: XML_PARSE_NOENT (expand entities), XML_PARSE_DTDLOAD
// (fetch the external DTD), XML_PARSE_HUGE (lift the depth and size limits),
// XML_PARSE_NOBLANKS and XML_PARSE_NOCDATA (they would drop parts of the file).
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;

// Refuses every external resource: a declared external entity or DTD stays a
// reference and is never read, whatever the parser options say.
xmlParserInputPtr RefuseExternalLoad(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

// Collects libxml2's errors while it lives, so that nothing reaches stderr,
// and puts back whatever handler was installed before.
class ErrorCapture {
 public:
  explicit ErrorCapture(std::string file) : file_(std::move(file)) {
    saved_handler_ = xmlStructuredError;
    saved_context_ = xmlStructuredErrorContext;
    saved_generic_handler_ = xmlGenericError;
    saved_generic_context_ = xmlGenericErrorContext;
    xmlSetStructuredErrorFunc(this, &ErrorCapture::Handle);
    xmlSetGenericErrorFunc(nullptr, &ErrorCapture::Ignore);
  }
  ~ErrorCapture() {
    xmlSetStructuredErrorFunc(saved_context_, saved_handler_);
    xmlSetGenericErrorFunc(saved_generic_context_, saved_generic_handler_);
  }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  // The first fatal error in the file itself, else the first fatal error
  // anywhere (inside an entity's text), else the first error; when libxml2
  // reported none, that the bytes are not well-formed.
  std::string Describe() const {
    if (!has_error_) return messages::NotWellFormed();
    const Captured& error = has_file_fatal_ ? file_fatal_
                            : has_fatal_    ? first_fatal_
                                            : first_error_;
    std::string text = SpanishText(error);
    if (error.line <= 0) {
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
      return text;
    }
    std::string place = "línea " + std::to_string(error.line);
    if (error.column > 0) place += ", columna " + std::to_string(error.column);
    return place + ": " + text;
  }

 private:
  struct Captured {
    int code = 0;
    int line = 0;
    int column = 0;
    std::string message;
  };

  static void Handle(void* self, xmlErrorPtr error) {
    static_cast<ErrorCapture*>(self)->Record(error);
  }
  static void Ignore(void*, const char*, ...) {}

  void Record(const xmlError* error) {
    if (error == nullptr || error->level < XML_ERR_ERROR) return;
    Captured captured;
    captured.code = error->code;
    captured.line = error->line;
    // The parser puts the column in int2.
    captured.column = error->domain == XML_FROM_PARSER ? error->int2 : 0;
    if (error->message != nullptr) captured.message = error->message;
    while (!captured.message.empty() &&
           static_cast<unsigned char>(captured.message.back()) <= ' ') {
      captured.message.pop_back();
    }
    if (!has_error_) {
      first_error_ = captured;
      has_error_ = true;
    }
    if (error->level < XML_ERR_FATAL) return;
    if (!has_fatal_) {
      first_fatal_ = captured;
      has_fatal_ = true;
    }
    if (!has_file_fatal_ && error->file != nullptr && file_ == error->file) {
      file_fatal_ = captured;
      has_file_fatal_ = true;
    }
  }

  static std::string SpanishText(const Captured& error) {
    switch (error.code) {
      case XML_ERR_NO_MEMORY:
        return "no hay memoria suficiente para leer el documento";
      case XML_ERR_DOCUMENT_EMPTY:
        return "se esperaba una etiqueta de apertura ('<')";
      case XML_ERR_DOCUMENT_END:
      case XML_ERR_EXTRA_CONTENT:
        return "hay contenido después del final del elemento raíz";
      case XML_ERR_INVALID_HEX_CHARREF:
      case XML_ERR_INVALID_DEC_CHARREF:
      case XML_ERR_INVALID_CHARREF:
        return "referencia de carácter no válida";
      case XML_ERR_INVALID_CHAR:
        // A byte sequence that is not UTF-8 in a file read as UTF-8, most often
        // a Latin-1 or Windows-1252 file that declares UTF-8 or nothing.
        if (error.message.find("not proper UTF-8") != std::string::npos) {
          return "el texto no corresponde a la codificación de caracteres declarada (UTF-8)";
        }
        return "carácter no admitido en XML";
      case XML_ERR_ENTITYREF_SEMICOL_MISSING:
        return "falta el ';' al final de una referencia a entidad";
      case XML_ERR_UNDECLARED_ENTITY:
        return "referencia a una entidad no declarada";
      case XML_ERR_ENTITY_LOOP:
        return "las entidades se refieren unas a otras en bucle o crecen sin medida";
      case XML_ERR_UNSUPPORTED_ENCODING:
        return "codificación de caracteres no admitida";
      case XML_ERR_INVALID_ENCODING:
      case XML_I18N_CONV_FAILED:
        return "el texto no corresponde a la codificación de caracteres declarada";
      case XML_ERR_STRING_NOT_STARTED:
      case XML_ERR_STRING_NOT_CLOSED:
      case XML_ERR_LITERAL_NOT_STARTED:
      case XML_ERR_LITERAL_NOT_FINISHED:
        return "texto entre comillas mal delimitado";
      case XML_ERR_LT_IN_ATTRIBUTE:
        return "carácter '<' dentro del valor de un atributo";
      case XML_ERR_ATTRIBUTE_NOT_STARTED:
      case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
        return "atributo sin valor entre comillas";
      case XML_ERR_ATTRIBUTE_NOT_FINISHED:
        return "valor de atributo sin cerrar";
      case XML_ERR_ATTRIBUTE_REDEFINED:
        return "atributo repetido en el mismo elemento";
      case XML_ERR_COMMENT_NOT_FINISHED:
        return "comentario sin cerrar";
      case XML_ERR_PI_NOT_STARTED:
      case XML_ERR_PI_NOT_FINISHED:
        return "instrucción de procesamiento mal formada";
      case XML_ERR_XMLDECL_NOT_STARTED:
      case XML_ERR_XMLDECL_NOT_FINISHED:
      case XML_ERR_RESERVED_XML_NAME:
        return "declaración XML mal formada o fuera del comienzo del archivo";
      case XML_ERR_DOCTYPE_NOT_FINISHED:
        return "declaración DOCTYPE sin cerrar";
      case XML_ERR_MISPLACED_CDATA_END:
        return "']]>' fuera de una sección CDATA";
      case XML_ERR_CDATA_NOT_FINISHED:
        return "sección CDATA sin cerrar";
      case XML_ERR_SPACE_REQUIRED:
        return "falta un espacio";
      case XML_ERR_NAME_REQUIRED:
        return "falta un nombre o hay un carácter no válido en él";
      case XML_ERR_GT_REQUIRED:
        return "falta el '>' que cierra la etiqueta";
      case XML_ERR_LTSLASH_REQUIRED:
        return "falta la etiqueta de cierre";
      case XML_ERR_EQUAL_REQUIRED:
        return "falta el '=' después del nombre de un atributo";
      case XML_ERR_TAG_NAME_MISMATCH:
        return "la etiqueta de cierre no corresponde a la de apertura";
      case XML_ERR_TAG_NOT_FINISHED:
        return "el archivo termina antes de cerrar un elemento";
      case XML_ERR_VALUE_REQUIRED:
        return "falta un valor";
      case XML_ERR_NOT_WELL_BALANCED:
        return "las etiquetas de apertura y cierre no están equilibradas";
      default:
        break;
    }
    if (error.message.find("Excessive depth") != std::string::npos) {
      return "los elementos están anidados a demasiada profundidad";
    }
    if (error.message.find("huge") != std::string::npos) {
      return "un texto del documento es demasiado largo";
    }
    if (error.message.empty()) return "el documento no es XML bien formado";
    return "el documento no es XML bien formado (" + error.message + ")";
  }

  std::string file_;
  bool has_error_ = false;
  bool has_fatal_ = false;
  bool has_file_fatal_ = false;
  Captured first_error_;
  Captured first_fatal_;
  Captured file_fatal_;
  xmlStructuredErrorFunc saved_handler_ = nullptr;
  void* saved_context_ = nullptr;
  xmlGenericErrorFunc saved_generic_handler_ = nullptr;
  void* saved_generic_context_ = nullptr;
};

// What the file's entity references may stand for in all: this many times the
// file's own size, plus a fixed allowance for small files. libxml2 bounds how
// many entities a reference pulls in, not how much text they hold, so a file of
// a few hundred kilobytes that uses a long entity thousands of times would
// otherwise load and later be read as gigabytes of text.
constexpr std::uint64_t kEntityTextPerFileByte = 10;
constexpr std::uint64_t kEntityTextAllowance = 1 << 20;
// Entities nested deeper than this are taken as too much text.
constexpr int kMaxEntityNesting = 40;

class EntityBudget;
class ChildCounter;

// What the handlers set for one parse work for. libxml2 hands every SAX handler
// the context's user data, which for each context made here is the context
// itself, and it copies a context's _private into the context it makes to parse
// an entity's text. So the state sits in _private, where the handlers find it
// from the file's own callbacks and from an entity's alike; `file` tells the
// two apart.
struct ParseState {
  xmlParserCtxt* file = nullptr;
  EntityBudget* budget = nullptr;
  ChildCounter* counter = nullptr;
  void* owner = nullptr;  // what StreamXmlFile's caller set with SetStreamOwner
};

// The state of the parse that `user`, a handler's first argument, belongs to.
ParseState& StateOf(void* user) {
  return *static_cast<ParseState*>(static_cast<xmlParserCtxt*>(user)->_private);
}

// Gives the context its state, before any handler that looks for it is set.
void Attach(xmlParserCtxt* context, ParseState& state) {
  state.file = context;
  context->_private = &state;
}

// Counts, while one parse runs, the text that the file's own entity references
// stand for (each reference counted with everything its entity expands to,
// nested references included), and stops the parse once that passes the bound.
// It also counts the replacement text the parser itself handles at every
// reference, which bounds the work of a parse that builds no tree: such a
// parse reads an entity's text again at every reference to it.
class EntityBudget {
 public:
  EntityBudget(ParseState& state, std::uint64_t file_size)
      : state_(state),
        context_(state.file),
        limit_(kEntityTextAllowance + kEntityTextPerFileByte * file_size),
        saved_get_entity_(context_->sax->getEntity),
        saved_reference_(context_->sax->reference),
        saved_start_element_(context_->sax->startElementNs) {
    context_->sax->getEntity = &EntityBudget::GetEntity;
    context_->sax->reference = &EntityBudget::Reference;
    context_->sax->startElementNs = &EntityBudget::StartElement;
    state_.budget = this;
  }
  ~EntityBudget() {
    state_.budget = nullptr;
    context_->sax->getEntity = saved_get_entity_;
    context_->sax->reference = saved_reference_;
    context_->sax->startElementNs = saved_start_element_;
  }
  EntityBudget(const EntityBudget&) = delete;
  EntityBudget& operator=(const EntityBudget&) = delete;

  bool Exceeded() const { return exceeded_; }

  std::string Describe() const {
    return messages::EntitiesTooLarge(line_, column_, kEntityTextPerFileByte);
  }

 private:
  static xmlEntityPtr GetEntity(void* user, const xmlChar* name) {
    EntityBudget* self = StateOf(user).budget;
    xmlEntityPtr entity = self->saved_get_entity_ != nullptr ? self->saved_get_entity_(user, name)
                                                             : xmlSAX2GetEntity(user, name);
    // Inside the DTD a reference is only checked, never expanded.
    if (entity != nullptr && entity->etype == XML_INTERNAL_GENERAL_ENTITY &&
        entity->content != nullptr && self->context_->inSubset == 0) {
      self->work_ += static_cast<std::uint64_t>(entity->length);
      if (self->work_ > self->limit_) self->Stop();
    }
    return entity;
  }

  static void Reference(void* user, const xmlChar* name) {
    EntityBudget* self = StateOf(user).budget;
    // References inside an entity's own text reach here from a parser of
    // their own; they are counted with the reference in the file.
    if (user == self->context_) self->Use(name);
    if (self->saved_reference_ != nullptr && !self->exceeded_) self->saved_reference_(user, name);
  }

  static void StartElement(void* user, const xmlChar* local, const xmlChar* prefix,
                           const xmlChar* uri, int namespaces, const xmlChar** namespace_list,
                           int attributes, int defaulted, const xmlChar** attribute_list) {
    EntityBudget* self = StateOf(user).budget;
    if (user == self->context_) {
      // Each attribute is five pointers: name, prefix, URI, value start, value end.
      // Entity references stay in the value as "&name;" (character references
      // and the predefined entities are already replaced).
      for (int i = 0; i < attributes && !self->exceeded_; ++i) {
        const char* value = reinterpret_cast<const char*>(attribute_list[i * 5 + 3]);
        const char* end = reinterpret_cast<const char*>(attribute_list[i * 5 + 4]);
        self->UseReferencesIn(std::string_view(value, static_cast<std::size_t>(end - value)));
      }
    }
    if (self->saved_start_element_ != nullptr && !self->exceeded_) {
      self->saved_start_element_(user, local, prefix, uri, namespaces, namespace_list, attributes,
                                 defaulted, attribute_list);
    }
  }

  void UseReferencesIn(std::string_view text) {
    for (std::size_t at = text.find('&'); at != std::string_view::npos;
         at = text.find('&', at + 1)) {
      std::size_t end = text.find(';', at);
      if (end == std::string_view::npos) return;
      if (text[at + 1] == '#') continue;
      std::string name(text.substr(at + 1, end - at - 1));
      Use(reinterpret_cast<const xmlChar*>(name.c_str()));
      if (exceeded_) return;
    }
  }

  void Use(const xmlChar* name) {
    if (exceeded_) return;
    used_ += Expanded(name, 0);
    if (used_ > limit_) Stop();
  }

  // The length of the text an entity stands for, nested references expanded;
  // more than the limit when it nests too deep or refers to itself.
  std::uint64_t Expanded(const xmlChar* name, int depth) {
    if (xmlGetPredefinedEntity(name) != nullptr) return 1;
    xmlEntityPtr entity = xmlGetDocEntity(context_->myDoc, name);
    if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY ||
        entity->content == nullptr) {
      return 0;
    }
    auto known = expanded_.find(entity);
    if (known != expanded_.end()) return known->second;
    const std::uint64_t too_much = limit_ + 1;
    if (depth >= kMaxEntityNesting) return too_much;
    expanded_[entity] = too_much;  // a reference back to itself is too much
    std::string_view text(reinterpret_cast<const char*>(entity->content),
                          static_cast<std::size_t>(entity->length));
    std::uint64_t total = 0;
    std::size_t at = 0;
    while (at < text.size() && total <= limit_) {
      std::size_t amp = text.find('&', at);
      if (amp == std::string_view::npos) {
        total += text.size() - at;
        break;
      }
      total += amp - at;
      std::size_t end = text.find(';', amp);
      if (end == std::string_view::npos) {
        total += text.size() - amp;
        break;
      }
      if (text[amp + 1] == '#') {
        total += 1;
      } else {
        std::string nested(text.substr(amp + 1, end - amp - 1));
        total += Expanded(reinterpret_cast<const xmlChar*>(nested.c_str()), depth + 1);
      }
      at = end + 1;
    }
    if (total > too_much) total = too_much;
    expanded_[entity] = total;
    return total;
  }

  void Stop() {
    if (exceeded_) return;
    exceeded_ = true;
    if (context_->input != nullptr) {
      line_ = context_->input->line;
      column_ = context_->input->col;
    }
    xmlStopParser(context_);
  }

  ParseState& state_;
  xmlParserCtxt* context_;
  std::uint64_t limit_;
  std::uint64_t used_ = 0;
  std::uint64_t work_ = 0;
  bool exceeded_ = false;
  int line_ = 0;
  int column_ = 0;
  std::unordered_map<const xmlEntity*, std::uint64_t> expanded_;
  getEntitySAXFunc saved_get_entity_;
  referenceSAXFunc saved_reference_;
  startElementNsSAX2Func saved_start_element_;
};

// Counts, while a parse that builds no tree runs, the elements written directly
// under the root in the file itself. Elements inside an entity's text reach
// the handlers from a parser of their own and are not counted.
class ChildCounter {
 public:
  ChildCounter(ParseState& state, const std::string& name, RootChildCount& count)
      : state_(state), context_(state.file), name_(name), count_(count) {
    context_->sax->startElementNs = &ChildCounter::Start;
    context_->sax->endElementNs = &ChildCounter::End;
    state_.counter = this;
  }
  ~ChildCounter() {
    state_.counter = nullptr;
    context_->sax->startElementNs = nullptr;
    context_->sax->endElementNs = nullptr;
  }
  ChildCounter(const ChildCounter&) = delete;
  ChildCounter& operator=(const ChildCounter&) = delete;

 private:
  static void Start(void* user, const xmlChar* local, const xmlChar* prefix, const xmlChar*, int,
                    const xmlChar**, int, int, const xmlChar**) {
    ChildCounter* self = StateOf(user).counter;
    if (user != self->context_) return;
    if (++self->depth_ != 2) return;
    ++self->count_.elements;
    if (prefix == nullptr && self->name_ == reinterpret_cast<const char*>(local)) {
      ++self->count_.named;
    }
  }
  static void End(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
    ChildCounter* self = StateOf(user).counter;
    if (user == self->context_) --self->depth_;
  }

  ParseState& state_;
  xmlParserCtxt* context_;
  const std::string& name_;
  RootChildCount& count_;
  int depth_ = 0;
};

struct ParserContextFree {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

// Drops the handlers that build the tree and keeps those that record the DTD:
// entities must be known to check their references.
void KeepOnlyDtdHandlers(xmlSAXHandler* sax) {
  sax->startElementNs = nullptr;
  sax->endElementNs = nullptr;
  sax->startElement = nullptr;
  sax->endElement = nullptr;
  sax->characters = nullptr;
  sax->ignorableWhitespace = nullptr;
  sax->cdataBlock = nullptr;
  sax->comment = nullptr;
  sax->processingInstruction = nullptr;
  sax->reference = nullptr;
}

// Names the parser's input after the file, so that errors in
// the file itself are told from those inside entity declarations.
void NameInput(xmlParserCtxt* context, const std::string& name) {
  if (context->input != nullptr && context->input->filename == nullptr) {
    context->input->filename =
        reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(name.c_str())));
  }
}

using ParserContext = std::unique_ptr<xmlParserCtxt, ParserContextFree>;

// Makes a context that libxml2 has just created ready for one of our parses:
// the load's options, the input named after the file, only the DTD's handlers
// and `state` attached. Raises CannotLoad when libxml2 could make none.
ParserContext Prepared(xmlParserCtxt* created, const std::string& name, ParseState& state) {
  ParserContext context(created);
  if (!context) throw CannotLoad(messages::NoMemoryToRead());
  xmlCtxtUseOptions(context.get(), kParseOptions);
  NameInput(context.get(), name);
  KeepOnlyDtdHandlers(context->sax);
  Attach(context.get(), state);
  return context;
}

// The file a streaming parse reads, handed to libxml2 in the pieces it asks
// for (a few kilobytes each) from blocks read whole, so that a large file
// costs few system calls. The first block is read before the parser starts,
// so that an empty or unreadable file is told as such and not as a parse error.
class FileSource {
 public:
  explicit FileSource(const std::string& path) {
    if (status_ = OpenForReading(path, file_, info_); !status_) return;
    if (info_.size > static_cast<std::uint64_t>(INT_MAX)) {
      too_large_ = true;
      return;
    }
    block_.resize(kBlockSize);
    Fill();
  }

  const Status& status() const { return status_; }
  bool empty() const { return total_ == 0; }
  bool too_large() const { return too_large_; }
  std::uint64_t size() const { return info_.size; }

  static int Read(void* self, char* buffer, int length) {
    return static_cast<FileSource*>(self)->ReadInto(buffer, length);
  }

 private:
  static constexpr std::size_t kBlockSize = 1 << 16;

  // Reads the next block; false at the end of the file or on failure.
  bool Fill() {
    taken_ = 0;
    filled_ = 0;
    if (!status_.ok() || too_large_) return false;
    std::size_t got = 0;
    if (status_ = file_->Read(block_.data(), block_.size(), &got); !status_) return false;
    filled_ = got;
    total_ += got;
    // The file grew past what one parse takes while it was read.
    if (total_ > static_cast<std::size_t>(INT_MAX)) {
      too_large_ = true;
      filled_ = 0;
      return false;
    }
    return got > 0;
  }

  int ReadInto(char* buffer, int length) {
    if (length <= 0) return 0;
    if (taken_ == filled_ && !Fill()) return status_.ok() && !too_large_ ? 0 : -1;
    const std::size_t n = std::min(static_cast<std::size_t>(length), filled_ - taken_);
    std::memcpy(buffer, block_.data() + taken_, n);
    taken_ += n;
    return static_cast<int>(n);
  }

  std::unique_ptr<File> file_;
  FileInfo info_;
  Status status_;
  std::string block_;
  std::size_t taken_ = 0;
  std::size_t filled_ = 0;
  std::size_t total_ = 0;
  bool too_large_ = false;
};

// Bytes already in memory handed to libxml2 in the pieces it asks for, so
// that it never copies the whole of them into a buffer of its own (a memory
// parse does, doubling what a large file costs) and drops what it has parsed.
class MemorySource {
 public:
  explicit MemorySource(std::string_view bytes) : rest_(bytes) {}

  static int Read(void* self, char* buffer, int length) {
    auto& rest = static_cast<MemorySource*>(self)->rest_;
    if (length <= 0) return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(length), rest.size());
    std::memcpy(buffer, rest.data(), n);
    rest.remove_prefix(n);
    return static_cast<int>(n);
  }

 private:
  std::string_view rest_;
};

// Raises what the parser reported.
[[noreturn]] void FailParse(const ErrorCapture& errors) { throw CannotLoad(errors.Describe()); }

}  // namespace

void InitXmlLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternalLoad);
  });
}

void XmlDocFree::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

void CheckWellFormed(std::string_view bytes, const std::string& name) {
  RootChildCount count;
  CheckWellFormed(bytes, name, "", count);
}

XmlDocPtr CheckWellFormed(std::string_view bytes, const std::string& name,
                          const std::string& child_name, RootChildCount& count) {
  count = RootChildCount();
  InitXmlLibrary();
  if (bytes.empty()) throw CannotLoad(messages::FileEmpty());
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw CannotLoad(messages::FileTooLarge());
  ErrorCapture errors(name);
  MemorySource source(bytes);
  ParseState state;
  const ParserContext context =
      Prepared(xmlCreateIOParserCtxt(nullptr, nullptr, &MemorySource::Read, nullptr, &source,
                                     XML_CHAR_ENCODING_NONE),
               name, state);
  ChildCounter counter(state, child_name, count);
  EntityBudget budget(state, bytes.size());
  xmlParseDocument(context.get());
  XmlDocPtr partial(context->myDoc);
  context->myDoc = nullptr;
  if (budget.Exceeded()) throw CannotLoad(budget.Describe());
  if (context->wellFormed) return partial;
  FailParse(errors);
}

std::size_t CheckWellFormedFile(const std::string& path, const std::string& name) {
  InitXmlLibrary();
  ErrorCapture errors(name);
  ParseState state;
  const ParserContext context =
      Prepared(xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr), name, state);
  FileInfo info;
  EntityBudget budget(state, Env::Current().Info(path, &info).ok() ? info.size : 0);
  std::size_t total = 0;
  bool too_large = false;
  // Bytes the parser could not convert from the file's encoding stop it
  // without making the document ill-formed: only what xmlParseChunk returns
  // tells. The check of the whole bytes refuses them.
  bool unconverted = false;
  Status unreadable = ReadFileInBlocks(path, [&](std::string_view block) {
    total += block.size();
    if (total > static_cast<std::size_t>(INT_MAX)) {
      too_large = true;
      return false;
    }
    const int parsed =
        xmlParseChunk(context.get(), block.data(), static_cast<int>(block.size()), 0);
    unconverted = parsed != 0 && context->wellFormed != 0 && !budget.Exceeded();
    // Past the first fatal error the rest of the file changes nothing.
    return context->wellFormed != 0 && !budget.Exceeded() && !unconverted;
  });
  const bool whole = unreadable.ok() && total > 0 && !too_large;
  if (whole && context->wellFormed && !unconverted) {
    unconverted = xmlParseChunk(context.get(), nullptr, 0, 1) != 0 && context->wellFormed != 0 &&
                  !budget.Exceeded();
  }
  // The parser's document is freed here whatever the outcome, also when the
  // file was not read to its end.
  XmlDocPtr partial(context->myDoc);
  context->myDoc = nullptr;
  if (!unreadable) throw CannotLoad(unreadable.text());
  if (total == 0) throw CannotLoad(messages::FileEmpty());
  if (too_large) throw CannotLoad(messages::FileTooLarge());
  if (budget.Exceeded()) throw CannotLoad(budget.Describe());
  if (context->wellFormed && !unconverted) return total;
  FailParse(errors);
}

void SetStreamOwner(_xmlParserCtxt* context, void* owner) { StateOf(context).owner = owner; }

void* StreamOwner(void* user) {
  const ParseState& state = StateOf(user);
  return user == state.file ? state.owner : nullptr;
}

void StreamXmlFile(const std::string& path, const std::string& name,
                   const std::function<void(_xmlParserCtxt* context)>& install) {
  InitXmlLibrary();
  FileSource source(path);
  if (!source.status()) throw CannotLoad(source.status().text());
  if (source.too_large()) throw CannotLoad(messages::FileTooLarge());
  if (source.empty()) throw CannotLoad(messages::FileEmpty());
  ErrorCapture errors(name);
  ParseState state;
  const ParserContext context =
      Prepared(xmlCreateIOParserCtxt(nullptr, nullptr, &FileSource::Read, nullptr, &source,
                                     XML_CHAR_ENCODING_NONE),
               name, state);
  install(context.get());
  EntityBudget budget(state, source.size());
  xmlParseDocument(context.get());
  // What the parse learnt of the DTD goes here, whatever the outcome.
  XmlDocPtr partial(context->myDoc);
  context->myDoc = nullptr;
  if (!source.status()) throw CannotLoad(source.status().text());
  if (source.too_large()) throw CannotLoad(messages::FileTooLarge());
  if (budget.Exceeded()) throw CannotLoad(budget.Describe());
  if (context->wellFormed) return;
  FailParse(errors);
}

}  // namespace pontexa::exchange
