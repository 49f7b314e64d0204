// TMX read by streaming through expat: the file passes in parts, and the
// handlers append each wanted segment straight to the output text, so
// memory holds the two texts and one part of the file, never a tree.
#include <expat.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "Errors.h"
#include "FileIO.h"
#include "TextDecode.h"
#include "sources/Source.h"
#include "sources/SourceUtil.h"

namespace korvel {
namespace {

// Large enough that a read costs little next to parsing it, small enough
// that a cancel is seen within a millisecond or so.
constexpr std::size_t kPart = 256u << 10;
constexpr std::size_t kPollUnits = 4096;

enum class TLang : unsigned char { kNone, kEn, kZh };

bool IsCode(const char* value, const char* code) {
  std::size_t i = 0;
  for (; code[i]; ++i)
    if ((value[i] | 0x20) != code[i]) return false;  // also stops at the value's end
  return value[i] == '\0' || value[i] == '-' || value[i] == '_';
}

TLang LangOf(const XML_Char** atts) {
  const char* lang = nullptr;
  for (; *atts; atts += 2) {
    if (std::strcmp(atts[0], "xml:lang") == 0) {
      lang = atts[1];
      break;
    }
    if (std::strcmp(atts[0], "lang") == 0) lang = atts[1];
  }
  if (!lang) return TLang::kNone;
  if (IsCode(lang, "en")) return TLang::kEn;
  if (IsCode(lang, "zh") || IsCode(lang, "cmn")) return TLang::kZh;
  return TLang::kNone;
}

// Inline elements whose content is the original document's code, not text.
bool IsCodeElement(const char* name) {
  switch (name[0]) {
    case 'b': return std::strcmp(name, "bpt") == 0;
    case 'e': return std::strcmp(name, "ept") == 0;
    case 'p': return std::strcmp(name, "ph") == 0;
    case 'i': return std::strcmp(name, "it") == 0;
    case 'u': return std::strcmp(name, "ut") == 0;
    default: return false;
  }
}

// Elements are told apart by their depth once open, so an end tag costs a
// few comparisons and a misplaced <tu> or <tuv> inside another is text.
// Expat is given a text handler only while a wanted segment's text flows:
// the blanks that lay out the file then cost it no call.
struct TReader {
  XML_Parser parser = nullptr;
  TSourceText out;
  const std::function<void()>* poll = nullptr;
  std::exception_ptr error;  // thrown inside a handler, rethrown once expat returns

  int depth = 0, tuDepth = 0, tuvDepth = 0, segDepth = 0, codeDepth = 0;
  TLang tuvLang = TLang::kNone;  // the open <tuv>'s, while its segment is still wanted
  bool enSeen = false, zhSeen = false;  // the unit's first <tuv> of each
  bool haveEn = false, haveZh = false;  // and its text, not empty
  std::size_t enMark = 0, zhMark = 0;   // the texts' sizes when the unit began
  std::string* seg = nullptr;           // the text a segment is appended to
  std::size_t segStart = 0;

  void Fail() {
    error = std::current_exception();
    XML_StopParser(parser, XML_FALSE);
  }

  void Start(const XML_Char* name, const XML_Char** atts) {
    ++depth;
    if (tuDepth == 0) {
      if (std::strcmp(name, "tu") == 0) {
        tuDepth = depth;
        enSeen = zhSeen = haveEn = haveZh = false;
        enMark = out.En.size();
        zhMark = out.Zh.size();
      }
    } else if (segDepth != 0) {
      if (codeDepth == 0 && IsCodeElement(name)) {
        codeDepth = depth;
        XML_SetCharacterDataHandler(parser, nullptr);
      }
    } else if (tuvDepth == 0) {
      if (std::strcmp(name, "tuv") == 0) {
        tuvDepth = depth;
        tuvLang = LangOf(atts);
        bool& seen = tuvLang == TLang::kEn ? enSeen : zhSeen;
        if (tuvLang != TLang::kNone && std::exchange(seen, true)) tuvLang = TLang::kNone;
      }
    } else if (tuvLang != TLang::kNone && std::strcmp(name, "seg") == 0) {
      segDepth = depth;
      seg = tuvLang == TLang::kEn ? &out.En : &out.Zh;
      segStart = seg->size();
      XML_SetCharacterDataHandler(parser, OnText);
    }
  }

  void End() {
    if (depth == codeDepth) {
      codeDepth = 0;
      XML_SetCharacterDataHandler(parser, OnText);
    } else if (depth == segDepth) {
      while (seg->size() > segStart && static_cast<unsigned char>(seg->back()) <= 32) seg->pop_back();
      (tuvLang == TLang::kEn ? haveEn : haveZh) = seg->size() > segStart;
      // Only the first segment of a <tuv> counts.
      tuvLang = TLang::kNone;
      segDepth = 0;
      seg = nullptr;
      XML_SetCharacterDataHandler(parser, nullptr);
    } else if (depth == tuvDepth) {
      tuvDepth = 0;
    } else if (depth == tuDepth) {
      tuDepth = 0;
      EndUnit();
    }
    --depth;
  }

  void EndUnit() {
    if (!(haveEn && haveZh)) {
      out.En.resize(enMark);
      out.Zh.resize(zhMark);
      ++out.Skipped;
    }
    out.En += '\n';
    out.Zh += '\n';
    if (++out.Units % kPollUnits == 0 && *poll) (*poll)();
  }

  void Text(const XML_Char* s, int len) {
    const char* p = s;
    const char* const end = s + len;
    if (seg->size() == segStart)
      while (p < end && static_cast<unsigned char>(*p) <= 32) ++p;
    const std::size_t at = seg->size();
    seg->append(p, static_cast<std::size_t>(end - p));
    // Expat gives line breaks as LF; CR and NUL come only from character
    // references.
    if (MayBreak(p, end))
      for (char *c = seg->data() + at, *stop = seg->data() + seg->size(); c < stop; ++c)
        if (*c == '\n' || *c == '\r' || *c == '\0') *c = ' ';
  }

