// Writes a workbook with limits far below Excel's, so that check_exports.py
// sees hits go on to another sheet and lines cut without a million rows.
// Usage: korvel_small_xlsx CORPUS QUERY OUT SHEET-ROWS CELL-UNITS
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "CorpusFolder.h"
#include "Highlight.h"
#include "unKorvel.h"
#include "writers/Xlsx.h"

int main(int argc, char** argv) {
  using namespace korvel;
  if (argc != 6) {
    std::cerr << "usage: korvel_small_xlsx CORPUS QUERY OUT SHEET-ROWS CELL-UNITS\n";
    return 2;
  }
  try {
    TKorvel engine;
    engine.SetInflector([](const std::string&) { return std::string(); });
    std::vector<std::string> files = ListCorpusFolder(argv[1]);
    engine.SetFiles(files);
    engine.Search(argv[2], false);
    THighlighter marks(engine.FilePairs(), engine.Result());
    TXlsxWriter(std::strtoul(argv[4], nullptr, 10), std::strtoul(argv[5], nullptr, 10))
        .Write(argv[3], engine.FilePairs(), engine.Data(), engine.Result(), marks);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
