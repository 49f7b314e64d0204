#include "Spot.h"

namespace korvel {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

// The \b of the program's expressions: ASCII letters, digits and "_".
bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsBoundary(std::string_view text, std::size_t at) {
  const bool before = at > 0 && IsWordByte(text[at - 1]);
  const bool after = at < text.size() && IsWordByte(text[at]);
  return before != after;
}

// Where `needle` next stands in `text` at or after `from`, as a whole word
// when asked; npos when nowhere.
std::size_t Occurrence(std::string_view text, std::string_view needle, bool wholeWord, std::size_t from) {
  for (std::size_t at = text.find(needle, from); at != std::string_view::npos; at = text.find(needle, at + 1))
    if (!wholeWord || (IsBoundary(text, at) && IsBoundary(text, at + needle.size()))) return at;
  return std::string_view::npos;
}

}  // namespace

std::size_t TRowMarker::FirstContained(std::string_view line) const {
  const std::string text = LowerAscii(line);
  // Needles come in row order, so the first found is the first row.
  for (const TForm& form : forms_)
    if (Occurrence(text, form.text, form.wholeWord, 0) != std::string_view::npos) return form.row;
  return rows_.size();
}

TRowMarker::TRowMarker(std::vector<TSpotRow> rows) : rows_(std::move(rows)) {
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const TSpotRow& row = rows_[r];
    const std::vector<std::string> forms = row.Forms.empty() ? std::vector<std::string>{row.Text} : row.Forms;
    for (const std::string& form : forms)
      if (!form.empty()) forms_.push_back({r, LowerAscii(form), row.English});
  }
}

std::vector<std::pair<std::size_t, std::size_t>> TRowMarker::Mark(std::string_view line) const {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  if (rows_.empty() || line.empty()) return spans;
  // Lower-casing ASCII keeps every byte where it was, so positions in the
  // copy are positions in the line.
  const std::string text = LowerAscii(line);

  // Each string with the next place it stands at or after the cursor, so
  // every string walks the line once however many spans come out.
  struct TNeedle {
    std::string_view text;
    bool wholeWord;
    std::size_t next = 0;  // npos once past its last occurrence
    bool known = false;
  };
  std::vector<TNeedle> needles;
  for (const TForm& form : forms_) needles.push_back({form.text, form.wholeWord});

  auto occurrence = [&](TNeedle& n, std::size_t from) { return Occurrence(text, n.text, n.wholeWord, from); };

  for (std::size_t pos = 0; pos < text.size();) {
    TNeedle* best = nullptr;
    for (TNeedle& n : needles) {
      if (!n.known || (n.next != std::string::npos && n.next < pos)) {
        n.next = occurrence(n, pos);
        n.known = true;
      }
      if (n.next == std::string::npos) continue;
      if (!best || n.next < best->next || (n.next == best->next && n.text.size() > best->text.size())) best = &n;
    }
    if (!best) break;
    spans.emplace_back(best->next, best->next + best->text.size());
    pos = spans.back().second;
  }
  return spans;
}

std::vector<TSpotRow> RowsToMark(const TTranslationTable& table) {
  std::vector<TSpotRow> rows;
  for (const TSpotRow& row : table.Rows)
    if (rows.size() < 5 && row.Hits * 20 >= table.HitCount) rows.push_back(row);
  return rows;
}

}  // namespace korvel
