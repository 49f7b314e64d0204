#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using test::TempDir;

class Kwic : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> files = {
        dir_.Write("k.EN.txt", "One\ttwo cat three four cat\nx<b>&y cat\n"),
        dir_.Write("k.ZH.txt", "我们都喜欢猫，猫很可爱。\n一\t二\n")};
    engine_.SetFiles(files);
  }
  std::string Rows(const std::string& query, std::size_t width) {
    engine_.Search(query, false);
    TStringOutput out;
    engine_.RenderKwic(out, width);
    return out.Take();
  }
  TempDir dir_;
  TKorvel engine_{[this] {
    TEngineOptions options;
    options.TemplatePath = dir_.Write("t.tpl", "{@content}\n");
    return options;
  }()};
};

// Widths count characters, never bytes: 4 of 们都喜欢 is 12 bytes. The hit
// is the first match only; a tab in any field is a blank, as in the export.
TEST_F(Kwic, RowsCutContextByCharactersAroundTheFirstMatch) {
  EXPECT_EQ(Rows("cat", 4),
            "two \tcat\t thr\t我们都喜欢猫，猫很可爱。\tk.EN.txt\t1\r\n"
            ">&y \tcat\t\t一 二\tk.EN.txt\t2\r\n");
  EXPECT_EQ(Rows("猫", 4), "们都喜欢\t猫\t，猫很可\tOne two cat three four cat\tk.ZH.txt\t1\r\n");
  EXPECT_EQ(Rows("猫", 100), "我们都喜欢\t猫\t，猫很可爱。\tOne two cat three four cat\tk.ZH.txt\t1\r\n");
}

// Corpus text never acts as markup, and nothing runs. The page cuts by
// screen columns: two for each ideograph and the fullwidth comma.
TEST_F(Kwic, PageRowsEscapeEverythingAndCutByScreenColumns) {
  engine_.Search("y", false);
  TStringOutput out;
  engine_.RenderKwicPage(out, 3);
  EXPECT_EQ(out.Take(),
            "<tr class=\"o\">\r\n\t<td class=\"no\">1</td>\r\n"
            "\t<td style=\"text-align:right;white-space:nowrap\">b&gt;&amp;</td>\r\n"
            "\t<td style=\"text-align:center;white-space:nowrap\"><b>y</b></td>\r\n"
            "\t<td style=\"white-space:nowrap\"> ca</td>\r\n"
            "\t<td style=\"overflow-wrap:anywhere\">一\t二</td>\r\n"
            "\t<td style=\"width:14em\"><span class=\"x\" style=\"white-space:normal;overflow-wrap:anywhere\">k.EN.txt, line 2</span></td>\r\n</tr>\r\n\r\n");
  engine_.Search("猫", false);
  engine_.RenderKwicPage(out, 4);
  const std::string page = out.Take();
  EXPECT_NE(page.find("nowrap\">喜欢</td>"), std::string::npos) << page;
  EXPECT_NE(page.find("nowrap\">，猫</td>"), std::string::npos) << page;
}

}  // namespace
}  // namespace korvel
