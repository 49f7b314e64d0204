// TDictionary — one name=value word list, read whole from a file.
//
// Names are compared without regard to case (ASCII letters and other cased
// letters; Chinese matches byte for byte). When a name occurs on several
// lines the last one wins. The list is held as a table sorted by folded
// name, mapped from a file made beside the list when building, or on first
// use in the user's cache (TableFile.h); a lookup is a binary search, fit
// for every keystroke. Immutable after loading: concurrent lookups are safe.
#ifndef KORVEL_DICTIONARY_H
#define KORVEL_DICTIONARY_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "TableFile.h"

namespace korvel {

class TDictionary {
 public:
  // Replaces the list with the lines of `text` (UTF-8). The name is what
  // stands before the first "=", blanks included; lines without "=" are
  // held but never found.
  void Assign(std::string_view text);
  // Replaces the list with the file's, decoded as ReadTextFile decodes it,
  // through its table when a valid one exists (TablePath, then the cache).
  // Throws as ReadTextFile does.
  void Load(const std::string& path);
  void Clear();

  // Lines of the list, found or not.
  std::size_t Count() const { return lines_; }

  // The raw value (untrimmed) of the last line named `name`.
  std::optional<std::string_view> Find(std::string_view name) const;

  // The table of a list's text, of a list file's bytes (decoded first), and
  // what kind of table file holds it.
  static std::string MakeTable(std::string_view text);
  static std::optional<std::string> MakeTableOfFile(std::string_view bytes);
  static const tables::TTableKind& TableKind();

 private:
  struct Entry {
    std::uint32_t name, nameSize, value, valueSize;  // in pool_
  };
  bool Adopt(tables::TTable table);

  tables::TTable table_;
  const Entry* entries_ = nullptr;
  std::size_t entryCount_ = 0;
  std::string_view pool_;
  std::size_t lines_ = 0;
};

// Where the build puts a list's table: beside it, ".txt" made ".bin".
std::string TablePath(const std::string& listPath);

// The key both sides of a name comparison are reduced to.
std::string FoldCase(std::string_view text);

}  // namespace korvel

#endif
