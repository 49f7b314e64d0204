// Where the result page marks a translation table's rows: "contains" as the
// row's filter means it, the longest row first, never overlapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Spot.h"

namespace korvel {
namespace {

using TSpans = std::vector<std::pair<std::size_t, std::size_t>>;

TSpotRow Row(std::string text, bool english, std::vector<std::string> forms) {
  TSpotRow row;
  row.Text = std::move(text);
  row.English = english;
  row.Forms = std::move(forms);
  return row;
}

TEST(RowMarker, EnglishFormsAreWholeWordsChineseStringsOccurAnywhere) {
  const TRowMarker english({Row("give up", true, {"give up", "gave up"}), Row("up", true, {"up"})});
  // "Gave UP" in any case; in "upgave up" only the last "up" is a word, and
  // "gave_up" holds none (ASCII \b: "_" is a word character).
  EXPECT_EQ(english.Mark("Gave UP, upgave up gave_up up."), TSpans({{0, 7}, {16, 18}, {27, 29}}));
  EXPECT_EQ(english.Mark("\xE6\x94\xBE" "up" "\xE5\xBC\x83"), TSpans({{3, 5}}));  // ideographs are no word bytes

  // 人们 beats 人 where both start; "T恤" matches "t恤", ASCII case only.
  const TRowMarker chinese({Row("人", false, {"人"}), Row("人们", false, {"人们"}), Row("T恤", false, {"T恤"})});
  EXPECT_EQ(chinese.Mark("人们穿t恤的人"), TSpans({{0, 6}, {9, 13}, {16, 19}}));
  EXPECT_TRUE(TRowMarker({}).Mark("人").empty());
}

TEST(RowMarker, AnOccurrenceOverlappingAnEarlierMarkGivesWayToTheNextOne) {
  // "aa" at 1 overlaps "xa"; the "aa" at 2 still counts.
  const TRowMarker marker({Row("xa", false, {"xa"}), Row("aa", false, {"aa"})});
  EXPECT_EQ(marker.Mark("xaaa"), TSpans({{0, 2}, {2, 4}}));
}

}  // namespace
}  // namespace korvel
