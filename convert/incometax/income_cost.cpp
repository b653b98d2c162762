// The income and the cost and expense detail appendices: column D of worksheets 2 and 3.
#include "convert/incometax/return_sections.h"

namespace ledgerix::incometax {
namespace {

constexpr RowElement kIncome[] = {
    {6, "xsyySrhj"},  {7, "yySrhj"}, {8, "zyywSr"},  {9, "xshw"},          {10, "tglw"},
    {11, "rdzcsyq"},  {12, "jzht"},  {13, "qtywsr"}, {14, "clxssr"},       {15, "dgdxSxfsr"},
    {16, "bzwczsr"},  {17, "qtYy"},  {18, "stxssr"}, {19, "fhbxjyStxssr"}, {20, "hwcclwStXssr"},
    {21, "qtStXssr"}, {22, "yywsr"}, {23, "gdzcPy"}, {24, "czGdzcJsy"},    {25, "fhbxzcJysy"},
    {26, "csWxzcsy"}, {27, "fkJsr"}, {28, "zwczsy"}, {29, "zfbzsr"},       {30, "jzsr"},
    {31, "qtYyw"},
};
static_assert(std::size(kIncome) == 26);

constexpr RowElement kCost[] = {
    {6, "xsyyCbhj"}, {7, "zyywcb"},  {8, "xshwcb"},        {9, "tglwcb"},        {10, "rdzcSyqcb"},
    {11, "jzhtcb"},  {12, "qtywcb"}, {13, "clxscb"},       {14, "dgdxfy"},       {15, "bzwczcb"},
    {16, "qtYy"},    {17, "stsscb"}, {18, "fhbxJystXscb"}, {19, "hwcclwstXscb"}, {20, "qtstXscb"},
    {21, "yywzc"},   {22, "gdzcpk"}, {23, "czGdzcJss"},    {24, "csWxzcss"},     {25, "zwczss"},
    {26, "fkzc"},    {27, "fcss"},   {28, "jzzc"},         {29, "qtYyw"},        {30, "qjfy"},
    {31, "xsyyfy"},  {32, "glfy"},   {33, "cwfy"},
};
static_assert(std::size(kCost) == 28);

}  // namespace

void WriteIncomeDetail(XmlLineWriter& out, Worksheet& sheet) {
  WriteColumnSection(out, sheet, "sbbQysds2008NdAFb011", 'D', kIncome);
}

void WriteCostDetail(XmlLineWriter& out, Worksheet& sheet) {
  WriteColumnSection(out, sheet, "sbbQysds2008NdAFb021", 'D', kCost);
}

}  // namespace ledgerix::incometax
