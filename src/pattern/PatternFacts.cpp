#include "PatternFacts.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "Utf8.h"

namespace korvel {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
// A bounded repetition wider than this is tried at every length at every
// start: as costly as an unbounded one over a group.
constexpr std::size_t kWideRepeat = 64;
constexpr std::size_t kMaxLiterals = 64;

enum class TKind { Char, Class, Assert, Edge, BackRef, Open, Close, Bar, Quant, Options, Verb };
enum class TGroup { Capture, NonCapture, Atomic, Lookaround, Special };

struct TToken {
  explicit TToken(TKind k) : kind(k) {}
  TKind kind;
  std::size_t at = 0, end = 0;  // bytes of the expression it was read from
  std::string text;             // Char: the character, when it may stand in a literal string
  bool literal = false;         // Char: `text` is usable; Edge: zero-width for literal strings
  bool spans = false;           // may match a line break
  TGroup group = TGroup::Capture;
  std::size_t min = 0, max = 0;  // Quant; max kNone when unbounded
  bool questionMark = false;     // Quant: written "?"
  std::size_t possessiveAt = kNone;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Characters whose case a byte comparison can follow: ASCII, and CJK text,
// which has none (other letters fold under the matcher, É/é).
bool CaseFree(char32_t cp) {
  return cp < 0x80 || (cp >= 0x3000 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0x20000 && cp <= 0x3FFFF);
}

std::size_t Number(std::string_view p, std::size_t& i) {
  std::size_t n = 0;
  for (; i < p.size() && IsDigit(p[i]); ++i)
    if (n <= 100000) n = n * 10 + static_cast<std::size_t>(p[i] - '0');  // past that, "big" is enough
  return n;
}

// {n}, {n,} or {n,m} at `i`.
bool ReadBraces(std::string_view p, std::size_t i, TToken& t) {
  std::size_t j = i + 1;
  if (j >= p.size() || !IsDigit(p[j])) return false;
  t.min = Number(p, j);
  t.max = t.min;
  if (j < p.size() && p[j] == ',') {
    ++j;
    t.max = j < p.size() && IsDigit(p[j]) ? Number(p, j) : kNone;
  }
  if (j >= p.size() || p[j] != '}') return false;
  t.end = j + 1;
  return true;
}

// Past a class "[...]" that starts at `i`.
std::size_t SkipClass(std::string_view p, std::size_t i, bool& spans) {
  std::size_t j = i + 1;
  spans = j < p.size() && p[j] == '^';  // a negated class takes line breaks
  if (spans) ++j;
  if (j < p.size() && p[j] == ']') ++j;  // a "]" first is a member
  while (j < p.size()) {
    const char c = p[j];
    if (c == '\\') {
      spans = true;  // \s, \W, \n, \x0A...: not worth telling apart
      j += 1 + (j + 1 < p.size() ? utf8::CharLength(p, j + 1) : 0);
    } else if (c == '[' && j + 1 < p.size() && p[j + 1] == ':') {
      spans = true;
      const std::size_t e = p.find(":]", j + 2);
      j = e == kNone ? j + 1 : e + 2;
    } else if (c == ']') {
      return j + 1;
    } else {
      if (static_cast<unsigned char>(c) < 0x20) spans = true;
      j += utf8::CharLength(p, j);
    }
  }
  return p.size();
}

// Past a name or number in <>, '', {} or plain digits, as after \g or \k.
std::size_t SkipReference(std::string_view p, std::size_t i) {
  if (i >= p.size()) return i;
  const char open = p[i];
  const char close = open == '<' ? '>' : open == '\'' ? '\'' : open == '{' ? '}' : '\0';
  if (close) {
    const std::size_t e = p.find(close, i + 1);
    return e == kNone ? p.size() : e + 1;
  }
  if (open == '-' || open == '+') ++i;
  while (i < p.size() && IsDigit(p[i])) ++i;
  return i;
}

// One escape at `i` (a backslash); nullopt for one that is no item (\E).
std::optional<TToken> ReadEscape(std::string_view p, std::size_t i) {
  TToken t{TKind::Char};
  t.at = i;
  if (i + 1 >= p.size()) {
    t.end = p.size();
    return t;
  }
  const char e = p[i + 1];
  t.end = i + 2;
  auto hexValue = [&](std::size_t from, std::size_t to) {
    unsigned long v = 0;
    for (std::size_t k = from; k < to; ++k) {
      const char c = p[k];
      const int d = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
      if (d < 0) break;
      v = v * 16 + static_cast<unsigned long>(d);
    }
    return v;
  };
  switch (e) {
    case 'Q': {
      const std::size_t close = p.find("\\E", i + 2);
      t.end = close == kNone ? p.size() : close + 2;
      const std::string_view quoted = p.substr(i + 2, (close == kNone ? p.size() : close) - i - 2);
      if (quoted.empty()) return std::nullopt;
      t.spans = quoted.find_first_of("\r\n") != kNone;
      return t;
    }
    case 'E':
      return std::nullopt;
    case 'b':
    case 'B':
      t.kind = TKind::Assert;
      t.literal = true;
      return t;
    case 'A':
    case 'Z':
    case 'z':
      t.kind = TKind::Edge;
      t.literal = true;
      return t;
    case 'G':
    case 'K':
      t.kind = TKind::Edge;
      return t;
    case 'g':
    case 'k':
      t.kind = TKind::BackRef;
      t.end = SkipReference(p, i + 2);
      return t;
    case 'x': {
      std::size_t from = i + 2, to = from;
      if (from < p.size() && p[from] == '{') {
        const std::size_t close = p.find('}', ++from);
        to = close == kNone ? p.size() : close;
        t.end = close == kNone ? p.size() : close + 1;
      } else {
        while (to < p.size() && to < from + 2 && std::isxdigit(static_cast<unsigned char>(p[to]))) ++to;
        t.end = to;
      }
      const unsigned long v = hexValue(from, to);
      t.spans = v == 0x0A || v == 0x0D;
      return t;
    }
    case 'o':
    case 'N':
    case 'p':
    case 'P':
      if (i + 2 < p.size() && p[i + 2] == '{') {
        const std::size_t close = p.find('}', i + 3);
        t.end = close == kNone ? p.size() : close + 1;
      } else if (e == 'p' || e == 'P') {
        t.end = std::min(p.size(), i + 3);
      }
      t.kind = e == 'o' || (e == 'N' && t.end > i + 2) ? TKind::Char : TKind::Class;
      t.spans = e != 'N' || t.end > i + 2;
      return t;
    case 'c':
      t.end = std::min(p.size(), i + 3);
      t.spans = t.end == i + 3 && std::string_view("jJmM").find(p[i + 2]) != kNone;
      return t;
    case 'n':
    case 'r':
      t.spans = true;
      return t;
    case 'd':
    case 'w':
    case 'h':
    case 'S':
    case 'V':
      t.kind = TKind::Class;
      return t;
    case 'D':
    case 'W':
    case 's':
    case 'v':
    case 'H':
    case 'R':
    case 'X':
    case 'C':
      t.kind = TKind::Class;
      t.spans = true;
      return t;
    default:
      break;
  }
  if (IsDigit(e)) {
    std::size_t j = i + 1;
    Number(p, j);
    t.end = j;
    t.kind = e == '0' ? TKind::Char : TKind::BackRef;  // \0 starts an octal character
    return t;
  }
  if (static_cast<unsigned char>(e) >= 0x80) {
    t.end = i + 1 + utf8::CharLength(p, i + 1);
    return t;
  }
  // An escaped sign stands for itself; an unknown letter too, but it is
  // no text for a literal string.
  t.literal = !IsLetter(e);
  t.text = std::string(1, e);
  return t;
}

// A group's opening at `i`, or a verb, option setting, callout, call or
// comment written as one; nullopt for a comment.
std::optional<TToken> ReadParen(std::string_view p, std::size_t i) {
  TToken t{TKind::Open};
  t.at = i;
  t.end = i + 1;
  if (p.substr(i, 3) == "(?#") {
    return std::nullopt;
  }
  auto toClose = [&] {
    const std::size_t close = p.find(')', i);
    t.end = close == kNone ? p.size() : close + 1;
  };
  if (p.substr(i, 2) == "(*") {
    const std::size_t stop = p.find_first_of(":)", i + 2);
    if (stop != kNone && p[stop] == ':') {  // a lookaround by name, or a verb's argument
      t.group = TGroup::Special;
      t.end = stop + 1;
    } else {
      t.kind = TKind::Verb;
      t.end = stop == kNone ? p.size() : stop + 1;
    }
    return t;
  }
  if (p.substr(i, 2) != "(?") return t;
  const std::string_view rest = p.substr(i + 2);
  t.end = i + 3;
  if (rest.starts_with(":")) {
    t.group = TGroup::NonCapture;
  } else if (rest.starts_with(">")) {
    t.group = TGroup::Atomic;
  } else if (rest.starts_with("=") || rest.starts_with("!")) {
    t.group = TGroup::Lookaround;
  } else if (rest.starts_with("<=") || rest.starts_with("<!")) {
    t.group = TGroup::Lookaround;
    t.end = i + 4;
  } else if (rest.starts_with("<") || rest.starts_with("'") || rest.starts_with("P<")) {
    const char close = rest.starts_with("'") ? '\'' : '>';
    const std::size_t e = p.find(close, i + 3);
    t.end = e == kNone ? p.size() : e + 1;
  } else if (rest.starts_with("|") || rest.starts_with("(")) {
    t.group = TGroup::Special;  // branch reset, condition
  } else if (rest.starts_with("C")) {
    t.kind = TKind::Verb;  // a callout
    toClose();
  } else if (rest.starts_with("R") || rest.starts_with("&") || rest.starts_with("P=") || rest.starts_with("P>") ||
             rest.starts_with("+") || (!rest.empty() && IsDigit(rest[0])) ||
             (rest.size() > 1 && rest[0] == '-' && IsDigit(rest[1]))) {
    t.kind = TKind::BackRef;  // recursion, a subroutine call or a named reference
    toClose();
  } else {
    std::size_t j = i + 2;
    while (j < p.size() && (IsLetter(p[j]) || p[j] == '-' || p[j] == '^')) ++j;
    if (j < p.size() && p[j] == ')') {
      t.kind = TKind::Options;
      t.end = j + 1;
    } else {
      t.group = TGroup::Special;  // options for a group: (?i:...)
      t.end = j < p.size() ? j + 1 : p.size();
    }
  }
  return t;
}

std::vector<TToken> Tokenize(std::string_view p) {
  std::vector<TToken> tokens;
  for (std::size_t i = 0; i < p.size();) {
    const char c = p[i];
    std::optional<TToken> t;
    switch (c) {
      case '\\':
        t = ReadEscape(p, i);
        if (!t) {  // "\E" alone, or an empty quote "\Q\E": no item
          const std::size_t close = p.find("\\E", i);
          i = close == kNone ? p.size() : close + 2;
        }
        break;
      case '(':
        t = ReadParen(p, i);
        if (!t) {
          const std::size_t close = p.find(')', i);
          i = close == kNone ? p.size() : close + 1;
        }
        break;
      case '[':
        t = TToken{TKind::Class};
        t->at = i;
        t->end = SkipClass(p, i, t->spans);
        break;
      case ')':
        t = TToken{TKind::Close};
        break;
      case '|':
        t = TToken{TKind::Bar};
        break;
      case '.':
        t = TToken{TKind::Class};
        t->spans = true;
        break;
      case '^':
      case '$':
        t = TToken{TKind::Edge};
        t->literal = true;
        break;
      case '*':
      case '+':
      case '?':
        t = TToken{TKind::Quant};
        t->min = c == '+' ? 1 : 0;
        t->max = c == '?' ? 1 : kNone;
        t->questionMark = c == '?';
        break;
      case '{':
        t = TToken{TKind::Quant};
        if (!ReadBraces(p, i, *t)) t = TToken{TKind::Char};  // a brace that repeats nothing
        break;
      default: {
        t = TToken{TKind::Char};
        std::size_t len = 0;
        const char32_t cp = utf8::Decode(p, i, len);
        t->end = i + len;
        t->spans = c == '\n' || c == '\r';
        // "]" and "}" alone are text to the matcher, but a reader might
        // take them for syntax: no literal string is built on them.
        const bool valid = len > 1 || cp < 0x80;
        t->literal = valid && CaseFree(cp) && c != ']' && c != '}';
        if (t->literal) t->text = std::string(p.substr(i, len));
      }
    }
    if (!t) continue;
    t->at = i;
    if (t->end <= i) t->end = i + 1;
    if (t->kind == TKind::Quant) {  // a lazy or possessive form
      if (t->end < p.size() && p[t->end] == '?') {
        ++t->end;
      } else if (t->end < p.size() && p[t->end] == '+') {
        t->possessiveAt = t->end++;
      }
    }
    i = t->end;
    tokens.push_back(std::move(*t));
  }
  return tokens;
}

TShape ShapeOf(const std::vector<TToken>& tokens) {
  int variable = 0;
  bool singleAtom = false;  // the item before a quantifier is one character or class
  for (const TToken& t : tokens) {
    switch (t.kind) {
      case TKind::Char:
      case TKind::Class:
      case TKind::Assert:
      case TKind::Edge:
        singleAtom = true;
        break;
      case TKind::Quant:
        if (t.questionMark) {
        } else if (t.max == t.min) {  // a fixed count: "(.*a){12}" nests its group twelve deep
          if (!singleAtom) return TShape::Heavy;
        } else {
          ++variable;
          if (!singleAtom || (t.max != kNone && t.max > kWideRepeat) || variable >= 2) return TShape::Heavy;
        }
        singleAtom = false;
        break;
      case TKind::Open:
        if (t.group == TGroup::Lookaround || t.group == TGroup::Special) return TShape::Heavy;
        singleAtom = false;
        break;
      case TKind::BackRef:
      case TKind::Verb:
        return TShape::Heavy;
      default:
        singleAtom = false;
    }
  }
  return variable == 1 ? TShape::Single : TShape::Linear;
}

// The strings of which every match holds one, for an expression of literal
// text, plain groups, "|" and zero-width assertions.
class TLiterals {
 public:
  explicit TLiterals(const std::vector<TToken>& tokens) : t_(tokens) {}

