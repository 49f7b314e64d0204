// Tables whose checksums hold but whose payload is any bytes: what a crafted
// or mis-made table file would give. The word list and the lexicon either
// refuse it and answer from their texts, or answer from it within bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "Dictionary.h"
#include "FuzzUtil.h"
#include "Lexicon.h"
#include "MyDLL.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

// A table file for `source` that passes every check but the payload's own.
void WriteTrusted(const std::string& source, const std::string& table, const tables::TTableKind& kind,
                  std::string_view payload) {
  const bool ok =
      tables::WriteTableFile(source, table, kind, [&](std::string_view) { return std::string(payload); });
  KORVEL_CHECK(ok, table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  fuzz::TScratch& scratch = fuzz::TScratch::Get();
  static const std::string list = scratch.Write("EN-ZH.txt", "go=\xE5\x8E\xBB\n");
  static const std::string lexicon = scratch.Write("own.lex", "0go 0goes 0went 0gone 0going\n");

  WriteTrusted(list, TablePath(list), TDictionary::TableKind(), payload);
  TDictionary dic;
  dic.Load(list);
  for (std::string_view name : {"go", "GO", "", "went", "\xE5\x8E\xBB"}) {
    const std::optional<std::string_view> value = dic.Find(name);
    KORVEL_CHECK(!value || value->size() <= size || *value == "\xE5\x8E\xBB", Show(payload));
  }

  WriteTrusted(lexicon, scratch.Root() + "/own.bin", morph::Lexicon::TableKind(), payload);
  setenv("KORVEL_LEXICON", lexicon.c_str(), 1);
  FreeArrays();
  KORVEL_CHECK(LoadArrays() == 0, Show(payload));
  for (const char* word : {"go", "went", "undergo", "going", "goes", "stop", "caseload", "misdid", "zorbled"}) {
    char forms[68];
    Inflection(word, forms);
    const std::string_view f(forms);
    KORVEL_CHECK(f.size() <= 67 && f.find_first_not_of("abcdefghijklmnopqrstuvwxyz|") == std::string_view::npos,
                 std::string(word) + " -> " + Show(f) + " from " + Show(payload));
  }
  FreeArrays();
  unsetenv("KORVEL_LEXICON");
  return 0;
}
