// The hits as an Excel workbook: under a header row, the six fields of the
// tab-separated export, numbers as numbers, and the marks as formatted runs
// of the cell's text instead of brackets: the query's matches bold red, the
// equivalents bold blue, the include filter's matches underlined in dark
// amber (a run of a cell can only change its font, not its background).
//
// Excel's limits hold, and nothing is dropped silently: hits past a sheet's
// rows continue on sheets "Hits 2", "Hits 3"..., each with the header; a
// text longer than a cell holds is cut there with "…" and its row says
// "cut" in a seventh column, Cut, which is there only then; and a note row
// above the first sheet's header says which of the two happened.
//
// The workbook is made in the temporary folder and then written to its
// path as every export is (WriteFileReplacing): the target appears only
// when complete, and a failure leaves an earlier file as it was. The
// workbook file itself comes from libkorvel_xlsx.so, loaded on the first
// export (XlsxBook.h); without it the export fails with a message naming it.
#ifndef KORVEL_WRITERS_XLSX_H
#define KORVEL_WRITERS_XLSX_H

#include <cstddef>
#include <string>

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "SearchResult.h"

namespace korvel {

class TXlsxWriter {
 public:
  static constexpr std::size_t kSheetRows = 1'048'576;  // rows of a sheet, header and note included
  static constexpr std::size_t kCellUnits = 32'767;     // UTF-16 units of a cell's text
  // Smaller limits make the cases testable; at least three rows (the note,
  // the header and a hit) and two units (a character and "…").
  explicit TXlsxWriter(std::size_t sheetRows = kSheetRows, std::size_t cellUnits = kCellUnits);

  void Write(const std::string& path, const TFilePairArr& pairs, const TDataArr& data, const TSearchResult& result,
             THighlighter& marks, const TProgressFn& progress = {}) const;

 private:
  std::size_t sheetRows_, cellUnits_;
};

}  // namespace korvel

#endif