  std::optional<std::vector<std::string>> Run() {
    auto all = Alternation();
    if (!all || at_ != t_.size() || all->empty()) return std::nullopt;
    for (const std::string& s : *all)
      if (s.empty()) return std::nullopt;  // an empty alternative matches anywhere
    return all;
  }

 private:
  std::optional<std::vector<std::string>> Alternation() {
    std::vector<std::string> all;
    for (;;) {
      auto seq = Sequence();
      if (!seq) return std::nullopt;
      all.insert(all.end(), seq->begin(), seq->end());
      if (all.size() > kMaxLiterals) return std::nullopt;
      if (at_ < t_.size() && t_[at_].kind == TKind::Bar) {
        ++at_;
        continue;
      }
      return all;
    }
  }

  std::optional<std::vector<std::string>> Sequence() {
    std::vector<std::string> strings{""};
    while (at_ < t_.size() && t_[at_].kind != TKind::Bar && t_[at_].kind != TKind::Close) {
      const TToken& t = t_[at_++];
      std::vector<std::string> item;
      if (t.kind == TKind::Open && (t.group == TGroup::Capture || t.group == TGroup::NonCapture)) {
        auto inner = Alternation();
        if (!inner || at_ >= t_.size() || t_[at_].kind != TKind::Close) return std::nullopt;
        ++at_;
        item = std::move(*inner);
      } else if ((t.kind == TKind::Assert || t.kind == TKind::Edge) && t.literal) {
        continue;  // zero-width
      } else if (t.kind == TKind::Char && t.literal) {
        item = {t.text};
      } else {
        return std::nullopt;
      }
      // A quantifier after the item makes it optional or repeated.
      if (at_ < t_.size() && t_[at_].kind == TKind::Quant) return std::nullopt;
      std::vector<std::string> product;
      for (const std::string& s : strings)
        for (const std::string& x : item) product.push_back(s + x);
      if (product.size() > kMaxLiterals) return std::nullopt;
      strings = std::move(product);
    }
    return strings;
  }

