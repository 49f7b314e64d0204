#include "Xlsx.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "Export.h"
#include "FileIO.h"
#include "Lines.h"

namespace korvel {
namespace {

using TSpans = std::vector<std::pair<std::size_t, std::size_t>>;

// Styles of a run of text; a cell's runs each have one.
enum : unsigned { kPlain = 0, kHit = 1, kEquivalent = 2, kFilter = 4, kStyles = 8 };

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

// A workbook being made; one not closed is freed with its sheets' files.
class TBook {
 public:
  TBook(const std::string& target, TScratchFile& scratch) : target_(target) {
    // Rows go to each sheet's own file as they come, so that a million
    // hits never have to be held.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.Folder().data();
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(scratch.Path().c_str(), &options);
    if (!book_) throw std::bad_alloc();
  }
  ~TBook() {
    if (!book_) return;
    // libxlsxwriter leaves these open when a workbook is freed unwritten.
    for (lxw_worksheet* sheet : sheets_)
      if (sheet->optimize_tmpfile) {
        std::fclose(sheet->optimize_tmpfile);
        sheet->optimize_tmpfile = sheet->file = nullptr;
      }
    lxw_workbook_free(book_);
  }
  TBook(const TBook&) = delete;
  TBook& operator=(const TBook&) = delete;

  lxw_format* Format() { return workbook_add_format(book_); }

  lxw_worksheet* AddSheet(const std::string& name) {
    lxw_worksheet* sheet = workbook_add_worksheet(book_, name.c_str());
    if (!sheet) throw std::bad_alloc();
    // libxlsxwriter 1.1.4 makes every rich string in a file of its own;
    // in memory, those cost about half as much as on disk.
    static const bool inMemory = access("/dev/shm", W_OK | X_OK) == 0;
    if (inMemory) sheet->tmpdir = const_cast<char*>("/dev/shm");
    sheets_.push_back(sheet);
    return sheet;
  }

  void Check(lxw_error error) const {
    if (error == LXW_NO_ERROR) return;
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED) throw std::bad_alloc();
    throw EKorvel(TMessage{"Cannot create file \"%1\". %2", {DisplayPath(target_), lxw_strerror(error)}});
  }

  void Close() {
    // Rows are printed to the sheets' files unchecked: a full temporary
    // folder shows only here.
    for (lxw_worksheet* sheet : sheets_)
      if (sheet->optimize_tmpfile &&
          (std::fflush(sheet->optimize_tmpfile) != 0 || std::ferror(sheet->optimize_tmpfile)))
        ThrowCannotCreate(target_, errno ? errno : EIO);
    lxw_workbook* book = std::exchange(book_, nullptr);
    errno = 0;
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR && errno) ThrowCannotCreate(target_, errno);
    Check(error);
  }

 private:
  const std::string& target_;
  lxw_workbook* book_ = nullptr;
  std::vector<lxw_worksheet*> sheets_;
};

