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
  Run("nothing");
  EXPECT_EQ(Export(), "");  // no hits: an empty file
  Run("走|去");  // matched as an expression, but the text "走|去" occurs nowhere
  EXPECT_EQ(Export(),
            "1\ta&b.ZH.txt\ta&b.EN.txt\t1\t走吧 走\t<script>go</script> & 'go'\r\n"
            "2\ta&b.ZH.txt\ta&b.EN.txt\t3\t走三\tGo \"on\"\r\n"
            "3\ta&b.ZH.txt\ta&b.EN.txt\t6\t去六\tgo\r\n");
}

// Regression: the page tried the filter on each text run between marks, so
// "^." marked the first character of every run; the export tries it on the
// whole line, marks included. Both must mark the same characters, the page
// only where they are text.
TEST_F(Output, PageAndExportMarkTheFilterOnTheWholeAlignedLine) {
  dir_.Write("dic/EN-ZH.txt", "script=走\n");
  engine_.LoadDictionaries(dir_.Path("dic"));
  // Aligned line 1 with its equivalents marked: 【走】吧<tab>【走】. "^." is the
  // first 【, which the page does not show as a filter match; "走】吧" runs
  // across a mark and is split there.
  Run("script", "^.|走】吧");
  const std::string script = "<span class=\"en\">script</span>";
  EXPECT_EQ(Page("{@content}"),
            Block(1, "&lt;" + script + "&gt;go&lt;/" + script + "&gt; &amp; &#39;go&#39;", "a&amp;b.EN.txt",
                  "<span class=\"zh\"><span class=\"f\">走</span></span><span class=\"f\">吧</span>\t"
                  "<span class=\"zh\">走</span>",
                  "a&amp;b.ZH.txt", 1) +
                "\r\n");
  EXPECT_EQ(Export(), "1\ta&b.EN.txt\ta&b.ZH.txt\t1\t<【script】>go</【script】> & 'go'\t〖【〗〖走】吧〗 【走】\r\n");
}

// PCRE takes the first item of an alternation that matches: 人 would be
// marked inside 人们 and 人民, and "go" inside "go-kart".
TEST_F(Output, WhereSeveralEquivalentsStartTheLongestIsMarked) {
  std::vector<std::string> files = {dir_.Write("p.EN.txt", "people\nTo go-kart, go.\n"),
                                    dir_.Write("p.ZH.txt", "人们和人民都是人\n走\n")};
  engine_.SetFiles(files);
  dir_.Write("dic/EN-ZH.txt", "people=人|人民|人们\n");
  dir_.Write("dic/ZH-EN.txt", "走=go|go-kart\n");
  engine_.LoadDictionaries(dir_.Path("dic"));
  Run("people");
  EXPECT_EQ(Export(), "1\tp.EN.txt\tp.ZH.txt\t1\t【people】\t【人们】和【人民】都是【人】\r\n");
  EXPECT_EQ(Page("{@content}"),
            Block(1, "<span class=\"en\">people</span>", "p.EN.txt",
                  "<span class=\"zh\">人们</span>和<span class=\"zh\">人民</span>都是<span class=\"zh\">人</span>",
                  "p.ZH.txt", 1) +
                "\r\n");
  Run("走");
  EXPECT_EQ(engine_.Equivalents(), "\\b(go|go-kart)\\b");
  EXPECT_EQ(Export(), "1\tp.ZH.txt\tp.EN.txt\t2\t【走】\tTo 【go-kart】, 【go】.\r\n");
}

// Raw line 人们和人民都是好人; the equivalents 人们 and 人, widened to ICU's
// words, are marked as 【人们】和【人民】都是【好人】, so the rows' spans must be
// moved past brackets, and a bracket may fall inside a row's mark.
TEST_F(Output, TranslationRowsAreMarkedOnThePageOnlyTheLongerMarkWinning) {
  std::vector<std::string> files = {dir_.Write("p.EN.txt", "people\n"), dir_.Write("p.ZH.txt", "人们和人民都是好人\n")};
  engine_.SetFiles(files);
  dir_.Write("dic/EN-ZH.txt", "people=人|人们\n");
  engine_.LoadDictionaries(dir_.Path("dic"));
  Run("people", "民");
  const std::string page = Page("{@content}"), exported = Export();
  auto aligned = [&](const std::string& b) {
    return Block(1, "<span class=\"en\">people</span>", "p.EN.txt", b, "p.ZH.txt", 1) + "\r\n";
  };
  auto row = [](const char* text, bool english) {
    TSpotRow r;
    r.Text = text;
    r.English = english;
    r.Forms = {text};
    return r;
  };
  // 人民都 outranks the 人民 inside it; 人们 only ties with its equivalent,
  // which stays; an English row has nothing to mark here.
  engine_.SetTranslationMarks({row("人民都", false), row("人们", false), row("people", true)});
  const std::string t = "<span class=\"t\" style=\"background:#e3f4e8;border-bottom:2px solid #2e8b57\">";
  EXPECT_EQ(Page("{@content}"), aligned("<span class=\"zh\">人们</span>和" + t + "人<span class=\"f\">民</span>都</span>是" +
                                        "<span class=\"zh\">好人</span>"));
  EXPECT_EQ(Export(), exported);
  // Starting inside one equivalent and ending at the close of another.
  engine_.SetTranslationMarks({row("们和人", false)});
  EXPECT_EQ(Page("{@content}"),
            aligned("人" + t + "们和人</span><span class=\"f\">民</span>都是<span class=\"zh\">好人</span>"));
  engine_.SetTranslationMarks({});
  EXPECT_EQ(Page("{@content}"), page);
}

