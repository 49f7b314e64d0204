#include "RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <string>

#include "Utf8.h"

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
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 8 * 1024 * 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) return "unknown error " + std::to_string(code);
  return reinterpret_cast<const char*>(buffer);
}

[[noreturn]] void ThrowCompileError(const std::string& reason, std::string_view expr, std::size_t byteOffset) {
  throw ERegExpr(reason, utf8::CharCount(expr, byteOffset));
}

}  // namespace

struct TPattern::Code {
  pcre2_code* code = nullptr;
  pcre2_code* guarded = nullptr;  // all but linear ones again, with a callout before every item
  ~Code() {
    pcre2_code_free(code);
    pcre2_code_free(guarded);
  }
};

struct TMatcher::MatchState {
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

std::shared_ptr<const TPattern> TPattern::Compile(std::string_view expression, bool caseInsensitive) {
  return std::shared_ptr<const TPattern>(new TPattern(expression, caseInsensitive));
}

TPattern::TPattern(std::string_view expression, bool caseInsensitive)
    : expression_(expression), facts_(AnalyzePattern(expression)) {
  if (!facts_.UnsafeVerb.empty())
    ThrowCompileError("(*" + facts_.UnsafeVerb + ") is not allowed: it switches off the limits that keep matching short",
                      expression_, facts_.UnsafeVerbAt);
  // PCRE2 reads a quantifier followed by "+" as possessive; here it is one
  // repetition after another, which is an error ("C++").
  if (facts_.Possessive != std::string_view::npos)
    ThrowCompileError("a repetition cannot follow a repetition", expression_, facts_.Possessive);

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
  code_ = std::make_unique<Code>();
  int error = 0;
  PCRE2_SIZE offset = 0;
  code_->code = compile(0, error, offset);
  if (!code_->code) ThrowCompileError(ErrorText(error), expression_, offset);
  pcre2_jit_compile(code_->code, PCRE2_JIT_COMPLETE);  // the interpreter serves where JIT is unavailable
  // The callouts make the code larger; one too large to compile runs unguarded.
  if (facts_.Shape != TShape::Linear) {
    code_->guarded = compile(PCRE2_AUTO_CALLOUT, error, offset);
    if (code_->guarded) pcre2_jit_compile(code_->guarded, PCRE2_JIT_COMPLETE);
  }
}

TPattern::~TPattern() = default;

bool TPattern::HasFirstCodeUnit() const {
  uint32_t type = 0;
  return pcre2_pattern_info(code_->code, PCRE2_INFO_FIRSTCODETYPE, &type) == 0 && type == 1;
}

TMatcher::TMatcher(std::shared_ptr<const TPattern> pattern)
    : pattern_(std::move(pattern)), state_(std::make_unique<MatchState>(pattern_->code_->code)) {}

TMatcher::TMatcher(const TMatcher& other) : TMatcher(other.pattern_) {}

TMatcher::~TMatcher() = default;

std::size_t TMatcher::CharLength(std::string_view text, std::size_t at) { return utf8::CharLength(text, at); }

void TMatcher::Begin(std::string_view input) const {
  state_->walkData = input.data();
  state_->walkSize = input.size();
  state_->stepsLeft = kStepFloor + kStepsPerByte * input.size();
}

bool TMatcher::Find(std::string_view input, std::size_t start, std::size_t& matchBegin,
                    std::size_t& matchEnd) const {
  if (input.data() != state_->walkData || input.size() != state_->walkSize) Begin(input);
  const TPattern::Code& compiled = *pattern_->code_;
  const pcre2_code* code = compiled.code;
  const bool guarded =
      compiled.guarded && (pattern_->facts_.Shape == TShape::Heavy || input.size() >= kGuardedInputAtLeast);
  if (guarded) {
    code = compiled.guarded;
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

bool TMatcher::Exec(std::string_view input) const {
  Begin(input);
  std::size_t b = 0, e = 0;
  return Find(input, 0, b, e);
}

std::string TMatcher::Replace(std::string_view input, std::string_view tmpl) const {
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
