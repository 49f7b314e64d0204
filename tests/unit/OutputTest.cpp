#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

class Output : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.SetInflector(test::FakeInflect);
    // "go" hits lines 1, 3 and 6 (line 4 is blank and not loaded); the
    // markup, quotes, tabs and "&" in the file name must not leak through.
    std::vector<std::string> files = {
        dir_.Write("a&b.EN.txt", "<script>go</script> & 'go'\nstay\nGo\t\"on\"\n\nstay\ngo\n"),
        dir_.Write("a&b.ZH.txt", "走吧\t走\n二\n走三\n四\n五\n去六\n"),
        dir_.Write("c.EN.txt", "Chinese span, class.\n"),
        dir_.Write("c.ZH.txt", "学中文，说中文\n")};
    engine_.SetFiles(files);
    dir_.Write("dic/EN-ZH.txt", "go=走|去\n");
    dir_.Write("dic/ZH-EN.txt", "走=go|walk\n中文=Chinese\n");
  }

  void Run(const std::string& query, const std::string& filter = "", bool exclude = false) {
    engine_.SetFilter(filter, exclude, false);
    engine_.Search(query, false);
  }

  std::string Page(const std::string& tpl) {
    engine_.SetTemplatePath(dir_.Write("result.tpl", tpl));
    engine_.WriteResultPage(dir_.Path("result.html"));
    return test::ReadBytes(dir_.Path("result.html"));
  }

  std::string Export() {
    engine_.ExportText(dir_.Path("out.txt"));
    return test::ReadBytes(dir_.Path("out.txt"));
  }

  test::TempDir dir_;
  TKorvel engine_;
};

std::string Block(int n, const std::string& a, const std::string& fa, const std::string& b, const std::string& fb,
                  int line) {
  const std::string shade = n % 2 == 1 ? " class=\"o\" " : "";
  const std::string source = ", line " + std::to_string(line) + ")</span></td>\r\n";
  return "<tr" + shade + ">\r\n\t<td class=\"no\" rowspan=\"2\" >" + std::to_string(n) + "</td>\r\n\t<td>" + a +
         "<span class=\"x\">&nbsp;&nbsp;(" + fa + source + "</tr><tr" + shade + ">\r\n\t<td>" + b +
         "<span class=\"x\">&nbsp;&nbsp;(" + fb + source;
}

TEST_F(Output, PageHasFiveLinesPerHitWhereThePlaceholderStood) {
  Run("go");
  ASSERT_EQ(engine_.Hits(), TIntArr({0, 2, 4}));
  const std::string en = "a&amp;b.EN.txt", zh = "a&amp;b.ZH.txt", go = "<span class=\"en\">go</span>";
  // Placeholder matched without case; the second one is ordinary text.
  EXPECT_EQ(Page("<table>\n{@CONTENT}\r\n{@content}\n</table>"),
            "<table>\r\n" +
                Block(1, "&lt;script&gt;" + go + "&lt;/script&gt; &amp; &#39;" + go + "&#39;", en, "走吧\t走", zh, 1) +
                Block(2, "<span class=\"en\">Go</span>\t&quot;on&quot;", en, "走三", zh, 3) +
                Block(3, go, en, "去六", zh, 6) + "\r\n{@content}\r\n</table>\r\n");
}

TEST_F(Output, PageMarksChineseQueryLiterallyAndFilterOnlyInText) {
  engine_.LoadDictionaries(dir_.Path("dic"));
  // "span" and "class" also occur in the equivalent's own markup.
  Run("中文", "span|class");
  EXPECT_EQ(Page("{@content}"),
            Block(1, "学<span class=\"zh\">中文</span>，说<span class=\"zh\">中文</span>", "c.ZH.txt",
                  "<span class=\"en\">Chinese</span> <span class=\"f\">span</span>, <span class=\"f\">class</span>.",
                  "c.EN.txt", 1) +
                "\r\n");
  Run("nothing");
  EXPECT_EQ(Page("<p>\r{@content}\n</p>\n"), "<p>\r\n\r\n</p>\r\n");
}

TEST_F(Output, PageWithoutPlaceholderFailsAndKeepsTheEarlierPage) {
  Run("go");
  const std::string earlier = Page("{@content}\n");
  engine_.SetTemplatePath(dir_.Write("result.tpl", " {@content}\n"));
  EXPECT_EQ(test::ErrorOf([&] { engine_.WriteResultPage(dir_.Path("result.html")); }),
            "List index out of bounds (-1)");
  EXPECT_EQ(test::ReadBytes(dir_.Path("result.html")), earlier);
}

TEST_F(Output, ExportMarksQueryEquivalentsAndIncludeFilter) {
  engine_.LoadDictionaries(dir_.Path("dic"));
  // The tab inside each line becomes a blank, keeping six fields.
  Run("go", "吧|六");
  EXPECT_EQ(Export(),
            "1\ta&b.EN.txt\ta&b.ZH.txt\t1\t<script>【go】</script> & '【go】'\t【走】〖吧〗 【走】\r\n"
            "2\ta&b.EN.txt\ta&b.ZH.txt\t6\t【go】\t【去】〖六〗\r\n");
  // No line holds "】", so only the equivalents' marks could match it: an
  // exclude filter must not mark them.
  Run("go", "吧|】", true);
  EXPECT_EQ(Export(),
            "1\ta&b.EN.txt\ta&b.ZH.txt\t3\t【Go】 \"on\"\t【走】三\r\n"
            "2\ta&b.EN.txt\ta&b.ZH.txt\t6\t【go】\t【去】六\r\n");
}

TEST_F(Output, ExportMarksChineseQueryOnlyWhereItsTextOccurs) {
  engine_.LoadDictionaries(dir_.Path("dic"));
  Run("走");
  EXPECT_EQ(Export(),
            "1\ta&b.ZH.txt\ta&b.EN.txt\t1\t【走】吧 【走】\t<script>【go】</script> & '【go】'\r\n"
            "2\ta&b.ZH.txt\ta&b.EN.txt\t3\t【走】三\t【Go】 \"on\"\r\n");
  Run("走|去");  // matched as an expression, but the text "走|去" occurs nowhere
  EXPECT_EQ(Export(),
            "1\ta&b.ZH.txt\ta&b.EN.txt\t1\t走吧 走\t<script>go</script> & 'go'\r\n"
            "2\ta&b.ZH.txt\ta&b.EN.txt\t3\t走三\tGo \"on\"\r\n"
            "3\ta&b.ZH.txt\ta&b.EN.txt\t6\t去六\tgo\r\n");
}

TEST_F(Output, ExportReplacesFilesOnlyWhenComplete) {
  Run("go");
  const std::string full = Export();
  ASSERT_FALSE(full.empty());
  auto cancel = [](std::size_t done, std::size_t) {
    if (done == 1) throw EAbort();
  };
  EXPECT_THROW(engine_.ExportText(dir_.Path("out.txt"), cancel), EAbort);
  EXPECT_EQ(test::ReadBytes(dir_.Path("out.txt")), full);
  EXPECT_EQ(test::ErrorOf([&] { engine_.ExportText("/dev/full"); }),
            "Cannot create file \"/dev/full\". No space left on device");
  Run("nothing");
  EXPECT_EQ(Export(), "");
}

}  // namespace
}  // namespace korvel
