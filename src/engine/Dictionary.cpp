#include "Dictionary.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unicode/uvernum.h>

#include "FileIO.h"
#include "TextDecode.h"

namespace korvel {

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      char c = static_cast<char>(s[i++]);
      out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
      continue;
    }
    int32_t start = i;
    UChar32 cp = 0;
    U8_NEXT(s, i, n, cp);
    if (cp < 0) {
      out.append(text.substr(start, i - start));
      continue;
    }
    UChar32 upper = u_toupper(cp);
    char buf[4];
    int32_t len = 0;
    U8_APPEND_UNSAFE(reinterpret_cast<uint8_t*>(buf), len, upper);
    out.append(buf, len);
  }
  return out;
}

namespace {

// Bump when the table's layout changes. Folding comes from ICU, so a table
// made with another ICU is not trusted either.
constexpr std::uint32_t kTableVersion = 1 * 1000 + U_ICU_VERSION_MAJOR_NUM;

struct Header {
  std::uint32_t lines, entries;
};

}  // namespace

std::string TablePath(const std::string& listPath) {
  const std::string_view p(listPath);
  return (p.ends_with(".txt") ? listPath.substr(0, p.size() - 4) : listPath) + ".bin";
}

const tables::TTableKind& TDictionary::TableKind() {
  static const tables::TTableKind kind{0x4c445257 /* "WRDL" */, kTableVersion, "dic"};
  return kind;
}

std::string TDictionary::MakeTable(std::string_view text) {
  struct Named {
    std::string key;
    std::string_view value;
    std::uint32_t line;
  };
  std::vector<Named> named;
  std::uint32_t lines = 0;
  ForEachLine(text, [&](std::string_view line) {
    ++lines;
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) named.push_back({FoldCase(line.substr(0, eq)), line.substr(eq + 1), lines});
  });
  // Later lines win: of equal keys the last is kept.
  std::sort(named.begin(), named.end(),
            [](const Named& a, const Named& b) { return a.key != b.key ? a.key < b.key : a.line > b.line; });
  named.erase(std::unique(named.begin(), named.end(), [](const Named& a, const Named& b) { return a.key == b.key; }),
              named.end());

  std::vector<Entry> entries;
  entries.reserve(named.size());
  std::string pool;
  for (const Named& n : named) {
    Entry e{};
    e.name = static_cast<std::uint32_t>(pool.size());
    e.nameSize = static_cast<std::uint32_t>(n.key.size());
    pool += n.key;
    e.value = static_cast<std::uint32_t>(pool.size());
    e.valueSize = static_cast<std::uint32_t>(n.value.size());
    pool += n.value;
    entries.push_back(e);
  }
  const Header h{lines, static_cast<std::uint32_t>(entries.size())};
  std::string table(reinterpret_cast<const char*>(&h), sizeof h);
  table.append(reinterpret_cast<const char*>(entries.data()), entries.size() * sizeof(Entry));
  table += pool;
  return table;
}

std::optional<std::string> TDictionary::MakeTableOfFile(std::string_view bytes) {
  return MakeTable(DecodeText(std::string(bytes)));
}

bool TDictionary::Adopt(tables::TTable table) {
  Clear();
  const std::string_view t = table.payload;
  Header h{};
  if (t.size() < sizeof h) return false;
  std::memcpy(&h, t.data(), sizeof h);
  if ((t.size() - sizeof h) / sizeof(Entry) < h.entries) return false;
  const auto* entries = reinterpret_cast<const Entry*>(t.data() + sizeof h);
  const std::string_view pool = t.substr(sizeof h + std::size_t{h.entries} * sizeof(Entry));
  // Checked once here, so a lookup never reads outside the table.
  for (std::uint32_t i = 0; i < h.entries; ++i) {
    const Entry& e = entries[i];
    if (e.name > pool.size() || e.nameSize > pool.size() - e.name || e.value > pool.size() ||
        e.valueSize > pool.size() - e.value)
      return false;
  }
  table_ = std::move(table);
  entries_ = entries;
  entryCount_ = h.entries;
  pool_ = pool;
  lines_ = h.lines;
  return true;
}

void TDictionary::Clear() {
  table_ = {};
  entries_ = nullptr;
  entryCount_ = 0;
  pool_ = {};
  lines_ = 0;
}

void TDictionary::Assign(std::string_view text) {
  auto owned = std::make_shared<std::string>(MakeTable(text));
  Adopt({owned, *owned});
}

void TDictionary::Load(const std::string& path) {
  // No table (an unreadable file): the text path, which says why it failed.
  if (!tables::OpenOrParse(path, TablePath(path), TableKind(), &MakeTableOfFile,
                           [this](tables::TTable t) { return Adopt(std::move(t)); }))
    Assign(ReadTextFile(path));
}

std::optional<std::string_view> TDictionary::Find(std::string_view name) const {
  const std::string key = FoldCase(name);
  const Entry* end = entries_ + entryCount_;
  const Entry* it = std::lower_bound(entries_, end, key, [&](const Entry& e, const std::string& k) {
    return pool_.substr(e.name, e.nameSize) < k;
  });
  if (it == end || pool_.substr(it->name, it->nameSize) != key) return std::nullopt;
  return pool_.substr(it->value, it->valueSize);
}

}  // namespace korvel
