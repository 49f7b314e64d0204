#include "Spot.h"

namespace korvel {

TRowMarker::TRowMarker(std::vector<TSpotRow> rows) : rows_(std::move(rows)) {}

std::vector<std::pair<std::size_t, std::size_t>> TRowMarker::Mark(std::string_view) const { return {}; }

std::vector<TSpotRow> RowsToMark(const TTranslationTable& table) {
  std::vector<TSpotRow> rows;
  for (const TSpotRow& row : table.Rows)
    if (rows.size() < 5 && row.Hits * 20 >= table.HitCount) rows.push_back(row);
  return rows;
}

}  // namespace korvel
