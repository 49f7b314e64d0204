#include "CorpusFolder.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Errors.h"
#include "FileIO.h"

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

}  // namespace

std::vector<std::string> ListCorpusFolder(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) throw EKorvel("Cannot open folder \"" + DisplayPath(folder) + "\". " + std::strerror(errno));
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (EndsWithTxt(name) && IsRegularFile(prefix + std::string(name))) names.emplace_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());

  std::vector<std::string> listed;
  for (const std::string& name : names) {
    std::string twin = ChineseTwin(name);
    if (twin.empty() || !std::binary_search(names.begin(), names.end(), twin)) continue;
    listed.push_back(prefix + name);
    listed.push_back(prefix + twin);
  }
  return listed;
}

std::string PairLineCounts(const std::string& zhPath, std::size_t zhLines, const std::string& enPath,
                           std::size_t enLines) {
  auto name = [](const std::string& path) { return "\"" + DisplayPath(FileNamePart(path)) + "\""; };
  auto lines = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); };
  return name(zhPath) + " has " + lines(zhLines) + ", " + name(enPath) + " has " + std::to_string(enLines) + ".";
}

}  // namespace korvel
