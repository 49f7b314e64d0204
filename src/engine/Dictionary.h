// TDictionary — one name=value word list, read whole from a file.
//
// Names are compared without regard to case (ASCII letters and other cased
// letters; Chinese matches byte for byte). When a name occurs on several
// lines the last one wins. Lookups are hash lookups, fit for every keystroke.
// Immutable after loading: concurrent lookups are safe.
#ifndef KORVEL_DICTIONARY_H
#define KORVEL_DICTIONARY_H

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace korvel {

class TDictionary {
 public:
  // Replaces the list with the lines of `text` (UTF-8). The name is what
  // stands before the first "=", blanks included; lines without "=" are
  // held but never found.
  void Assign(std::string_view text);
  void Clear();

  std::size_t Count() const { return lines_.size(); }

  // The raw value (untrimmed) of the last line named `name`, or nullptr.
  const std::string* Find(std::string_view name) const;

 private:
  struct Line {
    std::string name;
    std::string value;
  };
  std::vector<Line> lines_;
  std::unordered_map<std::string, std::size_t> index_;
};

// The key both sides of a name comparison are reduced to.
std::string FoldCase(std::string_view text);

}  // namespace korvel

#endif
