// Table files — a text file's parsed form, kept in a file of its own that is
// mapped instead of parsed on every start.
//
// A table has a fixed header (magic, kind, format version, the source's
// size, mtime and hashes, the payload's size and XXH3 hash) and a payload
// only its kind's reader understands. The text stays the source of truth: a
// table whose stamp no longer matches its source, or that fails any check,
// is ignored, and the caller's parser rebuilds it. A table is looked for
// beside the source (made when building) and then in the user's cache
// ($XDG_CACHE_HOME/korvel/<folder>/, or ~/.cache/korvel/<folder>/), where
// one made on first use is written atomically, folder 0700, file 0600.
//
// Stateless functions; safe from any thread. A TTable owns its bytes (a
// mapping or a string) and may be copied and read from any thread.
#ifndef KORVEL_TABLEFILE_H
#define KORVEL_TABLEFILE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::tables {

// A payload and whatever keeps its bytes alive.
struct TTable {
  std::shared_ptr<const void> owner;
  std::string_view payload;
  explicit operator bool() const { return owner != nullptr; }
};

// What a kind of table is: its four-letter tag, its payload's format
// version, and where its cache goes.
struct TTableKind {
  std::uint32_t tag;
  std::uint32_t version;
  const char* cacheFolder;  // under $XDG_CACHE_HOME/korvel/
  // Sources smaller than this are parsed each time: no file is worth it.
  std::size_t minCachedBytes = 64 * 1024;
};

// Turns a source's bytes into a payload, or nullopt when they are malformed
// (then nothing is cached). May throw; the throw reaches the caller.
using TParseFn = std::function<std::optional<std::string>(std::string_view source)>;

// Takes a table to the reader's form, or refuses it (false) when its
// payload does not hold together.
using TAdoptFn = std::function<bool(TTable table)>;

// Hands `adopt` the source's table: the one at `beside` when it matches the
// source, else the cached one, else one parsed from the source (and cached
// when large enough). A table `adopt` refuses is passed over as a damaged
// one is. An empty `beside` skips that place. False when the source cannot
// be read, `parse` refuses it, or `adopt` refuses even the fresh table.
bool OpenOrParse(const std::string& source, const std::string& beside, const TTableKind& kind,
                 const TParseFn& parse, const TAdoptFn& adopt);

// Parses `source` into a table file at `out`, for the build; false (with a
// message on stderr) on failure.
bool WriteTableFile(const std::string& source, const std::string& out, const TTableKind& kind,
                    const TParseFn& parse);

// Where the cache keeps the source's table, or "" with no cache folder.
std::string CachePath(const std::string& source, const TTableKind& kind);

// XXH3 of the bytes.
std::uint64_t Hash(std::string_view bytes);

// Creates the folder and its missing parents, the new ones private to the
// user (0700); false when that fails or a non-folder is in the way.
bool MakeFolders(const std::string& dir);

}  // namespace korvel::tables

#endif
