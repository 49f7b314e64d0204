#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "RunSearch.h"
#include "TestUtil.h"

namespace korvel {
namespace {

// One thread, so that a run reports the same sequence every time, and a stop
// requested at each report in turn lands at every point a run can stop.
TEST(RunSearch, AStopAtAnyReportLeavesWhatItsStepPromisesAndProgressOnlyGrows) {
  test::TempDir dir;
  std::string en, zh;
  for (int i = 0; i < 10000; ++i) {  // polls come every 4096 lines
    en += i % 1000 ? "rest here\n" : "work here\n";
    zh += "工作\n";
  }
  TRunRequest request;
  request.Files = {dir.Write("a.EN.txt", en), dir.Write("a.ZH.txt", zh), dir.Write("b.EN.txt", en),
                   dir.Write("b.ZH.txt", zh)};
  request.Query = "work";
  request.PagePath = dir.Path("page.html");
  TRunRequest rest = request;
  rest.Query = "rest";
  rest.PagePath.reset();

  TKorvel engine;
  engine.SetTuning({1, true});
  engine.SetTemplatePath(KORVEL_SOURCE_DIR "/sys/result.tpl");
  std::vector<TRunProgress> seen;
  EXPECT_EQ(RunSearch(engine, request, {}, [&](const TRunProgress& p) { seen.push_back(p); }).HitCount, 20);
  ASSERT_GT(seen.size(), 10u);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_GE(seen[i].Done, seen[i - 1].Done) << i;
    EXPECT_LE(seen[i].Done, seen[i].StepEnd) << i;
  }
  EXPECT_EQ(seen.back().Done, 1.0);

  for (std::size_t stopAt = 0; stopAt < seen.size(); ++stopAt) {
    RunSearch(engine, rest);
    std::filesystem::remove(*request.PagePath);
    std::stop_source stop;
    std::size_t reports = 0;
    TRunStep step = TRunStep::Load;
    try {
      RunSearch(engine, request, stop.get_token(), [&](const TRunProgress& p) {
        step = p.Step;
        if (reports++ == stopAt) stop.request_stop();
      });
      // Only a stop at the last report of the page, or after it, is too late.
      EXPECT_GE(stopAt + 2, seen.size()) << stopAt;
      continue;
    } catch (const EAbort&) {
    }
    EXPECT_FALSE(std::filesystem::exists(*request.PagePath)) << stopAt;
    if (step == TRunStep::Load) {
      EXPECT_TRUE(engine.Data().empty()) << stopAt;
    } else {
      EXPECT_EQ(engine.Data().size(), 20000u) << stopAt;
      EXPECT_EQ(engine.Pattern(), step == TRunStep::Search ? "\\b(rest)\\b" : "\\b(work)\\b") << stopAt;
    }
  }
}

// Rendering again shows the same hits another way without searching: the
// KWIC page, sorted by the word after the hit, and back to the table.
TEST(RunSearch, RenderingAgainChangesTheViewAndOrderNotTheHits) {
  test::TempDir dir;
  std::vector<std::string> files = {dir.Write("a.EN.txt", "work b\nwork a\nrest\n"),
                                    dir.Write("a.ZH.txt", "乙\n甲\n丙\n")};
  TKorvel engine;
  engine.SetTemplatePath(KORVEL_SOURCE_DIR "/sys/result.tpl");
  TRunRequest request;
  request.Files = files;
  request.Query = "work";
  request.PagePath = dir.Path("page.html");
  RunSearch(engine, request);
  const std::string table = test::ReadBytes(*request.PagePath);

  const TRunReport kwic = RunRender(engine, {{TSortKey::Right1}, 0, true, *request.PagePath});
  EXPECT_EQ(kwic.HitCount, 2);
  const std::string page = test::ReadBytes(*request.PagePath);
  EXPECT_NE(page, table);
  EXPECT_LT(page.find("甲"), page.find("乙"));  // "a" sorts before "b"
  // A stopped rendering leaves the engine showing what the page on view shows.
  std::stop_source stop;
  stop.request_stop();
  EXPECT_THROW(RunRender(engine, {{TSortKey::Hit}, 0, false, *request.PagePath}, stop.get_token()), EAbort);
  EXPECT_EQ(engine.SortKeys(), TSortKeys{TSortKey::Right1});
  EXPECT_EQ(engine.Result().Order, TIntArr({1, 0}));
  EXPECT_TRUE(engine.KwicPage());
  RunRender(engine, {{}, 0, false, *request.PagePath});
  EXPECT_EQ(test::ReadBytes(*request.PagePath), table);
}

}  // namespace
}  // namespace korvel
