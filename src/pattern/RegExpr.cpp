#include "RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <string>

namespace korvel {
namespace {

// Bounds that turn a catastrophic pattern into an error instead of a hang.
// At 5,000,000 steps ".*.*.*=" took over three seconds to give up.
constexpr uint32_t kMatchLimit = 1'000'000;
constexpr uint32_t kDepthLimit = 100'000;
// PCRE2 counts its match limit afresh at every start position, and its JIT
// does not count the steps of a one-character repetition at all, so neither
// bounds a walk. Guarded code has a callout before every item that charges
// the distance moved since the last one, plus what the callout itself costs
// (some 5 ns against about 1 ns a character moved). A walk over one input
// may charge this much in all: about 10 ms on a short line, under half a
// second on a line of 50 MB.
constexpr std::size_t kCalloutCharge = 2;
constexpr std::size_t kStepFloor = 10'000'000;
constexpr std::size_t kStepsPerByte = 12;
// With one repetition of varying length a walk costs at most the square of
// the input: below this length that is less than the floor, and the plain
// code is three times faster. Heavier shapes are guarded at every length.
constexpr std::size_t kGuardedInputAtLeast = 1024;
// The JIT counts some callouts as steps: a long line needs room for them.
constexpr uint32_t kGuardedMatchLimit = 20 * kMatchLimit;
// A bounded repetition wider than this is tried at every length at every
// start: a heavy backtracker too.
constexpr unsigned long kWideRepeat = 64;
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 8 * 1024 * 1024;

std::size_t CharCount(std::string_view text, std::size_t byteOffset) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < byteOffset && i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
  return count;
}

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) return "unknown error " + std::to_string(code);
  return reinterpret_cast<const char*>(buffer);
}

[[noreturn]] void ThrowCompileError(const std::string& reason, std::string_view expr, std::size_t byteOffset) {
  throw ERegExpr(reason, CharCount(expr, byteOffset));
}

