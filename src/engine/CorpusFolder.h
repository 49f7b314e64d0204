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

// Every English file of the folder that has a Chinese twin, each followed by
// that twin: the folder's own entries (not subfolders) whose names end in
// ".txt" in any letter case and that are regular files or links to them, in
// byte order of their names. Throws when the folder cannot be read.
std::vector<std::string> ListCorpusFolder(const std::string& folder);

// "\"x.ZH.txt\" has 81 lines, \"x.EN.txt\" has 120.": why a pair's files do
// not align, in the words the window and the error details both use.
std::string PairLineCounts(const std::string& zhPath, std::size_t zhLines, const std::string& enPath,
                           std::size_t enLines);

}  // namespace korvel

#endif
