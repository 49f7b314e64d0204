#include <cstring>
#include <vector>

#include "FileIO.h"
#include "Query.h"
#include "sources/Source.h"
#include "sources/SourceUtil.h"

namespace korvel {
namespace {

constexpr std::size_t kPollRecords = 4096;

enum class TStop { kField, kRecord, kText };  // what ended a field

// Fields one after another; a quoted field, or one holding NUL, is rebuilt
// in the caller's scratch string, any other is a view into the text.
class TFields {
 public:
  explicit TFields(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}
  bool AtEnd() const { return p_ == end_; }
  const char* Where() const { return p_; }
  void Rewind(const char* at) { p_ = at; }

  std::string_view Next(std::string& scratch, TStop& stop) {
    std::string_view field;
    if (p_ < end_ && *p_ == '"') {
      scratch.clear();
      ++p_;
      Quoted(scratch);
      scratch += Run();  // what follows the closing quote is kept as it is
      field = scratch;
    } else {
      field = Run();
    }
    if (field.find('\0') != std::string_view::npos) {
      if (field.data() != scratch.data()) scratch.assign(field);
      for (char& c : scratch) c = c == '\0' ? ' ' : c;
      field = scratch;
    }
    stop = Stop();
    return field;
  }

 private:
  // Up to the closing quote, which it passes, or the end of the text.
  void Quoted(std::string& out) {
    while (p_ < end_) {
      const char* run = p_;
      while (p_ < end_ && *p_ != '"' && *p_ != '\r' && *p_ != '\n' && *p_ != '\0') ++p_;
      out.append(run, static_cast<std::size_t>(p_ - run));
      if (p_ == end_) return;
      const char c = *p_++;
      if (c == '"') {
        if (p_ == end_ || *p_ != '"') return;
        ++p_;
        out += '"';
      } else {
        if (c == '\r' && p_ < end_ && *p_ == '\n') ++p_;
        out += ' ';
      }
    }
  }

  std::string_view Run() {
    const char* start = p_;
    while (p_ < end_ && *p_ != '\t' && *p_ != '\n' && *p_ != '\r') ++p_;
    return {start, static_cast<std::size_t>(p_ - start)};
  }

  TStop Stop() {
    if (p_ == end_) return TStop::kText;
    const char c = *p_++;
    if (c == '\t') return TStop::kField;
    if (c == '\r' && p_ < end_ && *p_ == '\n') ++p_;
    return TStop::kRecord;
  }

  const char* p_;
  const char* end_;
};

bool IsEnName(std::string_view name) {
  return name == "en" || name == "english" || name.substr(0, 3) == "en-" || name.substr(0, 3) == "en_";
}

bool IsZhName(std::string_view name) {
  return name == "zh" || name == "cmn" || name == "chinese" || name.substr(0, 3) == "zh-" ||
         name.substr(0, 3) == "zh_";
}

// The English and Chinese columns a header row names, when it names both.
bool HeaderColumns(TFields& fields, std::size_t& enCol, std::size_t& zhCol) {
  std::string scratch;
  TStop stop = TStop::kField;
  std::size_t en = SIZE_MAX, zh = SIZE_MAX;
  for (std::size_t col = 0; stop == TStop::kField; ++col) {
    std::string name(Trim(fields.Next(scratch, stop)));
    for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (en == SIZE_MAX && IsEnName(name)) {
      en = col;
    } else if (zh == SIZE_MAX && IsZhName(name)) {
      zh = col;
    }
  }
  if (en == SIZE_MAX || zh == SIZE_MAX) return false;
  enCol = en;
  zhCol = zh;
  return true;
}

}  // namespace

TSourceText ReadTsv(const std::string& path, const std::function<void()>& poll) {
  const THeldText held = THeldText::Read(path, nullptr, poll);
  TFields fields(held.Text());
  TSourceText out;
  ReserveUpTo(out, held.Text().size());

  std::size_t enCol = 0, zhCol = 1;
  const char* first = fields.Where();
  if (!HeaderColumns(fields, enCol, zhCol)) fields.Rewind(first);

  std::string enScratch, zhScratch, otherScratch;
  while (!fields.AtEnd()) {
    std::string_view en, zh;
    std::size_t found = 0;
    TStop stop = TStop::kField;
    for (std::size_t col = 0; stop == TStop::kField; ++col) {
      if (col == enCol) {
        en = Trim(fields.Next(enScratch, stop));
        ++found;
      } else if (col == zhCol) {
        zh = Trim(fields.Next(zhScratch, stop));
        ++found;
      } else {
        fields.Next(otherScratch, stop);
      }
    }
    if (found == 2 && !en.empty() && !zh.empty()) {
      out.En += en;
      out.Zh += zh;
    } else {
      ++out.Skipped;
    }
    out.En += '\n';
    out.Zh += '\n';
    if (++out.Units % kPollRecords == 0 && poll) poll();
  }
  return out;
}

}  // namespace korvel