std::size_t SkipClass(std::string_view p, std::size_t i) {
  std::size_t j = i + 1;
  if (j < p.size() && p[j] == '^') ++j;
  if (j < p.size() && p[j] == ']') ++j;  // a "]" first is a member
  while (j < p.size()) {
    char c = p[j];
    if (c == '\\') {
      j += 1 + (j + 1 < p.size() ? TRegExpr::CharLength(p, j + 1) : 0);
    } else if (c == '[' && j + 1 < p.size() && p[j + 1] == ':') {
      std::size_t e = p.find(":]", j + 2);
      j = (e == std::string_view::npos) ? j + 1 : e + 2;
    } else if (c == ']') {
      return j + 1;
    } else {
      j += TRegExpr::CharLength(p, j);
    }
  }
  return p.size();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// {n}, {n,} or {n,m}; sets `end` past the closing brace.
bool IsBraceQuantifier(std::string_view p, std::size_t i, std::size_t& end) {
  std::size_t j = i + 1;
  std::size_t digits = 0;
  while (j < p.size() && IsDigit(p[j])) ++j, ++digits;
  if (digits == 0) return false;
  if (j < p.size() && p[j] == ',') {
    ++j;
    while (j < p.size() && IsDigit(p[j])) ++j;
  }
  if (j < p.size() && p[j] == '}') {
    end = j + 1;
    return true;
  }
  return false;
}

// PCRE2 reads a quantifier followed by "+" as possessive; here it is one
// repetition after another, which is an error. Returns the offset of the
// offending "+", or npos.
std::size_t FindPossessiveQuantifier(std::string_view p) {
  std::size_t i = 0;
  bool afterQuantifier = false;
  while (i < p.size()) {
    char c = p[i];
    if (afterQuantifier) {
      afterQuantifier = false;
      if (c == '+') return i;
      if (c == '?') {  // lazy form
        ++i;
        continue;
      }
    }
    switch (c) {
      case '\\':
        if (i + 1 < p.size() && p[i + 1] == 'Q') {
          std::size_t e = p.find("\\E", i + 2);
          i = (e == std::string_view::npos) ? p.size() : e + 2;
        } else {
          const char escaped = i + 1 < p.size() ? p[i + 1] : '\0';
          i += 1 + (i + 1 < p.size() ? TRegExpr::CharLength(p, i + 1) : 0);
          // The braces of "\x{41}" or "\g{1}" belong to the escape; they are
          // no repetition, so a "+" after them is an ordinary quantifier.
          if (i < p.size() && p[i] == '{' && std::string_view("xogkpP").find(escaped) != std::string_view::npos) {
            std::size_t e = p.find('}', i);
            i = (e == std::string_view::npos) ? p.size() : e + 1;
          }
        }
        break;
      case '[':
        i = SkipClass(p, i);
        break;
      case '(':
        if (p.substr(i, 3) == "(?#") {
          std::size_t e = p.find(')', i);
          i = (e == std::string_view::npos) ? p.size() : e + 1;
        } else {
          ++i;
          if (i < p.size() && (p[i] == '?' || p[i] == '*')) ++i;  // group syntax, not repetition
        }
        break;
      case '*':
      case '+':
      case '?':
        afterQuantifier = true;
        ++i;
        break;
      case '{': {
        std::size_t end = 0;
        if (IsBraceQuantifier(p, i, end)) {
          afterQuantifier = true;
          i = end;
        } else {
          ++i;
        }
        break;
      }
      default:
        i += TRegExpr::CharLength(p, i);
    }
  }
  return std::string_view::npos;
}

enum class TShape { Linear, Single, Heavy };

// What a walk may cost: Linear, a bounded number of steps per start
// position; Single (one repetition of one character or class), the square
// of the input; Heavy, more (two or more varying repetitions, one of a
// group or a back reference, one over a wide range, lookarounds, back
// references, recursion, conditions and verbs). Errs towards heavier; "?"
// and "{n}" never count.
TShape ShapeOf(std::string_view p) {
  int variable = 0;
  bool heavy = false;
  bool singleAtom = false;  // the item before a quantifier is one character or class
  std::size_t i = 0;
  auto quantified = [&](bool wide) {
    ++variable;
    if (!singleAtom || wide) heavy = true;
    singleAtom = false;
    if (i < p.size() && p[i] == '?') ++i;  // lazy form
  };
  while (i < p.size() && !heavy && variable < 2) {
    const char c = p[i];
    switch (c) {
      case '\\': {
        const char escaped = i + 1 < p.size() ? p[i + 1] : '\0';
        if (escaped == 'Q') {
          std::size_t e = p.find("\\E", i + 2);
          singleAtom = true;
          i = (e == std::string_view::npos) ? p.size() : e + 2;
          break;
        }
        i += 1 + (i + 1 < p.size() ? TRegExpr::CharLength(p, i + 1) : 0);
        if (i < p.size() && p[i] == '{' && std::string_view("xogkpP").find(escaped) != std::string_view::npos) {
          std::size_t e = p.find('}', i);
          i = (e == std::string_view::npos) ? p.size() : e + 1;
        }
        // A back reference compares text of any length.
        if ((escaped >= '1' && escaped <= '9') || escaped == 'g' || escaped == 'k') heavy = true;
        singleAtom = true;
        break;
      }
      case '[':
        i = SkipClass(p, i);
        singleAtom = true;
        break;
      case '(': {
        if (p.substr(i, 3) == "(?#") {
          std::size_t e = p.find(')', i);
          i = (e == std::string_view::npos) ? p.size() : e + 1;
          break;
        }
        const std::string_view rest = p.substr(i + 1, 3);
        if (rest.starts_with("*")) heavy = true;  // a verb or a lookaround by name
        if (rest.starts_with("?")) {
          const std::string_view kind = rest.substr(1);
          // Lookarounds, recursion, subroutine calls, conditions, callouts.
          if (kind.starts_with("=") || kind.starts_with("!") || kind.starts_with("<=") || kind.starts_with("<!") ||
              kind.starts_with("R") || kind.starts_with("&") || kind.starts_with("P=") || kind.starts_with("P>") ||
              kind.starts_with("(") || kind.starts_with("C") || kind.starts_with("+") ||
              (!kind.empty() && (IsDigit(kind[0]) || (kind[0] == '-' && kind.size() > 1 && IsDigit(kind[1])))))
            heavy = true;
        }
        ++i;
        if (i < p.size() && (p[i] == '?' || p[i] == '*')) ++i;
        singleAtom = false;
        break;
      }
      case ')':
      case '|':
        ++i;
        singleAtom = false;
        break;
      case '?':
        ++i;
        singleAtom = false;
        if (i < p.size() && p[i] == '?') ++i;
        break;
      case '*':
      case '+':
        ++i;
        quantified(false);
        break;
      case '{': {
        std::size_t end = 0;
        if (!IsBraceQuantifier(p, i, end)) {
          ++i;
          singleAtom = true;
          break;
        }
        const std::string_view body = p.substr(i + 1, end - i - 2);
        const std::size_t comma = body.find(',');
        i = end;
        const std::string_view low = body.substr(0, comma);
        const std::string_view high = comma == std::string_view::npos ? low : body.substr(comma + 1);
        if (high == low) {  // a fixed count: "(.*a){12}" nests its group twelve deep
          if (!singleAtom) heavy = true;
          singleAtom = false;
          if (i < p.size() && p[i] == '?') ++i;
          break;
        }
        quantified(!high.empty() && (high.size() > 4 || std::stoul(std::string(high)) > kWideRepeat));
        break;
      }
      default:
        i += TRegExpr::CharLength(p, i);
        singleAtom = true;
    }
  }
  if (heavy || variable >= 2) return TShape::Heavy;
  return variable == 1 ? TShape::Single : TShape::Linear;
}

// Start-of-pattern verbs that switch off what keeps matching bounded: the
// JIT, the start-up checks and auto-possessification. Returns the offset of
// the first such verb, or npos.
std::size_t FindUnsafeStartVerb(std::string_view p, std::string& name) {
  for (std::size_t i = 0; p.substr(i, 2) == "(*";) {
    const std::size_t close = p.find(')', i);
    if (close == std::string_view::npos) break;
    const std::string_view verb = p.substr(i + 2, close - i - 2);
    for (std::string_view unsafe : {"NO_JIT", "NO_START_OPT", "NO_AUTO_POSSESS", "NO_DOTSTAR_ANCHOR"})
      if (verb == unsafe) {
        name = std::string(verb);
        return i;
      }
    i = close + 1;
  }
  return std::string_view::npos;
}

}  // namespace

