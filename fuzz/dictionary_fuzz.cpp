// Word lists: parsing any bytes as a list, and looking up names taken from
// the list itself, directly and through the engine's files and Lookup.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Dictionary.h"
#include "FuzzUtil.h"
#include "TextDecode.h"
#include "unKorvel.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

// Enough names to reach every kind of line; more only slows the fuzzer.
constexpr std::size_t kMaxLookups = 64;

std::string WithAsciiCase(std::string_view text, bool upper) {
  std::string out(text);
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The engine always hands a list over decoded, as ReadTextFile does.
  const std::string text = DecodeText(std::string(bytes));
  const std::vector<std::string_view> lines = SplitLines(text);

  TDictionary dic;
  dic.Assign(text);
  KORVEL_CHECK(dic.Count() == lines.size(), Show(text));

  // What the list must answer: the value of the last line of each name.
  std::unordered_map<std::string, std::string_view> expected;
  for (std::string_view line : lines) {
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) expected[FoldCase(line.substr(0, eq))] = line.substr(eq + 1);
  }
  auto expectedValue = [&](std::string_view name) -> const std::string_view* {
    auto it = expected.find(FoldCase(name));
    return it == expected.end() ? nullptr : &it->second;
  };

  // The engine reads the same bytes from its two files; each list holds
  // them all, so Lookup answers from them whatever the query's language.
  fuzz::TScratch& scratch = fuzz::TScratch::Get();
  scratch.Write("EN-ZH.txt", bytes);
  scratch.Write("ZH-EN.txt", bytes);
  TKorvel engine;
  engine.LoadDictionaries(scratch.Root());
  KORVEL_CHECK(engine.Dictionary(0).Count() == lines.size() && engine.Dictionary(1).Count() == lines.size(),
               Show(text));

  for (std::size_t i = 0; i < lines.size() && i < kMaxLookups; ++i) {
    const std::string_view name = lines[i].substr(0, lines[i].find('='));
    const std::optional<std::string_view> found = dic.Find(name);
    const std::string_view* want = expectedValue(name);
    KORVEL_CHECK(found.has_value() == (want != nullptr) && (!found || *found == *want),
                 "name " + Show(name) + " in " + Show(text));
    KORVEL_CHECK(IsValidUtf8(FoldCase(name)), Show(name));

    // ASCII letter case never matters.
    KORVEL_CHECK(dic.Find(WithAsciiCase(name, true)) == found && dic.Find(WithAsciiCase(name, false)) == found,
                 "name " + Show(name) + " in " + Show(text));

    const std::string answer = engine.Lookup(name);
    const std::string_view* value = expectedValue(Trim(name));
    const std::string_view wantAnswer = value ? Trim(*value) : std::string_view();
    KORVEL_CHECK(answer == wantAnswer, "Lookup " + Show(name) + " gave " + Show(answer) + " in " + Show(text));
    KORVEL_CHECK(IsValidUtf8(answer), Show(answer));
  }

  // Loading from a folder without the lists empties them again.
  static const std::string empty = scratch.Folder("none");
  engine.LoadDictionaries(empty);
  KORVEL_CHECK(engine.Dictionary(0).Count() == 0 && engine.Dictionary(1).Count() == 0, Show(text));
  return 0;
}