// ICU reads 这个人很好 as 这个|人|很好, and 人们 and 工人 as words of their own,
// which the equivalent 人 widens to. An equivalent's brackets must not make
// 人 look like a word to the filter.
TEST_F(Output, WithWholeChineseWordsOnlyWholeWordsAreMarked) {
  std::vector<std::string> files = {dir_.Write("w.EN.txt", "It is good.\n"),
                                    dir_.Write("w.ZH.txt", "人们说这个人很好，工人。\n")};
  engine_.SetFiles(files);
  dir_.Write("dic/EN-ZH.txt", "good=人\n");
  engine_.LoadDictionaries(dir_.Path("dic"));
  engine_.SetChineseWords(true);
  Run("人");
  EXPECT_EQ(Export(), "1\tw.ZH.txt\tw.EN.txt\t1\t人们说这个【人】很好，工人。\tIt is good.\r\n");
  Run("good", "人");
  EXPECT_EQ(Export(), "1\tw.EN.txt\tw.ZH.txt\t1\tIt is 【good】.\t【人们】说这个【〖人〗】很好，【工人】。\r\n");
}

// A word-list value that runs out of budget on a line loses its marks
// there only, and the engine says so; the query's own marks stay.
TEST_F(Output, EquivalentsThatBacktrackTooMuchLoseOnlyTheirMarks) {
  std::vector<std::string> files = {dir_.Write("w.EN.txt", "work one\nwork two\n"),
                                    dir_.Write("w.ZH.txt", std::string(40, 'a') + "!\naa\n")};
  engine_.SetFiles(files);
  dir_.Write("dic/EN-ZH.txt", "work=(a+)+$\n");
  engine_.LoadDictionaries(dir_.Path("dic"));
  Run("work");
  EXPECT_EQ(Export(), "1\tw.EN.txt\tw.ZH.txt\t1\t【work】 one\t" + std::string(40, 'a') +
                          "!\r\n2\tw.EN.txt\tw.ZH.txt\t2\t【work】 two\t【aa】\r\n");
  const std::string note = "The word-list equivalents of \"work\" backtrack too much: their marks were left out on 1 line(s)";
  EXPECT_EQ(engine_.Note(), note);
  EXPECT_NE(Page("{@content}").find("<span class=\"zh\">aa</span>"), std::string::npos);
  EXPECT_EQ(engine_.Note(), note);
  Run("two");
  EXPECT_EQ(Export(), "1\tw.EN.txt\tw.ZH.txt\t2\twork 【two】\taa\r\n");
  EXPECT_EQ(engine_.Note(), "");
}

// Regression: marking started every match with a fresh budget, so a query
// found at once ("x") could cost minutes on the page when its other branch
// backtracks from every position after it.
TEST_F(Output, MarkingALineSharesOneBudgetAndNamesTheLine) {
  std::vector<std::string> files = {dir_.Write("m.EN.txt", "ok\nx" + std::string(40, 'a') + "\n"),
                                    dir_.Write("m.ZH.txt", "\xE4\xB8\x80\n\xE4\xBA\x8C\n")};
  engine_.SetFiles(files);
  Run("x|(a+)+b");
  ASSERT_EQ(engine_.HitCount(), 1);
  const std::string limit =
      "match limit exceeded: the expression backtracks too much on line 2 of \"m.EN.txt\"; make it more specific";
  EXPECT_EQ(test::ErrorOf([&] { Export(); }), limit);
  EXPECT_EQ(test::ErrorOf([&] { Page("{@content}"); }), limit);
}

// A tab, CR or LF in a file name would break the one-line record.
TEST_F(Output, ExportWritesControlCharactersInFieldsAsBlanks) {
  std::vector<std::string> files = {dir_.Write("a\tb\nc\rd.EN.txt", "go\n"), dir_.Write("a\tb\nc\rd.ZH.txt", "\xE8\xB5\xB0\n")};
  engine_.SetFiles(files);
  Run("go");
  EXPECT_EQ(Export(), "1\ta b c d.EN.txt\ta b c d.ZH.txt\t1\t【go】\t走\r\n");
}

}  // namespace
}  // namespace korvel
