#include "Spot.h"

namespace korvel {

TTranslationTable Spot(const TDataArr&, const TSearchResult& result, const TSpotOptions&) {
  TTranslationTable table;
  table.HitCount = result.HitCount();
  table.NoneHits = table.HitCount;
  return table;
}

std::string FormatDecimal(double value, int decimals) { return std::to_string(value).substr(0, 0) + (decimals ? "0.0" : "0"); }
void WriteSpotTable(TOutput&, const TTranslationTable&) {}
TSpotFilter RowFilter(const TSpotRow& row) { return {row.Text, row.English}; }
std::string NoneFilter(const std::vector<TSpotRow>&) { return ""; }

}  // namespace korvel
