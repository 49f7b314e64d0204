// Query handling with the real inflection tables: classification, lemma
// expansion, and MyDLL's Inflection against its C contract.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzUtil.h"
#include "MyDLL.h"
#include "Query.h"
#include "RegExpr.h"
#include "TextDecode.h"
#include "Utf8.h"
#include "Variants.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

constexpr std::size_t kFormsBuffer = 68;  // the size the contract promises to stay within
constexpr std::size_t kMaxWords = 16;

std::string AsciiCase(std::string_view text, bool upper) {
  std::string out(text);
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

// Calls Inflection with a heap buffer of exactly the promised size, so
// AddressSanitizer sees any write past it.
std::string Forms(const std::string& word) {
  std::unique_ptr<char[]> buffer(new char[kFormsBuffer]);
  std::memset(buffer.get(), 0x55, kFormsBuffer);
  Inflection(word.c_str(), buffer.get());
  const std::size_t n = strnlen(buffer.get(), kFormsBuffer);
  KORVEL_CHECK(n < kFormsBuffer, "no NUL within 68 bytes for " + Show(word));
  return std::string(buffer.get(), n);
}

void CheckInflection(const std::string& word) {
  const std::string forms = Forms(word);
  if (forms.empty()) return;
  KORVEL_CHECK(forms.size() <= 67 && forms.back() == '|', Show(word) + " -> " + Show(forms));
  // Lower-case words only: no pattern character but the separators, and
  // no blank that would split a phrase.
  for (char c : forms) KORVEL_CHECK((c >= 'a' && c <= 'z') || c == '|', Show(word) + " -> " + Show(forms));
  // Each form once, none empty, and never the word itself.
  const std::string self = AsciiCase(word, false);
  std::set<std::string> seen;
  for (std::size_t at = 0; at < forms.size();) {
    const std::size_t bar = forms.find('|', at);
    const std::string form = forms.substr(at, bar - at);
    KORVEL_CHECK(!form.empty() && form != self && seen.insert(form).second, Show(word) + " -> " + Show(forms));
    at = bar + 1;
  }
  // Letter case of the word is ignored.
  KORVEL_CHECK(Forms(AsciiCase(word, true)) == forms && Forms(self) == forms, Show(word));
  KORVEL_CHECK(MyDllInflection(word) == forms, Show(word));
}

bool IsAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// ASCII words joined by single blanks: text a lemma search must find as typed.
bool IsSimplePhrase(std::string_view text) {
  if (text.empty() || text.front() == ' ' || text.back() == ' ') return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!IsAlnum(text[i]) && !(text[i] == ' ' && text[i + 1] != ' ')) return false;
  return true;
}

void CheckExpansion(std::string_view query) {
  const std::string expanded = ExpandLemma(query);
  KORVEL_CHECK(Trim(expanded) == expanded, Show(query) + " -> " + Show(expanded));
  if (!IsValidUtf8(query)) return;
  KORVEL_CHECK(IsValidUtf8(expanded), Show(query) + " -> " + Show(expanded));

  // A plain query becomes the search expression as it is; it must compile.
  // ("*" is no query syntax, yet a pattern character: such a query may fail.)
  const std::string_view q = Trim(query);
  if (q.empty() || IsRegexQuery(q) || IsChinese(q) || q.find('*') != std::string_view::npos) return;
  const std::string pattern = "\\b(" + expanded + ")\\b";
  try {
    const TRegExpr re(pattern, true);
    if (IsSimplePhrase(q)) {
      KORVEL_CHECK(re.Exec(q), Show(q) + " not found by " + Show(pattern));
      if (q.find(' ') == std::string_view::npos) {
        const std::string forms = MyDllInflection(std::string(q));
        for (std::size_t at = 0; at < forms.size(); at = forms.find('|', at) + 1) {
          const std::string form = forms.substr(at, forms.find('|', at) - at);
          KORVEL_CHECK(re.Exec(form), Show(form) + " not found by " + Show(pattern));
        }
      }
    }
  } catch (const ERegExpr& e) {
    korvel::fuzz::Fail(__FILE__, __LINE__, "plain query compiles", Show(pattern) + ": " + e.what());
  }
}

// Simplified and traditional alike: text without such characters is left as
// it is, and an expression that compiles still compiles once expanded.
void CheckVariants(std::string_view text) {
  const std::string expanded = ExpandVariants(text);
  bool variants = false;
  for (std::size_t i = 0, len = 0; i < text.size(); i += len)
    variants = variants || !VariantsOf(utf8::Decode(text, i, len)).empty();
  if (!variants) KORVEL_CHECK(expanded == text, Show(text) + " -> " + Show(expanded));
  if (!IsValidUtf8(text)) return;
  KORVEL_CHECK(IsValidUtf8(expanded), Show(text) + " -> " + Show(expanded));
  try {
    const TRegExpr original(std::string(text), true);
  } catch (const ERegExpr&) {
    return;
  }
  try {
    const TRegExpr re(expanded, true);
  } catch (const ERegExpr& e) {
    korvel::fuzz::Fail(__FILE__, __LINE__, "expanded expression compiles", Show(expanded) + ": " + e.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::fuzz::LoadInflectionTables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> parts = korvel::fuzz::SplitParts(input, 2);

  for (std::string_view part : parts) {
    KORVEL_CHECK(IsRegexQuery(part) == IsRegexQuery(Trim(part)), Show(part));
    const bool chinese = IsChinese(part);
    KORVEL_CHECK(chinese == IsChinese(Trim(part)), Show(part));
    // A CJK character needs a lead byte of at least 0xE3.
    if (chinese) {
      bool high = false;
      for (char c : part) high = high || static_cast<unsigned char>(c) >= 0xE3;
      KORVEL_CHECK(high, Show(part));
    }
    CheckExpansion(part);
    CheckVariants(part);
  }
  // Whether text holds Chinese does not depend on what stands beside it.
  if (IsValidUtf8(parts[0]) && IsValidUtf8(parts[1])) {
    const std::string joined = std::string(parts[0]) + " " + std::string(parts[1]);
    KORVEL_CHECK(IsChinese(joined) == (IsChinese(parts[0]) || IsChinese(parts[1])), Show(joined));
  }

  const std::vector<std::string> words = SplitItems(parts[0], ' ');
  for (std::size_t i = 0; i < words.size() && i < kMaxWords; ++i) CheckInflection(words[i]);
  return 0;
}
