// Value texts of SpreadsheetML cells, one rule at a time.
#include "engine/xlsx_text.h"

#include <gtest/gtest.h>

using ledgerix::CellError;
using namespace ledgerix::engine;

namespace {

TEST(XlsxText, EscapesDecodeOnlyWellFormedLowerCaseUnits) {
  EXPECT_EQ(DecodeEscapes("plain"), "plain");
  EXPECT_EQ(DecodeEscapes("_x0041__x4E2D_"), "A\xE4\xB8\xAD");
  EXPECT_EQ(DecodeEscapes("_x005F_"), "_");
  EXPECT_EQ(DecodeEscapes("_x005F_x0041_"), "_x0041_");  // the escaped underscore protects
  EXPECT_EQ(DecodeEscapes("_X0041_ _x00G1_ _x0041 x0041_"), "_X0041_ _x00G1_ _x0041 x0041_");
  EXPECT_EQ(DecodeEscapes("_xD83D__xDE00_"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(DecodeEscapes("_xD83D_x"),
            "\xEF\xBF\xBD"
            "x");  // lone high surrogate
  EXPECT_EQ(DecodeEscapes("_xDE00_"), "\xEF\xBF\xBD");
}

TEST(XlsxText, NumbersAreXsdDoublesOnly) {
  double v = 0;
  EXPECT_TRUE(ParseXmlNumber("0.1", &v));
  EXPECT_EQ(v, 0.1);
  EXPECT_TRUE(ParseXmlNumber("\n -2.5E-3\t", &v));
  EXPECT_EQ(v, -2.5e-3);
  EXPECT_TRUE(ParseXmlNumber("+7", &v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(ParseXmlNumber(".5", &v));
  EXPECT_EQ(v, 0.5);
  for (const char* bad : {"", " ", "inf", "nan", "1e400", "1,5", "0x10", "--1", "1 2"}) {
    EXPECT_FALSE(ParseXmlNumber(bad, &v)) << bad;
  }
}

TEST(XlsxText, ErrorTextsMapToServerCodes) {
  CellError e;
  ASSERT_TRUE(ErrorFromXmlText("#NULL!", &e));
  EXPECT_EQ(e, CellError::Null);
  ASSERT_TRUE(ErrorFromXmlText("#N/A", &e));
  EXPECT_EQ(e, CellError::NA);
  ASSERT_TRUE(ErrorFromXmlText("#CALC!", &e));
  EXPECT_EQ(static_cast<int>(e), 2050);
  EXPECT_FALSE(ErrorFromXmlText("#n/a", &e));
  EXPECT_FALSE(ErrorFromXmlText("N/A", &e));
}

TEST(XlsxText, IsoDatesBecomeSerialsOfTheWorkbooksDateSystem) {
  double v = 0;
  ASSERT_TRUE(IsoDateToSerial("1900-01-01", false, &v));
  EXPECT_EQ(v, 1);
  ASSERT_TRUE(IsoDateToSerial("1900-03-01", false, &v));
  EXPECT_EQ(v, 61);
  ASSERT_TRUE(IsoDateToSerial("2024-01-31T12:00:00.5+08:00", false, &v));
  EXPECT_DOUBLE_EQ(v, 45322.5 + 0.5 / 86400);
  ASSERT_TRUE(IsoDateToSerial("1904-01-01", true, &v));
  EXPECT_EQ(v, 0);
  ASSERT_TRUE(IsoDateToSerial("2024-02-29", true, &v));
  EXPECT_EQ(v, 45351 - 1462);
  ASSERT_TRUE(IsoDateToSerial("06:00", false, &v));
  EXPECT_EQ(v, 0.25);
  for (const char* bad : {"2023-02-29", "2024-04-31", "2024-1-31", "2024-01-31T25:00", "31/01/2024",
                          "2024-01-31X", "2024-01-31T12:00:00+8"}) {
    EXPECT_FALSE(IsoDateToSerial(bad, false, &v)) << bad;
  }
}

}  // namespace

namespace {

// Every error value a sheet of a current spreadsheet application can hold, with the code the
// object model gives it; readers and messages share one table.
TEST(CellErrorNames, EveryCurrentErrorHasOneTextAndCode) {
  const std::pair<const char*, int> known[] = {
      {"#NULL!", 2000},  {"#DIV/0!", 2007},   {"#VALUE!", 2015},   {"#REF!", 2023},
      {"#NAME?", 2029},  {"#NUM!", 2036},     {"#N/A", 2042},      {"#GETTING_DATA", 2043},
      {"#SPILL!", 2045}, {"#CONNECT!", 2046}, {"#BLOCKED!", 2047}, {"#UNKNOWN!", 2048},
      {"#FIELD!", 2049}, {"#CALC!", 2050},    {"#BUSY!", 2051},
  };
  for (const auto& [text, code] : known) {
    CellError e{};
    ASSERT_TRUE(ledgerix::CellErrorFromText(text, &e)) << text;
    EXPECT_EQ(static_cast<int>(e), code) << text;
    EXPECT_EQ(ledgerix::CellErrorText(static_cast<CellError>(code)), text);
    // The xlsx reader's texts are the same table.
    CellError x{};
    ASSERT_TRUE(ErrorFromXmlText(text, &x)) << text;
    EXPECT_EQ(x, e) << text;
  }
  // A code no application writes still names itself rather than passing for another error.
  EXPECT_EQ(ledgerix::CellErrorText(static_cast<CellError>(2044)), "#ERR2044");
  CellError e{};
  EXPECT_FALSE(ledgerix::CellErrorFromText("#ERR2044", &e));
  EXPECT_FALSE(ledgerix::CellErrorFromText("#spill!", &e));
}

}  // namespace
