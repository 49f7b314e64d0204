// Build step: a word list's table, so that LoadDictionaries maps it at once.
// Usage: korvel_make_word_table EN-ZH.txt EN-ZH.bin
#include <cstdio>

#include "Dictionary.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: korvel_make_word_table LIST TABLE\n");
    return 2;
  }
  using korvel::TDictionary;
  return korvel::tables::WriteTableFile(argv[1], argv[2], TDictionary::TableKind(), &TDictionary::MakeTableOfFile)
             ? 0
             : 1;
}