  // False when no byte is below 14, so none is LF, CR or NUL; eight bytes at
  // a time, for this runs over all the text.
  static bool MayBreak(const char* p, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    for (; end - p >= 8; p += 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if ((w - kOnes * 14) & ~w & kHigh) return true;
    }
    for (; p < end; ++p)
      if (static_cast<unsigned char>(*p) < 14) return true;
    return false;
  }

  static void OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto* r = static_cast<TReader*>(data);
    if (r->error) return;
    r->Start(name, atts);
  }
  static void OnEnd(void* data, const XML_Char*) {
    auto* r = static_cast<TReader*>(data);
    if (r->error) return;
    try {
      r->End();
    } catch (...) {
      r->Fail();
    }
  }
  static void OnText(void* data, const XML_Char* s, int len) {
    auto* r = static_cast<TReader*>(data);
    if (r->error) return;
    try {
      r->Text(s, len);
    } catch (...) {
      r->Fail();
    }
  }
};

struct TParser {
  XML_Parser p;
  explicit TParser(const char* encoding) : p(XML_ParserCreate(encoding)) {
    if (!p) throw std::bad_alloc();
  }
  ~TParser() { XML_ParserFree(p); }
  TParser(const TParser&) = delete;
  TParser& operator=(const TParser&) = delete;
};

// The encoding an XML declaration at the start of `head` names, or "".
// Only a declaration in ASCII is looked at: one after a byte-order mark, or
// in UTF-16, is expat's to read.
std::string DeclaredEncoding(std::string_view head) {
  if (head.substr(0, 5) != "<?xml") return {};
  head = head.substr(0, head.find("?>"));
  const std::size_t at = head.find("encoding");
  if (at == std::string_view::npos) return {};
  std::size_t i = at + 8;
  auto blanks = [&] {
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
  };
  blanks();
  if (i >= head.size() || head[i++] != '=') return {};
  blanks();
  if (i >= head.size() || (head[i] != '"' && head[i] != '\'')) return {};
  const std::size_t close = head.find(head[i], i + 1);
  if (close == std::string_view::npos) return {};
  return std::string(head.substr(i + 1, close - i - 1));
}

bool ExpatKnows(const std::string& encoding) {
  static constexpr const char* kNames[] = {"UTF-8",    "UTF-16",   "UTF-16BE", "UTF-16LE",
                                           "ISO-8859-1", "US-ASCII"};
  for (const char* name : kNames)
    if (strcasecmp(encoding.c_str(), name) == 0) return true;
  return encoding.empty();
}

std::size_t ReadSome(int fd, char* into, std::size_t size, const std::string& path) {
  for (;;) {
    const ssize_t n = read(fd, into, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) ThrowCannotOpen(path, errno);
  }
}

}  // namespace

TSourceText ReadTmx(const std::string& path, const std::function<void()>& poll) {
  struct stat st {};
  TFile file(path, st);

  std::vector<char> head(kPart);
  if (poll) poll();
  head.resize(ReadSome(file.fd, head.data(), head.size(), path));
  const std::string declared = DeclaredEncoding(std::string_view(head.data(), head.size()));
  std::optional<TCharsetDecoder> decoder;
  if (!ExpatKnows(declared)) {
    decoder.emplace(declared);
    if (!decoder->Known()) decoder.reset();  // expat then names the fault
  }

  // Expat's own declaration is overridden once the text is decoded to UTF-8.
  TParser parser(decoder ? "UTF-8" : nullptr);
  XML_Parser p = parser.p;
  // Neither the DTD nor any external entity is fetched: no handler is set
  // for them, and parameter entities are never parsed. Expat's limit on
  // entity amplification (on since 2.4) refuses "billion laughs".
  XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
  TReader reader;
  reader.parser = p;
  reader.poll = &poll;
  XML_SetUserData(p, &reader);
  XML_SetElementHandler(p, TReader::OnStart, TReader::OnEnd);

  // The markup alone outweighs the text, so this much never needs to move;
  // pages never written are never taken from the machine.
  ReserveUpTo(reader.out, S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) * (decoder ? 3 : 2) / 2 : 0);

  auto check = [&](XML_Status status) {
    if (reader.error) std::rethrow_exception(reader.error);
    if (status != XML_STATUS_ERROR) return;
    const XML_Error code = XML_GetErrorCode(p);
    if (code == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
    ThrowCannotRead(path, XML_GetCurrentLineNumber(p), XML_GetCurrentColumnNumber(p) + 1, XML_ErrorString(code));
  };

  if (decoder) {
    std::string text;
    for (bool last = head.empty();;) {
      text.clear();
      decoder->Decode(std::string_view(head.data(), head.size()), last, text);
      check(XML_Parse(p, text.data(), static_cast<int>(text.size()), last));
      if (last) break;
      if (poll) poll();
      head.resize(kPart);
      head.resize(ReadSome(file.fd, head.data(), head.size(), path));
      last = head.empty();
    }
  } else {
    check(XML_Parse(p, head.data(), static_cast<int>(head.size()), head.empty()));
    head = {};
    for (bool last = false; !last;) {
      if (poll) poll();
      void* buffer = XML_GetBuffer(p, static_cast<int>(kPart));
      if (!buffer) check(XML_STATUS_ERROR);
      const std::size_t n = ReadSome(file.fd, static_cast<char*>(buffer), kPart, path);
      last = n == 0;
      check(XML_ParseBuffer(p, static_cast<int>(n), last));
    }
  }
  return std::move(reader.out);
}

}  // namespace korvel
