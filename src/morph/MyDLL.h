// MyDLL — English inflection, shipped as sys/libMyDLL.so with a C interface.
//
// LoadArrays prepares the tables once, before the first Inflection call;
// FreeArrays releases them after the last. Between the two, Inflection may be
// called from any number of threads at once: it only reads the tables.
//
// Inflection(word, forms): `word` is one UTF-8 word (letter case ignored);
// `forms` is the caller's buffer of at least 68 bytes. It receives the other
// forms of the word in lower case, each followed by "|" (at most 67 characters
// and a terminating NUL), or "" when the word has no other forms. A word the
// lexicon lacks gets the forms English spelling rules give it (through its
// base for mis-, re-, over- and the like, through its last part for a
// compound), never a word the lexicon lists; none for non-letters or words
// under 3 letters. The text never holds a pattern character other than "|",
// so the caller can append the word itself and use the whole as an
// alternation.
//
// The forms come from sys/english.lex beside the library (an installed
// library in lib/korvel/ reads share/korvel/sys/english.lex), or from the
// file the environment variable KORVEL_LEXICON names, read through its table
// (english.bin beside it, made when building, or one in the user's cache).
// LoadArrays returns nonzero when that file is missing or malformed;
// Inflection then answers "".
#ifndef KORVEL_MYDLL_H
#define KORVEL_MYDLL_H

#define MYDLL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

MYDLL_API int LoadArrays(void);
MYDLL_API int FreeArrays(void);
MYDLL_API void Inflection(const char* word, char* forms);

#ifdef __cplusplus
}
#endif

#endif
