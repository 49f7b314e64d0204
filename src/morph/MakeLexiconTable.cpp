// Build step: english.lex's table, so that LoadArrays maps it at once.
// Usage: korvel_make_lexicon_table english.lex english.bin
#include <cstdio>

#include "Lexicon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: korvel_make_lexicon_table LEXICON TABLE\n");
    return 2;
  }
  using korvel::morph::Lexicon;
  return korvel::tables::WriteTableFile(argv[1], argv[2], Lexicon::TableKind(), &Lexicon::Build) ? 0 : 1;
}
