// Strings of the run-time library: the class library's 1-based positions, trimming,
// case rules, replacing and quoting, and the decoding of outside text.
#include "TestSupport.h"
#include "platform/rtl/SysUtils.h"

namespace {

TEST(RtlStrings, PositionsAreOneBasedAndAnEmptyNeedleIsNeverFound) {
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("", ""), 0);
  EXPECT_EQ(Pos("a", ""), 0);
  EXPECT_EQ(Pos("b", "abcb"), 2);
  EXPECT_EQ(Pos("B", "abc"), 0);  // Pos is case sensitive
  EXPECT_EQ(PosEx("b", "abcb", 3), 4);
  EXPECT_EQ(PosEx("b", "abcb", 0), 0);
  EXPECT_EQ(PosEx("b", "abcb", 5), 0);
  EXPECT_EQ(PosEx("", "abc", 1), 0);
  EXPECT_EQ(LastDelimiter("./", "/a.b/c.d.e"), 9);
  EXPECT_EQ(LastDelimiter("x", "abc"), 0);
}

TEST(RtlStrings, CopyDeleteAndInsertClampToTheString) {
  EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Copy("abcdef", 0, 2), "ab");       // index below 1 counts as 1
  EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
  EXPECT_EQ(Copy("abcdef", 5, 100), "ef");
  EXPECT_EQ(Copy("abcdef", 7, 1), "");
  EXPECT_EQ(Copy("abcdef", 3, -1), "");
  EXPECT_EQ(Copy("abcdef", 1, INT32_MAX), "abcdef");
  std::string s = "abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, "adef");
  Delete(s, 10, 1);
  Delete(s, 0, 1);
  Delete(s, 1, -1);
  EXPECT_EQ(s, "adef");
  Delete(s, 3, 100);
  EXPECT_EQ(s, "ad");
  Insert("XY", s, 2);
  EXPECT_EQ(s, "aXYd");
  Insert("<", s, -3);
  Insert(">", s, 99);
  EXPECT_EQ(s, "<aXYd>");
}

TEST(RtlStrings, TrimRemovesEveryControlCharacterButKeepsUtf8) {
  EXPECT_EQ(Trim(std::string("\t\r\n \x01 a b \x1f\x7f", 13)), "a b \x1f\x7f");
  EXPECT_EQ(Trim(std::string("\0 x \0", 5)), "x");
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
  EXPECT_EQ(Trim("   "), "");
  // Bytes of multi-byte characters are above ' ' and stay.
  EXPECT_EQ(Trim(" \xC3\xA9\xC2\xA0 "), "\xC3\xA9\xC2\xA0");
}

TEST(RtlStrings, CaseRulesOfThePlainAndTheAnsiRoutines) {
  EXPECT_EQ(UpperCase("abc\xC3\xA9z"), "ABC\xC3\xA9Z");  // ASCII only
  EXPECT_EQ(AnsiUpperCase("abc\xC3\xA9z"), "ABC\xC3\x89Z");
  EXPECT_EQ(AnsiLowerCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
  // Invalid UTF-8 is left alone rather than damaged.
  EXPECT_EQ(AnsiUpperCase("a\xE9"), "A\xE9");
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(CompareText("ABC", "abc"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_NE(CompareStr("ABC", "abc"), 0);
  EXPECT_TRUE(SameText("Photo.JPG", "photo.jpg"));
  EXPECT_FALSE(SameText("photo.jpg", "photo.jpe"));
  EXPECT_TRUE(AnsiSameText("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89"));
  EXPECT_TRUE(StartsText("IMG_", "img_0001.jpg"));
  EXPECT_TRUE(EndsText(".JPEG", "a.jpeg"));
  EXPECT_FALSE(ContainsText("abc", ""));
  EXPECT_TRUE(ContainsText("Holiday PHOTOS", "photos"));
}

TEST(RtlStrings, AnsiCompareTextIsOneConsistentOrder) {
  // Sorting and binary search need a strict order also across ASCII and non-ASCII names.
  std::vector<std::string> names = {"_a", "a", "B", "\xC3\xA9", "Z", "\xC3\x89x", "[", "0", "a_"};
  for (const auto& a : names)
    for (const auto& b : names) {
      EXPECT_EQ(AnsiCompareText(a, b), -AnsiCompareText(b, a)) << a << " " << b;
      for (const auto& c : names)
        if (AnsiCompareText(a, b) < 0 && AnsiCompareText(b, c) < 0) {
          EXPECT_LT(AnsiCompareText(a, c), 0) << a << b << c;
        }
    }
}

TEST(RtlStrings, StringReplaceFlags) {
  EXPECT_EQ(StringReplace("a.b.c", ".", "::", 0), "a::b.c");
  EXPECT_EQ(StringReplace("a.b.c", ".", "::", rfReplaceAll), "a::b::c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", rfReplaceAll), "aXb-c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", rfReplaceAll | rfIgnoreCase), "a-b-c");
  EXPECT_EQ(StringReplace("\xC3\x89t\xC3\xA9", "\xC3\xA9", "e", rfReplaceAll | rfIgnoreCase), "ete");
  EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
  // The replacement is not searched again.
  EXPECT_EQ(StringReplace("aa", "a", "aa", rfReplaceAll), "aaaa");
}

TEST(RtlStrings, QuotingAndLineBreaks) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
  EXPECT_EQ(AnsiQuotedStr("a\"b", '"'), "\"a\"\"b\"");
  EXPECT_EQ(AnsiDequotedStr("'it''s'", '\''), "it's");
  EXPECT_EQ(AnsiDequotedStr("'open", '\''), "'open");
  EXPECT_EQ(AnsiDequotedStr("plain", '\''), "plain");
  EXPECT_EQ(AdjustLineBreaks("a\rb\nc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
  EXPECT_EQ(AdjustLineBreaks("a\r\nb\r", tlbsLF), "a\nb\n");
  EXPECT_EQ(StringOfChar('_', 3), "___");
  EXPECT_EQ(StringOfChar('_', -1), "");
  EXPECT_EQ(DupeString("ab", 3), "ababab");
}

TEST(RtlStrings, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC \xF0\x9F\x93\xB7"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
  EXPECT_FALSE(IsValidUtf8("caf\xE9"));
}

// Every byte 0x20..0xFF read as Windows-1252 must give what iconv gives.
TEST(RtlStrings, Windows1252DecodingAgreesWithIconv) {
  KIVO2_REQUIRE_TOOL("iconv");
  std::string all;
  for (int c = 0x20; c <= 0xFF; ++c)
    if (c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) all += char(c);  // unassigned in iconv
  auto r = testsupport::Run({"iconv", "-f", "WINDOWS-1252", "-t", "UTF-8"}, all);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Windows1252ToUtf8(all), r.out);
  EXPECT_EQ(TextFromBytes(all), r.out);
  // Valid UTF-8 passes unchanged, and decoding never yields invalid UTF-8.
  EXPECT_EQ(TextFromBytes("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_TRUE(IsValidUtf8(TextFromBytes("\x81\x8D\x8F\x90\x9D\xFF")));
}

}  // namespace
