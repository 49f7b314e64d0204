// Finding the English/Chinese pairs of a corpus folder. Stateless.
#ifndef KORVEL_CORPUSFOLDER_H
#define KORVEL_CORPUSFOLDER_H

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Position of `marker` (".EN." or ".ZH.") in the file-name part of `path`,
// or npos: a folder named "proj.EN.v2" does not make its files English.
std::size_t FindMarker(std::string_view path, std::string_view marker);

// The path with the first ".EN." of its file-name part replaced by ".ZH.";
// empty when it has none.
std::string ChineseTwin(std::string_view englishPath);

// Names in the Moses way, told by the file name's last extension in any
// letter case: ".en" is English, and its Chinese twin is the same path
// ending in ".zh", ".zh_cn", ".zh-cn" or ".cmn", preferred in that order.
bool IsMosesEnglish(std::string_view path);
// 0 to 3 for those four Chinese extensions, -1 for any other name.
int MosesChineseRank(std::string_view path);
// The path without its last extension, where a Moses pair's names agree.
std::string_view MosesStem(std::string_view path);

// Every English file of the folder that has a Chinese twin, each followed by
// that twin, and every TMX and TSV file on its own: the folder's own entries
// (not subfolders) that are regular files or links to them, in byte order
// of their names (an English file's). Text files are "NAME.EN.txt" with
// "NAME.ZH.txt" (".txt" in any letter case) and Moses pairs; a Chinese
// file is listed once, with the first English file it is a twin of.
// Throws when the folder cannot be read.
std::vector<std::string> ListCorpusFolder(const std::string& folder);
// The same arrangement of the files `paths` name (a user's choice of files):
// the pairs among them and each TMX and TSV file; nothing else, and no file
// that is not among them.
std::vector<std::string> ListCorpusFiles(std::vector<std::string> paths);

// How many names a listed path counts for where names must come in pairs:
// 2 for a TMX or TSV file, which holds both languages, 1 for any other.
std::size_t ListedEntryWeight(std::string_view path);

// "\"x.ZH.txt\" has 81 lines, \"x.EN.txt\" has 120.": why a pair's files do
// not align, in the words the window and the error details both use.
std::string PairLineCounts(const std::string& zhPath, std::size_t zhLines, const std::string& enPath,
                           std::size_t enLines);

}  // namespace korvel

#endif