struct TRegExpr::Code {
  pcre2_code* code = nullptr;
  TShape shape = TShape::Heavy;
  pcre2_code* guarded = nullptr;  // all but linear ones again, with a callout before every item
  ~Code() {
    pcre2_code_free(code);
    pcre2_code_free(guarded);
  }
};

struct TRegExpr::MatchState {
  pcre2_match_data* data = nullptr;
  pcre2_match_context* context = nullptr;
  pcre2_jit_stack* jitStack = nullptr;
  bool guarded = false;  // the context is set for the guarded code
  std::size_t lastPosition = 0;
  std::size_t stepsLeft = 0;
  // The input of the current walk.
  const char* walkData = nullptr;
  std::size_t walkSize = 0;

  explicit MatchState(const pcre2_code* code) {
    data = pcre2_match_data_create_from_pattern(code, nullptr);
    context = pcre2_match_context_create(nullptr);
    jitStack = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    if (!data || !context || !jitStack) {
      Release();
      throw std::bad_alloc();
    }
    pcre2_set_match_limit(context, kMatchLimit);
    pcre2_set_depth_limit(context, kDepthLimit);
    pcre2_jit_stack_assign(context, nullptr, jitStack);
  }
  // Charges the distance moved since the last callout: the work of the
  // repetitions between them.
  static int Charge(pcre2_callout_block* block, void* self) {
    auto* state = static_cast<MatchState*>(self);
    const std::size_t at = block->current_position;
    const std::size_t moved =
        (at > state->lastPosition ? at - state->lastPosition : state->lastPosition - at) + kCalloutCharge;
    state->lastPosition = at;
    if (moved > state->stepsLeft) return PCRE2_ERROR_MATCHLIMIT;
    state->stepsLeft -= moved;
    return 0;
  }
  ~MatchState() { Release(); }
  void Release() {
    pcre2_match_data_free(data);
    pcre2_match_context_free(context);
    pcre2_jit_stack_free(jitStack);
    data = nullptr;
    context = nullptr;
    jitStack = nullptr;
  }
};

TRegExpr::TRegExpr(std::string_view expression, bool caseInsensitive) : expression_(expression) {
  std::string verb;
  if (const std::size_t at = FindUnsafeStartVerb(expression_, verb); at != std::string_view::npos)
    ThrowCompileError("(*" + verb + ") is not allowed: it switches off the limits that keep matching short", expression_,
                      at);
  std::size_t possessive = FindPossessiveQuantifier(expression_);
  if (possessive != std::string_view::npos)
    ThrowCompileError("a repetition cannot follow a repetition", expression_, possessive);

  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY |
                     PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C;
  if (caseInsensitive) options |= PCRE2_CASELESS;

  struct CompileContext {
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    ~CompileContext() { pcre2_compile_context_free(cc); }
  } context;
  if (!context.cc) throw std::bad_alloc();
  pcre2_set_compile_extra_options(context.cc, PCRE2_EXTRA_BAD_ESCAPE_IS_LITERAL);
  auto compile = [&](uint32_t extra, int& error, PCRE2_SIZE& offset) {
    return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression_.data()), expression_.size(), options | extra,
                         &error, &offset, context.cc);
  };
  auto shared = std::make_shared<Code>();
  int error = 0;
  PCRE2_SIZE offset = 0;
  shared->code = compile(0, error, offset);
  if (!shared->code) ThrowCompileError(ErrorText(error), expression_, offset);
  pcre2_jit_compile(shared->code, PCRE2_JIT_COMPLETE);  // the interpreter serves where JIT is unavailable
  shared->shape = ShapeOf(expression_);
  // The callouts make the code larger; one too large to compile runs unguarded.
  if (shared->shape != TShape::Linear) {
    shared->guarded = compile(PCRE2_AUTO_CALLOUT, error, offset);
    if (shared->guarded) pcre2_jit_compile(shared->guarded, PCRE2_JIT_COMPLETE);
  }
  code_ = std::move(shared);
  state_ = std::make_unique<MatchState>(code_->code);
}

