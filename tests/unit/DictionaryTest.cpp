#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"
#include "unKorvel.h"

namespace korvel {
namespace {

using test::TempDir;

class DictionaryLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each line pins one rule; CR, LF and CRLF endings all occur. 苹果 is a
    // name in both lists so the direction of the lookup shows.
    dir_.Write("EN-ZH.txt",
               "apple=x|y\r\n"
               "APPLE=\xE8\x8B\xB9\xE6\x9E\x9C|\xE8\x8B\xB9\xE6\x9E\x9C\xE6\xA0\x91\r"  // later duplicate wins
               "a=b=c\n"
               "pear =\xE6\xA2\xA8\n"           // blank before "=" belongs to the name
               "plum=  \xE6\x9D\x8E\xE5\xAD\x90 \n"  // value comes back trimmed
               "noequals\n"
               "\xE8\x8B\xB9\xE6\x9E\x9C=wrong list\n");
    dir_.Write("ZH-EN.txt",
               "\xE8\x8B\xB9\xE6\x9E\x9C=apple|apple tree\n"
               "orange=wrong list\n");
    engine_.LoadDictionaries(dir_.Root());
  }
  TempDir dir_;
  TKorvel engine_;
};

TEST_F(DictionaryLookup, NameIsWholeTrimmedQueryIgnoringCaseInTheQueryLanguagesList) {
  const std::string apple = "\xE8\x8B\xB9\xE6\x9E\x9C|\xE8\x8B\xB9\xE6\x9E\x9C\xE6\xA0\x91";
  EXPECT_EQ(engine_.Lookup("apple"), apple);
  EXPECT_EQ(engine_.Lookup("  Apple\t"), apple);
  EXPECT_EQ(engine_.Lookup("a"), "b=c");
  EXPECT_EQ(engine_.Lookup("plum"), "\xE6\x9D\x8E\xE5\xAD\x90");
  EXPECT_EQ(engine_.Lookup("pear"), "");
  EXPECT_EQ(engine_.Lookup("noequals"), "");
  EXPECT_EQ(engine_.Lookup("apple pie"), "");
  // Each language looks only in its own list.
  EXPECT_EQ(engine_.Lookup("\xE8\x8B\xB9\xE6\x9E\x9C"), "apple|apple tree");
  EXPECT_EQ(engine_.Lookup("orange"), "");
}

TEST(Dictionary, MissingFilesAreNoError) {
  TempDir dir;
  TKorvel engine;
  engine.LoadDictionaries(dir.Root());
  EXPECT_EQ(engine.Dictionary(0).Count() + engine.Dictionary(1).Count(), 0u);
}

}  // namespace
}  // namespace korvel
