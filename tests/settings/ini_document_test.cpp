#include "settings/ini_document.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(IniDocument, FindsKeysWithoutRegardToCaseAndTrimsValues) {
  const auto doc =
      IniDocument::Parse("[other]\nNumRec=5\n[Conf]\n numrec =  3  \nname=\"  padded \"\n");
  EXPECT_EQ(doc.Get("conf", "NumRec"), "3");
  EXPECT_EQ(doc.Get("conf", "name"), "  padded ");
  EXPECT_EQ(doc.Get("other", "numrec"), "5");
  EXPECT_FALSE(doc.Get("conf", "Missing").has_value());
  EXPECT_FALSE(doc.Get("none", "NumRec").has_value());
}

TEST(IniDocument, SetKeepsEverythingElseAsItWas) {
  auto doc = IniDocument::Parse("; settings\r\n[conf]\r\nA=1\r\n\r\n[log]\r\nB=2\r\n");
  doc.Set("conf", "a", "10");
  doc.Set("conf", "C", "3");
  doc.Set("new", "D", "4");
  EXPECT_EQ(doc.Text(),
            "; settings\r\n[conf]\r\na=10\r\nC=3\r\n\r\n[log]\r\nB=2\r\n\r\n[new]\r\nD=4\r\n");
}

TEST(IniDocument, AValueCannotBreakOutOfItsLine) {
  IniDocument doc;
  doc.Set("conf", "Name", "one\ntwo=2\r\n[evil]");
  EXPECT_EQ(doc.Get("conf", "Name"), "one two=2  [evil]");
  EXPECT_FALSE(doc.Get("conf", "two").has_value());
}

TEST(IniDocument, RefusesKeysThatWouldNotReadBack) {
  IniDocument doc;
  for (const char* bad : {"", "a=b", " lead", "trail ", "[conf]", ";x", "two\nlines"})
    EXPECT_FALSE(doc.Set("conf", bad, "1")) << bad;
  EXPECT_EQ(doc.Text(), "");
  EXPECT_TRUE(doc.Set("conf", "TabWidth_LV_1", "900"));
}

TEST(IniDocument, IgnoresCommentsStrayLinesAndAByteOrderMark) {
  const auto doc = IniDocument::Parse("\xEF\xBB\xBF[conf]\n;A=1\n#B=2\ngarbage line\nC=3");
  EXPECT_FALSE(doc.Get("conf", "A").has_value());
  EXPECT_FALSE(doc.Get("conf", "B").has_value());
  EXPECT_EQ(doc.Get("conf", "C"), "3");
}

TEST(IniDocument, ASecondByteOrderMarkKeepsItsMeaningWhenRewritten) {
  // Found by fuzz_ini: the first mark was taken off on reading and not
  // written back, so after one write the next read saw another file.
  auto doc = IniDocument::Parse("\xEF\xBB\xBF\xEF\xBB\xBF[conf]\nNumRec=4\n");
  EXPECT_EQ(doc.Get("conf", "NumRec"), "4");
  ASSERT_TRUE(doc.Set("conf", "Other", "1"));
  const auto again = IniDocument::Parse(doc.Text());
  EXPECT_EQ(again.Get("conf", "NumRec"), "4");
  EXPECT_EQ(again.Get("conf", "Other"), "1");
}

TEST(IniDocument, RemoveDropsOnlyThatKey) {
  auto doc = IniDocument::Parse("[conf]\nA=1\nB=2\n");
  EXPECT_TRUE(doc.Remove("conf", "a"));
  EXPECT_FALSE(doc.Remove("conf", "a"));
  EXPECT_EQ(doc.Text(), "[conf]\nB=2\n");
}

}  // namespace
}  // namespace varn
