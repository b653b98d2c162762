// The two cell-fed elements whose value is not the plain cell text: the loss year cut to four
// characters and the industry code of the incentive appendix.
#include <gtest/gtest.h>

#include <string>

#include "bridges/companion.h"
#include "convert/incometax/return_sections.h"
#include "tests/convert/fake_workbook.h"

namespace ledgerix {
namespace {

using testing::FakeSheet;
using testing::MemorySink;

template <typename Write>
std::string Written(FakeSheet& sheet, Write write) {
  std::string out;
  XmlLineWriter writer(std::make_unique<MemorySink>(&out));
  write(writer, sheet);
  return out;
}

// The value of the first <tag> element in a group of the written text.
std::string ValueIn(const std::string& out, const std::string& group, const std::string& tag) {
  const std::size_t at = out.find("<" + group + ">\n");
  if (at == std::string::npos) return "(no group)";
  const std::size_t start = out.find("<" + tag + ">", at);
  const std::size_t stop = out.find("</" + tag + ">", start);
  if (start == std::string::npos || stop == std::string::npos) return "(no element)";
  return out.substr(start + tag.size() + 2, stop - start - tag.size() - 2);
}

TEST(IncomeTaxSections, LossYearKeepsItsFirstFourCharacters) {
  FakeSheet sheet;
  sheet.SetNumber("D10", 2006);
  sheet.SetText("D11", "2006年度");
  sheet.SetNumber("D12", 2006.5);
  sheet.SetText("D13", "06");
  sheet.Set("D14", Variant());
  sheet.SetText("D15", "二〇〇六年度");
  sheet.SetText("E10", "2006年度");  // only the year column is cut
  const std::string out = Written(sheet, incometax::WriteLossCarryForward);
  EXPECT_EQ(ValueIn(out, "dyn", "nd"), "2006");
  EXPECT_EQ(ValueIn(out, "den", "nd"), "2006");
  EXPECT_EQ(ValueIn(out, "dsn", "nd"), "2006");
  EXPECT_EQ(ValueIn(out, "dsin", "nd"), "06");
  EXPECT_EQ(ValueIn(out, "dwn", "nd"), "");
  EXPECT_EQ(ValueIn(out, "bn", "nd"), fnCStringToAnsi("二〇〇六"));
  EXPECT_EQ(ValueIn(out, "dyn", "ylekse"), fnCStringToAnsi("2006年度"));
}

TEST(IncomeTaxSections, IndustryCodeIsOneWhereverIndustrialEnterpriseOccurs) {
  EXPECT_EQ(incometax::IndustryCode("制造业（工业企业）"), "01");
  EXPECT_EQ(incometax::IndustryCode("工业企业"), "01");
  EXPECT_EQ(incometax::IndustryCode("工业企业（制造业）"), "01");
  EXPECT_EQ(incometax::IndustryCode(""), "02");
  EXPECT_EQ(incometax::IndustryCode("商业企业"), "02");
  EXPECT_EQ(incometax::IndustryCode("工业 企业"), "02");
  EXPECT_EQ(incometax::IndustryCode("工业"), "02");

  // The code comes from D52 and closes the incentive section.
  FakeSheet sheet;
  sheet.SetText("D51", "工业企业");
  sheet.SetText("D52", "工业企业");
  std::string out = Written(sheet, incometax::WriteTaxIncentives);
  EXPECT_NE(out.find("<zczeQnpj>" + fnCStringToAnsi("工业企业") +
                     "</zczeQnpj>\n<sshyGyQt>01</sshyGyQt>\n</sbbQysds2008NdAFb05>\n"),
            std::string::npos);
  sheet.SetText("D52", "批发和零售业");
  out = Written(sheet, incometax::WriteTaxIncentives);
  EXPECT_NE(out.find("<sshyGyQt>02</sshyGyQt>\n</sbbQysds2008NdAFb05>\n"), std::string::npos);
}

TEST(IncomeTaxSections, FirstCharactersCountsCodePoints) {
  EXPECT_EQ(incometax::FirstCharacters("2008年度报告", 4), "2008");
  EXPECT_EQ(incometax::FirstCharacters("年度报告汇总", 4), "年度报告");
  EXPECT_EQ(incometax::FirstCharacters("𠀀a𠀀bc", 4), "𠀀a𠀀b");
  EXPECT_EQ(incometax::FirstCharacters("abc", 4), "abc");
  EXPECT_EQ(incometax::FirstCharacters("", 4), "");
}

}  // namespace
}  // namespace ledgerix