TRegExpr::TRegExpr(const TRegExpr& other)
    : expression_(other.expression_), code_(other.code_), state_(std::make_unique<MatchState>(code_->code)) {}

TRegExpr::~TRegExpr() = default;

std::size_t TRegExpr::CharLength(std::string_view text, std::size_t at) {
  unsigned char c = static_cast<unsigned char>(text[at]);
  std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (at + len > text.size()) len = 1;
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 1;
  return len;
}

void TRegExpr::Begin(std::string_view input) const {
  state_->walkData = input.data();
  state_->walkSize = input.size();
  state_->stepsLeft = kStepFloor + kStepsPerByte * input.size();
}

bool TRegExpr::Find(std::string_view input, std::size_t start, std::size_t& matchBegin,
                    std::size_t& matchEnd) const {
  if (input.data() != state_->walkData || input.size() != state_->walkSize) Begin(input);
  const pcre2_code* code = code_->code;
  const bool guarded =
      code_->guarded && (code_->shape == TShape::Heavy || input.size() >= kGuardedInputAtLeast);
  if (guarded) {
    code = code_->guarded;
    state_->lastPosition = start;
  }
  if (guarded != state_->guarded) {
    // A "(?C)" of the user's own is no business of the budget.
    pcre2_set_callout(state_->context, guarded ? &MatchState::Charge : nullptr, state_.get());
    pcre2_set_match_limit(state_->context, guarded ? kGuardedMatchLimit : kMatchLimit);
    state_->guarded = guarded;
  }
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(input.data()), input.size(), start, 0, state_->data,
                       state_->context);
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
      rc == PCRE2_ERROR_JIT_STACKLIMIT)
    throw EMatchLimit(ErrorText(rc));
  if (rc < 0) throw ERegExpr(ErrorText(rc));
  const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(state_->data);
  matchBegin = ov[0];
  matchEnd = ov[1];
  if (matchEnd < matchBegin) matchEnd = matchBegin;  // \K in a lookahead can invert them
  return true;
}

bool TRegExpr::BacktracksHeavily() const { return code_->shape == TShape::Heavy; }

bool TRegExpr::IsLinear() const { return code_->shape == TShape::Linear; }

bool TRegExpr::HasFirstCodeUnit() const {
  uint32_t type = 0;
  return pcre2_pattern_info(code_->code, PCRE2_INFO_FIRSTCODETYPE, &type) == 0 && type == 1;
}

bool TRegExpr::Exec(std::string_view input) const {
  Begin(input);
  std::size_t b = 0, e = 0;
  return Find(input, 0, b, e);
}

std::string TRegExpr::Replace(std::string_view input, std::string_view tmpl) const {
  std::string out;
  out.reserve(input.size() + 16);
  std::size_t copied = 0;
  ForEachMatch(input, [&](std::size_t b, std::size_t e) {
    out.append(input, copied, b - copied);
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(state_->data);
    const uint32_t pairs = pcre2_get_ovector_count(state_->data);
    auto group = [&](unsigned long n) {
      if (n == 0) {
        out.append(input, b, e - b);
      } else if (n <= 14 && n < pairs && ov[2 * n] != PCRE2_UNSET && ov[2 * n + 1] >= ov[2 * n]) {
        out.append(input, ov[2 * n], ov[2 * n + 1] - ov[2 * n]);
      }
    };
    for (std::size_t t = 0; t < tmpl.size(); ++t) {
      char c = tmpl[t];
      if (c == '\\' && t + 1 < tmpl.size()) {
        out += tmpl[++t];
      } else if (c == '$' && t + 1 < tmpl.size() && tmpl[t + 1] == '&') {
        group(0);
        ++t;
      } else if (c == '$' && t + 1 < tmpl.size() && IsDigit(tmpl[t + 1])) {
        unsigned long n = 0;
        while (t + 1 < tmpl.size() && IsDigit(tmpl[t + 1]) && n < 1000) n = n * 10 + (tmpl[++t] - '0');
        group(n);
      } else if (c == '$' && t + 2 < tmpl.size() && tmpl[t + 1] == '{' && IsDigit(tmpl[t + 2])) {
        std::size_t close = tmpl.find('}', t + 2);
        std::size_t k = t + 2;
        unsigned long n = 0;
        while (k < tmpl.size() && IsDigit(tmpl[k]) && n < 1000) n = n * 10 + (tmpl[k++] - '0');
        if (close == k) {
          group(n);
          t = close;
        } else {
          out += c;
        }
      } else {
        out += c;
      }
    }
    copied = e;
  });
  out.append(input, copied);
  return out;
}

}  // namespace korvel
