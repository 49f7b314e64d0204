// The workbook file itself, kept out of the programs: libkorvel_xlsx.so
// (beside libMyDLL.so) writes it with libxlsxwriter, which with its zip and
// crypto libraries cost every run a few milliseconds of loading, though few
// runs ever write a workbook. TXlsxWriter (Xlsx.h) lays out the sheets and
// loads the module on first use.
//
// Nothing crosses between the two but this interface: no exceptions, no
// engine objects, so the module holds no engine code and no engine state.
#ifndef KORVEL_WRITERS_XLSXBOOK_H
#define KORVEL_WRITERS_XLSXBOOK_H

#include <cstddef>

namespace korvel {

// A run of a cell's text and its style, a set of these bits.
enum : unsigned { kXlsxPlain = 0, kXlsxHit = 1, kXlsxEquivalent = 2, kXlsxFilter = 4 };
struct TXlsxRun {
  unsigned style;
  const char* text;
};

// The format of a whole cell.
enum class TXlsxCell : unsigned { Note, Header, Cell, Line };

// Why the last call failed.
struct TXlsxError {
  enum { None, NoMemory, System, Library } kind = None;
  int err = 0;                 // errno, for System
  const char* text = nullptr;  // the library's reason, for Library
};

// Each call but the destructor returns false on failure; Error() says why.
// Cells go to the sheet last added, and within it row by row.
class TXlsxBook {
 public:
  virtual ~TXlsxBook() = default;  // frees an unclosed book and its scratch files
  virtual bool AddSheet(const char* name) = 0;
  virtual bool SetColumn(unsigned col, double width) = 0;
  virtual bool WriteNumber(unsigned row, unsigned col, double value) = 0;
  // One run of a single style but plain takes that style's font for the
  // whole cell, over the Line format.
  virtual bool WriteRuns(unsigned row, unsigned col, const TXlsxRun* runs, std::size_t count, TXlsxCell cell) = 0;
  virtual bool Freeze(unsigned rows) = 0;
  virtual bool Filter(unsigned firstRow, unsigned lastRow, unsigned lastCol) = 0;
  virtual bool Close() = 0;
  virtual TXlsxError Error() const = 0;
};

}  // namespace korvel

// The module's one entry point: a book written to `path`, its sheets' rows
// kept in files in `tmpdir` until the close; null with *error set when it
// cannot be made. The version is in the name, so that a module of another
// release fails to load instead of misreading the calls.
#define KORVEL_XLSX_OPEN "korvel_xlsx_open_1"
#define KORVEL_XLSX_MODULE "libkorvel_xlsx.so"
extern "C" {
using TKorvelXlsxOpen = korvel::TXlsxBook* (*)(const char* path, const char* tmpdir, korvel::TXlsxError* error);
}

#endif
