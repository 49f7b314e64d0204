#include "Xlsx.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "Export.h"
#include "FileIO.h"
#include "Lines.h"
#include "XlsxBook.h"

namespace korvel {
namespace {

using TSpans = std::vector<std::pair<std::size_t, std::size_t>>;

enum : unsigned { kPlain = kXlsxPlain, kHit = kXlsxHit, kEquivalent = kXlsxEquivalent, kFilter = kXlsxFilter };

constexpr std::size_t kBracket = 3;  // 【 and 】 are three bytes each

// "_x0041_" in a cell's text reads as "A" in Excel: the underscore of such a
// sequence is written as its own escape, _x005F_.
bool ReadsAsEscape(std::string_view text, std::size_t at) {
  if (at + 7 > text.size() || (text[at + 1] != 'x' && text[at + 1] != 'X') || text[at + 6] != '_') return false;
  for (std::size_t k = at + 2; k < at + 6; ++k) {
    const char c = text[k];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// What a character costs of a cell's room: its UTF-16 units, as Excel
// counts them, and an escaped underscore the escape's length, as
// libxlsxwriter counts it.
std::size_t Units(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  if (c >= 0xF0) return 2;
  if (c == '_' && ReadsAsEscape(text, at)) return 7;
  return c < 0x80 || c >= 0xC0 ? 1 : 0;
}

// Whether the text fits a cell of `limit` units. No character costs more
// than two units a byte, so most lines are told by their length alone.
bool Fits(std::string_view text, std::size_t limit) {
  if (text.size() <= limit / 2) return true;
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size() && units <= limit; ++at) units += Units(text, at);
  return units <= limit;
}

std::size_t CharLength(unsigned char c) { return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4; }

// One cell's text as runs of one style each. Characters XML cannot hold
// become blanks, and so do tabs and line breaks, as in the tab-separated
// export; a text longer than the cell holds is cut with "…".
class TCellText {
 public:
  struct TRun {
    unsigned style;
    std::string text;
  };

  explicit TCellText(std::size_t limit) : limit_(limit) {}

  void Begin(std::string_view whole) {
    runs_.clear();
    used_ = 0;
    cut_ = false;
    room_ = Fits(whole, limit_) ? limit_ : limit_ - 1;  // a unit for "…"
  }

  void Add(std::string_view piece, unsigned style) {
    if (cut_ || piece.empty()) return;
    if (runs_.empty() || runs_.back().style != style) runs_.push_back({style, {}});
    std::string& to = runs_.back().text;
    std::size_t copied = 0, at = 0;
    while (at < piece.size()) {
      const auto c = static_cast<unsigned char>(piece[at]);
      const std::size_t length = std::min(CharLength(c), piece.size() - at), units = Units(piece, at);
      if (used_ + units > room_) {
        cut_ = true;
        break;
      }
      used_ += units;
      const bool blank =
          c < 0x20 || (c == 0xEF && (piece.substr(at, 3) == "\xEF\xBF\xBE" || piece.substr(at, 3) == "\xEF\xBF\xBF"));
      if (blank || units == 7) {
        to.append(piece, copied, at - copied);
        to += blank ? " " : "_x005F_";
        copied = at + length;
      }
      at += length;
    }
    to.append(piece, copied, at - copied);
    if (to.empty()) runs_.pop_back();
  }

  // `line` with the spans of `a` in style `styleA` and those of `b` in
  // `styleB`; each set in order, without overlaps of its own.
  void AddMarked(std::string_view line, const TSpans& a, unsigned styleA, const TSpans& b = {}, unsigned styleB = 0) {
    std::size_t at = 0, i = 0, j = 0;
    while (at < line.size()) {
      unsigned style = kPlain;
      std::size_t next = line.size();
      auto take = [&](const TSpans& spans, std::size_t& k, unsigned spanStyle) {
        while (k < spans.size() && spans[k].second <= at) ++k;
        if (k == spans.size()) return;
        if (spans[k].first <= at) {
          style |= spanStyle;
          next = std::min(next, spans[k].second);
        } else {
          next = std::min(next, spans[k].first);
        }
      };
      take(a, i, styleA);
      take(b, j, styleB);
      Add(line.substr(at, next - at), style);
      at = next;
    }
  }

  // Ends the cell's text: "…" after one that was cut; true then.
  bool End() {
    if (!cut_) return false;
    if (runs_.empty() || runs_.back().style != kPlain) runs_.push_back({kPlain, {}});
    runs_.back().text += "\xE2\x80\xA6";  // …
    return true;
  }
  const std::vector<TRun>& Runs() const { return runs_; }

 private:
  std::size_t limit_, room_ = 0, used_ = 0;
  bool cut_ = false;
  std::vector<TRun> runs_;
};

// "1,048,576"
std::string Grouped(std::size_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

std::string SheetName(std::size_t index) { return index == 0 ? "Hits" : "Hits " + std::to_string(index + 1); }

// The file libxlsxwriter writes the workbook to: unnamed, in the temporary
// folder, reached through this process's descriptor, so that nothing is
// left behind whatever ends the run.
class TScratchFile {
 public:
  explicit TScratchFile(const std::string& target) {
    std::error_code ec;
    folder_ = std::filesystem::temp_directory_path(ec).string();
    if (ec) folder_ = "/tmp";
    fd_ = open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      std::string name = folder_ + "/.korvel-xlsx.XXXXXX";
      fd_ = mkostemp(name.data(), O_CLOEXEC);
      if (fd_ >= 0) unlink(name.c_str());
    }
    if (fd_ < 0) ThrowCannotCreate(target, errno);
  }
  ~TScratchFile() { close(fd_); }
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;

  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }
  std::string& Folder() { return folder_; }

  void CopyTo(TOutput& out, const std::string& target) const {
    std::vector<char> part(1 << 20);
    for (off_t at = 0;;) {
      const ssize_t n = pread(fd_, part.data(), part.size(), at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowCannotCreate(target, errno);
      if (n == 0) return;
      out.Append(std::string_view(part.data(), static_cast<std::size_t>(n)));
      at += n;
    }
  }

 private:
  std::string folder_;
  int fd_ = -1;
};

// The module's entry point, loaded on the first workbook from beside
// libMyDLL.so: the build tree's bin/sys/ or an installed lib/korvel/, wherever
// the dynamic linker found that one. Its path comes from the loader's own
// record rather than dladdr on one of its functions, whose address is the
// executable's stub in a program built without PIE. A failed load is tried
// again on the next export, so that a module put back needs no restart.
TKorvelXlsxOpen OpenFunction(const std::string& target) {
  static std::mutex mutex;
  static TKorvelXlsxOpen open = nullptr;
  const std::lock_guard lock(mutex);
  if (open) return open;
  std::string module = KORVEL_XLSX_MODULE, why;
  auto failure = [] {
    const char* said = dlerror();
    return std::string(said ? said : "unknown error");
  };
  if (void* mydll = dlopen("libMyDLL.so", RTLD_LAZY | RTLD_NOLOAD)) {
    link_map* map = nullptr;
    if (dlinfo(mydll, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
      const std::string_view lib(map->l_name);
      if (const std::size_t slash = lib.rfind('/'); slash != std::string_view::npos)
        module.insert(0, lib.substr(0, slash + 1));
    }
    dlclose(mydll);
  }
  if (module.front() != '/') {
    why = module + ": the folder of libMyDLL.so is unknown";
  } else if (void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    // Kept loaded: workbooks are rare, and unloading buys nothing.
    open = reinterpret_cast<TKorvelXlsxOpen>(dlsym(handle, KORVEL_XLSX_OPEN));
    if (!open) {
      why = failure();
      dlclose(handle);
    }
  } else {
    why = failure();
  }
  if (!open)
    throw EKorvel(TMessage{"Cannot create file \"%1\". The Excel writer is missing or damaged: %2",
                           {DisplayPath(target), why}});
  return open;
}

// A workbook being made; one not closed is freed with its sheets' files.
class TBook {
 public:
  TBook(const std::string& target, TScratchFile& scratch) : target_(target) {
    TXlsxError error;
    book_.reset(OpenFunction(target)(scratch.Path().c_str(), scratch.Folder().c_str(), &error));
    if (!book_) Throw(error);
  }

  TXlsxBook* operator->() const { return book_.get(); }

  void Check(bool done) const {
    if (!done) Throw(book_->Error());
  }

 private:
  [[noreturn]] void Throw(const TXlsxError& error) const {
    if (error.kind == TXlsxError::System) ThrowCannotCreate(target_, error.err);
    if (error.kind == TXlsxError::Library)
      throw EKorvel(TMessage{"Cannot create file \"%1\". %2", {DisplayPath(target_), error.text}});
    throw std::bad_alloc();
  }

  const std::string& target_;
  std::unique_ptr<TXlsxBook> book_;
};

}  // namespace

TXlsxWriter::TXlsxWriter(std::size_t sheetRows, std::size_t cellUnits)
    : sheetRows_(std::clamp<std::size_t>(sheetRows, 3, kSheetRows)),
      cellUnits_(std::clamp<std::size_t>(cellUnits, 2, kCellUnits)) {}

void TXlsxWriter::Write(const std::string& path, const TFilePairArr& pairs, const TDataArr& data,
                        const TSearchResult& result, THighlighter& marks, const TProgressFn& progress) const {
  if (path.empty()) ThrowCannotCreate(path, ENOENT);
  const TIntArr& hits = result.Hits;
  const std::size_t n = hits.size();

  // What the sheets will need, known before the first row: the note and
  // the Cut column come before the rows they are about.
  std::vector<std::pair<std::string, std::string>> names;  // searched, aligned, by pair
  for (const TFilePair& fp : pairs) {
    const std::string en = DisplayPath(FileNamePart(fp.EnFile)), zh = DisplayPath(FileNamePart(fp.ZhFile));
    names.emplace_back(result.QueryIsChinese ? zh : en, result.QueryIsChinese ? en : zh);
  }
  bool cuts = false;
  long long lastLine = 1;
  for (std::size_t k = 0; k < n; ++k) {
    const TData& d = data[result.Shown(k)];
    lastLine = std::max(lastLine, static_cast<long long>(d.LineIndex) + 1);
    const auto& [searched, aligned] = names[d.PairIndex];
    cuts = cuts || !Fits(marks.Searched(d), cellUnits_) || !Fits(marks.Aligned(d), cellUnits_) ||
           !Fits(searched, cellUnits_) || !Fits(aligned, cellUnits_);
  }
  const bool note = cuts || n > sheetRows_ - 1;
  const std::size_t firstHits = sheetRows_ - 1 - (note ? 1 : 0), sheetHits = sheetRows_ - 1;
  const std::size_t sheets = n <= firstHits ? 1 : 1 + (n - firstHits + sheetHits - 1) / sheetHits;
  const unsigned columns = cuts ? 7 : 6;

  TScratchFile scratch(path);
  TBook book(path, scratch);
  TCellText cell(cellUnits_);
  std::vector<TXlsxRun> runs;
  // Writes the cell's runs; says whether they were cut.
  auto writeCell = [&](unsigned row, unsigned col, TXlsxCell format) {
    const bool cut = cell.End();
    runs.clear();
    for (const TCellText::TRun& run : cell.Runs()) runs.push_back({run.style, run.text.c_str()});
    book.Check(book->WriteRuns(row, col, runs.data(), runs.size(), format));
    return cut;
  };
  auto writeText = [&](unsigned row, unsigned col, std::string_view text) {
    cell.Begin(text);
    cell.Add(text, kPlain);
    return writeCell(row, col, TXlsxCell::Cell);
  };
  // The program's own words, which need no cutting.
  auto writeOwn = [&](unsigned row, unsigned col, const std::string& text, TXlsxCell format) {
    const TXlsxRun run{kPlain, text.c_str()};
    book.Check(book->WriteRuns(row, col, &run, 1, format));
  };

  auto width = [](std::size_t chars, double least) { return std::max(least, static_cast<double>(chars) + 3); };
  const double hitWidth = width(std::to_string(n).size(), 6), lineWidth = width(std::to_string(lastLine).size(), 8);
  std::string noteText;
  if (cuts) noteText = "Some lines were cut at " + Grouped(cellUnits_) + " characters (marked in the Cut column).";
  if (sheets > 1)
    noteText += std::string(cuts ? " " : "") + "The hits continue on sheet" + (sheets > 2 ? "s " : " ") + SheetName(1) +
                (sheets > 2 ? " to " + SheetName(sheets - 1) : "") + ".";

  THighlighter::TAlignedMarks aligned;
  TSpans first, second;
  // Progress runs over the rows to about 90%: compressing the sheets at
  // the close took a tenth of the time on 75,000 hits.
  const std::size_t total = n + n / 8;
  std::size_t k = 0;
  for (std::size_t s = 0; s < sheets; ++s) {
    book.Check(book->AddSheet(SheetName(s).c_str()));
    const std::size_t count = std::min(n - k, s == 0 ? firstHits : sheetHits);
    unsigned row = 0;
    if (s == 0 && note) writeOwn(row++, 0, noteText, TXlsxCell::Note);
    const unsigned header = row++;
    const double widths[] = {hitWidth, 22, 22, lineWidth, 70, 70, 6};
    for (unsigned c = 0; c < columns; ++c) {
      book.Check(book->SetColumn(c, widths[c]));
      writeOwn(header, c, c < kExportHeader.size() ? std::string(kExportHeader[c]) : "Cut", TXlsxCell::Header);
    }
    book.Check(book->Freeze(row));
    book.Check(book->Filter(header, static_cast<unsigned>(header + count), columns - 1));

    for (std::size_t end = k + count; k < end; ++k, ++row) {
      if (progress) progress(k, total);
      const TData& d = data[result.Shown(k)];
      const auto& [searchedName, alignedName] = names[d.PairIndex];
      book.Check(book->WriteNumber(row, 0, static_cast<double>(k + 1)));
      bool cut = writeText(row, 1, searchedName);
      cut = writeText(row, 2, alignedName) || cut;
      book.Check(book->WriteNumber(row, 3, static_cast<double>(d.LineIndex) + 1));

      const std::string_view searched = marks.Searched(d);
      first.clear();
      marks.ForEachQueryMark(d, [&](std::size_t b, std::size_t e) { first.emplace_back(b, e); });
      cell.Begin(searched);
      cell.AddMarked(searched, first, kHit);
      cut = writeCell(row, 4, TXlsxCell::Line) || cut;

      // The equivalents' spans without their brackets, the filter's where
      // they fall in the line.
      marks.MarkAligned(d, aligned);
      first.clear();
      for (std::size_t q = 0; q < aligned.equivalents.size(); ++q) {
        const auto [b, e] = aligned.equivalents[q];
        first.emplace_back(b - 2 * kBracket * q, e - 2 * kBracket * (q + 1));
      }
      second.clear();
      for (const auto& [b, e] : aligned.filter) second.emplace_back(aligned.LinePosition(b), aligned.LinePosition(e));
      const std::string_view line = marks.Aligned(d);
      cell.Begin(line);
      cell.AddMarked(line, first, kEquivalent, second, kFilter);
      cut = writeCell(row, 5, TXlsxCell::Line) || cut;
      if (cut) writeOwn(row, 6, "cut", TXlsxCell::Cell);
    }
  }
  if (progress) progress(n, total);
  book.Check(book->Close());
  WriteFileReplacing(path, [&](TOutput& out) { scratch.CopyTo(out, path); });
}

}  // namespace korvel
