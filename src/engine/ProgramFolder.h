// Where the program's own files are: sys/, dic/ and samples/. A program
// folder (the build tree's bin/, or a copy of it) holds them beside the
// executable; an installed copy keeps them in ../share/korvel beside bin/.
// Resolved once; safe from any thread.
#ifndef KORVEL_PROGRAMFOLDER_H
#define KORVEL_PROGRAMFOLDER_H

#include <string>

namespace korvel {

// The folder of sys/, dic/ and samples/, with a trailing "/".
const std::string& DataDir();

// True when the data sits in ../share/korvel: the executable's folder is
// then no place to write to.
bool IsInstalled();

// The inflection lexicon MyDLL reads: the file KORVEL_LEXICON names, else
// DataDir()'s sys/english.lex.
std::string LexiconPath();

// MyDLL's LoadArrays, or "Cannot open file "...". <reason>" when its lexicon
// cannot be loaded: the program does not run with lemmatisation off.
void LoadInflectionTables();

}  // namespace korvel

#endif
