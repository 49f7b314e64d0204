// libkorvel_xlsx.so: TXlsxBook over libxlsxwriter (see XlsxBook.h).
#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "XlsxBook.h"

namespace korvel {
namespace {

constexpr unsigned kStyles = 8;
constexpr lxw_color_t kHitColour = 0xB3261E, kEquivalentColour = 0x0B57D0, kFilterColour = 0x8A6D00;

class TBook final : public TXlsxBook {
 public:
  // Rows go to each sheet's own file as they come, so that a million hits
  // never have to be held.
  TBook(const char* path, const char* tmpdir) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmpdir);
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(path, &options);
    if (!book_) return;
    auto format = [&](auto&&... set) {
      lxw_format* f = workbook_add_format(book_);
      (set(f), ...);
      return f;
    };
    auto top = [](lxw_format* f) { format_set_align(f, LXW_ALIGN_VERTICAL_TOP); };
    auto wrap = [](lxw_format* f) { format_set_text_wrap(f); };
    auto bold = [](lxw_format* f) { format_set_bold(f); };
    auto underline = [](lxw_format* f) { format_set_underline(f, LXW_UNDERLINE_SINGLE); };
    auto colour = [](lxw_color_t c) { return [c](lxw_format* f) { format_set_font_color(f, c); }; };
    cells_[static_cast<unsigned>(TXlsxCell::Note)] = format(format_set_italic);
    cells_[static_cast<unsigned>(TXlsxCell::Header)] = format(bold);
    cells_[static_cast<unsigned>(TXlsxCell::Cell)] = format(top);
    cells_[static_cast<unsigned>(TXlsxCell::Line)] = runCells_[kXlsxPlain] = format(top, wrap);
    // A style's font alone for a run, and with the line's cell format for
    // a cell that is one run.
    auto style = [&](unsigned s, auto&&... set) {
      runs_[s] = format(set...);
      runCells_[s] = format(top, wrap, set...);
    };
    style(kXlsxHit, bold, colour(kHitColour));
    style(kXlsxEquivalent, bold, colour(kEquivalentColour));
    style(kXlsxFilter, underline, colour(kFilterColour));
    style(kXlsxEquivalent | kXlsxFilter, bold, underline, colour(kEquivalentColour));
  }

  ~TBook() override {
    if (!book_) return;
    // libxlsxwriter leaves these open when a workbook is freed unwritten.
    for (lxw_worksheet* sheet : sheets_)
      if (sheet->optimize_tmpfile) {
        std::fclose(sheet->optimize_tmpfile);
        sheet->optimize_tmpfile = sheet->file = nullptr;
      }
    lxw_workbook_free(book_);
  }

  bool Made() const { return book_ != nullptr; }

  bool AddSheet(const char* name) override {
    sheet_ = workbook_add_worksheet(book_, name);
    if (!sheet_) return Fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
    // libxlsxwriter 1.1.4 makes every rich string in a file of its own;
    // in memory, those cost about half as much as on disk.
    static const bool inMemory = access("/dev/shm", W_OK | X_OK) == 0;
    if (inMemory) sheet_->tmpdir = const_cast<char*>("/dev/shm");
    try {
      sheets_.push_back(sheet_);
    } catch (const std::bad_alloc&) {
      return Fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
    }
    return true;
  }

  bool SetColumn(unsigned col, double width) override {
    return Check(worksheet_set_column(sheet_, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), width, nullptr));
  }

  bool WriteNumber(unsigned row, unsigned col, double value) override {
    return Check(worksheet_write_number(sheet_, row, static_cast<lxw_col_t>(col), value, Cell(TXlsxCell::Cell)));
  }

  bool WriteRuns(unsigned row, unsigned col, const TXlsxRun* runs, std::size_t count, TXlsxCell cell) override {
    const auto c = static_cast<lxw_col_t>(col);
    if (count == 0) return true;
    if (count == 1) {
      // A rich string needs two runs at least.
      lxw_format* f = runs[0].style == kXlsxPlain ? Cell(cell) : runCells_[runs[0].style % kStyles];
      return Check(worksheet_write_string(sheet_, row, c, runs[0].text, f));
    }
    try {
      tuples_.clear();
      fragments_.clear();
      for (std::size_t k = 0; k < count; ++k)
        tuples_.push_back({runs_[runs[k].style % kStyles], const_cast<char*>(runs[k].text)});
      for (lxw_rich_string_tuple& t : tuples_) fragments_.push_back(&t);
      fragments_.push_back(nullptr);
    } catch (const std::bad_alloc&) {
      return Fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
    }
    return Check(worksheet_write_rich_string(sheet_, row, c, fragments_.data(), Cell(cell)));
  }

  bool Freeze(unsigned rows) override {
    worksheet_freeze_panes(sheet_, rows, 0);
    return true;
  }

  bool Filter(unsigned firstRow, unsigned lastRow, unsigned lastCol) override {
    return Check(worksheet_autofilter(sheet_, firstRow, 0, lastRow, static_cast<lxw_col_t>(lastCol)));
  }

  bool Close() override {
    // Rows are printed to the sheets' files unchecked: a full temporary
    // folder shows only here.
    for (lxw_worksheet* sheet : sheets_)
      if (sheet->optimize_tmpfile &&
          (std::fflush(sheet->optimize_tmpfile) != 0 || std::ferror(sheet->optimize_tmpfile)))
        return System(errno ? errno : EIO);
    lxw_workbook* book = std::exchange(book_, nullptr);
    errno = 0;
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR && errno) return System(errno);
    return Check(error);
  }

  TXlsxError Error() const override { return error_; }

 private:
  lxw_format* Cell(TXlsxCell cell) const { return cells_[static_cast<unsigned>(cell) % 4]; }

  bool Check(lxw_error error) { return error == LXW_NO_ERROR || Fail(error); }
  bool Fail(lxw_error error) {
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED)
      error_ = {TXlsxError::NoMemory, 0, nullptr};
    else
      error_ = {TXlsxError::Library, 0, lxw_strerror(error)};
    return false;
  }
  bool System(int err) {
    error_ = {TXlsxError::System, err, nullptr};
    return false;
  }

  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::vector<lxw_worksheet*> sheets_;
  lxw_format* cells_[4] = {};
  lxw_format* runs_[kStyles] = {};
  lxw_format* runCells_[kStyles] = {};
  std::vector<lxw_rich_string_tuple> tuples_;
  std::vector<lxw_rich_string_tuple*> fragments_;
  TXlsxError error_;
};

}  // namespace
}  // namespace korvel

extern "C" __attribute__((visibility("default"))) korvel::TXlsxBook* korvel_xlsx_open_1(const char* path,
                                                                                      const char* tmpdir,
                                                                                      korvel::TXlsxError* error) {
  auto* book = new (std::nothrow) korvel::TBook(path, tmpdir);
  if (book && book->Made()) return book;
  delete book;
  *error = {korvel::TXlsxError::NoMemory, 0, nullptr};
  return nullptr;
}