constexpr lxw_color_t kHitColour = 0xB3261E, kEquivalentColour = 0x0B57D0, kFilterColour = 0x8A6D00;

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
  const lxw_col_t columns = cuts ? 7 : 6;

  TScratchFile scratch(path);
  TBook book(path, scratch);
  auto format = [&](auto&&... set) {
    lxw_format* f = book.Format();
    (set(f), ...);
    return f;
  };
  auto top = [](lxw_format* f) { format_set_align(f, LXW_ALIGN_VERTICAL_TOP); };
  auto wrap = [](lxw_format* f) { format_set_text_wrap(f); };
  auto bold = [](lxw_format* f) { format_set_bold(f); };
  auto underline = [](lxw_format* f) { format_set_underline(f, LXW_UNDERLINE_SINGLE); };
  auto colour = [](lxw_color_t c) { return [c](lxw_format* f) { format_set_font_color(f, c); }; };
  lxw_format* const noteFormat = format(format_set_italic);
  lxw_format* const headerFormat = format(bold);
  lxw_format* const cellFormat = format(top);
  lxw_format* const lineFormat = format(top, wrap);
  // A style's font alone for a run, and with the line's cell format for a
  // cell that is one run.
  lxw_format* runFormats[kStyles] = {};
  lxw_format* cellFormats[kStyles] = {lineFormat};
  auto style = [&](unsigned s, auto&&... set) {
    runFormats[s] = format(set...);
    cellFormats[s] = format(top, wrap, set...);
  };
  style(kHit, bold, colour(kHitColour));
  style(kEquivalent, bold, colour(kEquivalentColour));
  style(kFilter, underline, colour(kFilterColour));
  style(kEquivalent | kFilter, bold, underline, colour(kEquivalentColour));

  TCellText cell(cellUnits_);
  std::vector<lxw_rich_string_tuple> tuples;
  std::vector<lxw_rich_string_tuple*> fragments;
  // Writes the cell's runs; says whether they were cut.
  auto writeCell = [&](lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, lxw_format* plain) {
    const bool cut = cell.End();
    const std::vector<TCellText::TRun>& runs = cell.Runs();
    if (runs.empty()) return cut;
    if (runs.size() == 1) {
      // A rich string needs two runs at least.
      lxw_format* f = runs[0].style == kPlain ? plain : cellFormats[runs[0].style];
      book.Check(worksheet_write_string(sheet, row, col, runs[0].text.c_str(), f));
      return cut;
    }
    tuples.clear();
    fragments.clear();
    for (const TCellText::TRun& run : runs)
      tuples.push_back({runFormats[run.style], const_cast<char*>(run.text.c_str())});
    for (lxw_rich_string_tuple& t : tuples) fragments.push_back(&t);
    fragments.push_back(nullptr);
    book.Check(worksheet_write_rich_string(sheet, row, col, fragments.data(), plain));
    return cut;
  };
  auto writeText = [&](lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, std::string_view text) {
    cell.Begin(text);
    cell.Add(text, kPlain);
    return writeCell(sheet, row, col, cellFormat);
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
    lxw_worksheet* sheet = book.AddSheet(SheetName(s));
    const std::size_t count = std::min(n - k, s == 0 ? firstHits : sheetHits);
    lxw_row_t row = 0;
    if (s == 0 && note) book.Check(worksheet_write_string(sheet, row++, 0, noteText.c_str(), noteFormat));
    const lxw_row_t header = row++;
    const double widths[] = {hitWidth, 22, 22, lineWidth, 70, 70, 6};
    for (lxw_col_t c = 0; c < columns; ++c) {
      book.Check(worksheet_set_column(sheet, c, c, widths[c], nullptr));
      const std::string title = c < kExportHeader.size() ? std::string(kExportHeader[c]) : "Cut";
      book.Check(worksheet_write_string(sheet, header, c, title.c_str(), headerFormat));
    }
    worksheet_freeze_panes(sheet, row, 0);
    book.Check(worksheet_autofilter(sheet, header, 0, static_cast<lxw_row_t>(header + count), columns - 1));

    for (std::size_t end = k + count; k < end; ++k, ++row) {
      if (progress) progress(k, total);
      const TData& d = data[result.Shown(k)];
      const auto& [searchedName, alignedName] = names[d.PairIndex];
      book.Check(worksheet_write_number(sheet, row, 0, static_cast<double>(k + 1), cellFormat));
      bool cut = writeText(sheet, row, 1, searchedName);
      cut = writeText(sheet, row, 2, alignedName) || cut;
      book.Check(worksheet_write_number(sheet, row, 3, static_cast<double>(d.LineIndex) + 1, cellFormat));

      const std::string_view searched = marks.Searched(d);
      first.clear();
      marks.ForEachQueryMark(d, [&](std::size_t b, std::size_t e) { first.emplace_back(b, e); });
      cell.Begin(searched);
      cell.AddMarked(searched, first, kHit);
      cut = writeCell(sheet, row, 4, lineFormat) || cut;

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
      cut = writeCell(sheet, row, 5, lineFormat) || cut;
      if (cut) book.Check(worksheet_write_string(sheet, row, 6, "cut", cellFormat));
    }
  }
  if (progress) progress(n, total);
  book.Close();
  WriteFileReplacing(path, [&](TOutput& out) { scratch.CopyTo(out, path); });
}

}  // namespace korvel
