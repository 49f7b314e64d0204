// Simplified and traditional characters alike: each character's variants in
// the other script, from OpenCC's character tables (built into the program),
// and an expression rewritten so its Chinese characters match them.
#ifndef KORVEL_VARIANTS_H
#define KORVEL_VARIANTS_H

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// The characters one simplified-traditional conversion away from c, either
// way, ascending, without c itself; empty when there are none (发 -> 發髮,
// 發 -> 发).
std::u32string_view VariantsOf(char32_t c);

// `expression` with every character that has variants, outside a class,
// replaced by the class of it and them (发 -> [发發髮]), and such a
// character listed in a class followed by its variants ([发展] ->
// [发發髮展]). The ends of a range, whatever follows a backslash (\x{53D1},
// \Q...\E) and POSIX classes stay as they are.
std::string ExpandVariants(std::string_view expression);

// Up to `limit` spellings of `text` with each of its characters or one of
// its variants, `text` itself first (發展 -> 發展, 发展, 髮展): a word list
// keyed in one script finds its words typed in the other.
std::vector<std::string> VariantSpellings(std::string_view text, std::size_t limit = 64);

}  // namespace korvel

#endif
