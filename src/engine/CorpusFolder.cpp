#include "CorpusFolder.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "Errors.h"
#include "FileIO.h"
#include "sources/Source.h"

namespace korvel {

std::size_t FindMarker(std::string_view path, std::string_view marker) {
  std::size_t nameStart = path.size() - FileNamePart(path).size();
  return path.find(marker, nameStart);
}

std::string ChineseTwin(std::string_view englishPath) {
  std::size_t at = FindMarker(englishPath, ".EN.");
  if (at == std::string_view::npos) return {};
  std::string twin(englishPath);
  twin.replace(at, 4, ".ZH.");
  return twin;
}

namespace {

bool EndsWithTxt(std::string_view name) {
  if (name.size() < 4) return false;
  std::string_view ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 't' && (ext[2] | 0x20) == 'x' && (ext[3] | 0x20) == 't';
}

// The last extension of the file name, without its dot; empty without one.
std::string_view LastExtension(std::string_view path) {
  const std::string_view name = FileNamePart(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if ((a[i] >= 'A' && a[i] <= 'Z' ? a[i] | 0x20 : a[i]) != lower[i]) return false;
  return true;
}

}  // namespace

bool IsMosesEnglish(std::string_view path) {
  const std::string_view ext = LastExtension(path);
  return !ext.empty() && EqualsNoCase(ext, "en");
}

int MosesChineseRank(std::string_view path) {
  const std::string_view ext = LastExtension(path);
  if (ext.empty()) return -1;
  int rank = 0;
  for (std::string_view chinese : {"zh", "zh_cn", "zh-cn", "cmn"}) {
    if (EqualsNoCase(ext, chinese)) return rank;
    ++rank;
  }
  return -1;
}

std::string_view MosesStem(std::string_view path) {
  const std::size_t nameStart = path.size() - FileNamePart(path).size();
  const std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos || dot < nameStart ? path : path.substr(0, dot);
}

std::size_t ListedEntryWeight(std::string_view path) { return SourceKindOf(path) == TSourceKind::Text ? 1 : 2; }

namespace {

// The corpus entries among `names` (sorted, distinct), each as prefix + name.
std::vector<std::string> ListCorpusNames(const std::vector<std::string>& names, const std::string& prefix) {
  // Each stem's Moses Chinese names, the preferred last, so that a twin
  // taken is gone for any later English name of the same stem.
  std::map<std::string_view, std::vector<std::string_view>> mosesChinese;
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    if (MosesChineseRank(*it) >= 0) mosesChinese[MosesStem(*it)].push_back(*it);
  for (auto& [stem, twins] : mosesChinese)
    std::stable_sort(twins.begin(), twins.end(),
                     [](std::string_view a, std::string_view b) { return MosesChineseRank(a) > MosesChineseRank(b); });

  std::vector<std::string> listed;
  for (const std::string& name : names) {
    if (SourceKindOf(name) != TSourceKind::Text) {
      listed.push_back(prefix + name);
      continue;
    }
    if (IsMosesEnglish(name)) {
      auto twins = mosesChinese.find(MosesStem(name));
      if (twins == mosesChinese.end() || twins->second.empty()) continue;
      listed.push_back(prefix + name);
      listed.push_back(prefix + std::string(twins->second.back()));
      twins->second.pop_back();
      continue;
    }
    if (!EndsWithTxt(name)) continue;
    std::string twin = ChineseTwin(name);
    if (twin.empty() || !std::binary_search(names.begin(), names.end(), twin)) continue;
    listed.push_back(prefix + name);
    listed.push_back(prefix + twin);
  }
  return listed;
}

bool IsCorpusName(std::string_view name) {
  return EndsWithTxt(name) || IsMosesEnglish(name) || MosesChineseRank(name) >= 0 ||
         SourceKindOf(name) != TSourceKind::Text;
}

}  // namespace

std::vector<std::string> ListCorpusFolder(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) throw EKorvel(TMessage{"Cannot open folder \"%1\". %2", {DisplayPath(folder), std::strerror(errno)}});
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (IsCorpusName(name) && IsRegularFile(prefix + std::string(name))) names.emplace_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return ListCorpusNames(names, prefix);
}

std::vector<std::string> ListCorpusFiles(std::vector<std::string> paths) {
  std::erase_if(paths, [](const std::string& p) { return !IsCorpusName(FileNamePart(p)) || !IsRegularFile(p); });
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return ListCorpusNames(paths, "");
}

std::string PairLineCounts(const std::string& zhPath, std::size_t zhLines, const std::string& enPath,
                           std::size_t enLines) {
  auto name = [](const std::string& path) { return "\"" + DisplayPath(FileNamePart(path)) + "\""; };
  auto lines = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); };
  return name(zhPath) + " has " + lines(zhLines) + ", " + name(enPath) + " has " + std::to_string(enLines) + ".";
}

}  // namespace korvel