  const std::vector<TToken>& t_;
  std::size_t at_ = 0;
};

}  // namespace

TPatternFacts AnalyzePattern(std::string_view expression) {
  const std::vector<TToken> tokens = Tokenize(expression);
  TPatternFacts facts;
  for (const TToken& t : tokens) {
    if (t.kind != TKind::Verb) break;
    const std::string_view verb = expression.substr(t.at + 2, t.end - t.at - 3);
    for (std::string_view unsafe : {"NO_JIT", "NO_START_OPT", "NO_AUTO_POSSESS", "NO_DOTSTAR_ANCHOR"})
      if (verb == unsafe && facts.UnsafeVerb.empty()) {
        facts.UnsafeVerb = std::string(verb);
        facts.UnsafeVerbAt = t.at;
      }
  }
  facts.LooksAtEdges = false;
  facts.MaySpanLines = false;
  for (const TToken& t : tokens) {
    if (t.possessiveAt != kNone && facts.Possessive == kNone) facts.Possessive = t.possessiveAt;
    const bool special = t.kind == TKind::Verb || t.kind == TKind::Options || t.kind == TKind::BackRef ||
                         (t.kind == TKind::Open && (t.group == TGroup::Lookaround || t.group == TGroup::Special));
    if (special || t.kind == TKind::Edge) facts.LooksAtEdges = true;
    if (special || t.spans) facts.MaySpanLines = true;
  }
  facts.Shape = ShapeOf(tokens);
  facts.Literals = TLiterals(tokens).Run();
  return facts;
}

}  // namespace korvel
