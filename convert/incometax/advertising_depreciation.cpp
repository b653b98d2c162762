// The advertising expense carry-over appendix (worksheet 9) and the asset depreciation and
// amortisation appendix (worksheet 10).
#include "convert/incometax/return_sections.h"

namespace ledgerix::incometax {
namespace {

constexpr RowElement kAdvertising[] = {
    {8, "bndGgfYwxcfZc"},         {9, "bykcGgfYwxcfZc"}, {10, "bndFhtjGgfYwxcfZc"},
    {11, "bnjsGgfYwxcfKcxeXssr"}, {12, "ssgdKcl"},       {13, "bnGgfYwxcfKcxe"},
    {14, "bnGgfYwxcfZcnstze"},    {15, "bnjzhNdkce"},    {16, "jYqndljjzKce"},
    {17, "jBnkcYqndjze"},         {18, "ljjzYhndKce"},
};
static_assert(std::size(kAdvertising) == 11);

constexpr GridColumn kDepreciationColumns[] = {
    {"zcyzZzje", 'D'},  {"zcyzJsjc", 'E'},  {"zjtxnxKj", 'F'}, {"zjtxnxSs", 'G'},
    {"bqzjtxeKj", 'H'}, {"bqzjtxeSs", 'I'}, {"nstze", 'J'},
};

// Marks in the column order above (D to J). Rows 9, 15, 18 and 26 are subtotals and the total,
// which have no depreciation period.
constexpr GridRow kAssets[] = {
    {9, "gdzc", "xx..xxx"},
    {10, "fwjzw", "xxxxxxx"},
    {11, "fjhclcjqjxqtScsb", "xxxxxxx"},
    {12, "yscjyygQjgjjj", "xxxxxxx"},
    {13, "fjhclcywYsgj", "xxxxxxx"},
    {14, "dzsb", "xxxxxxx"},
    {15, "scxswzc", "xx..xxx"},
    {16, "lml", "xxxxxxx"},
    {17, "cl", "xxxxxxx"},
    {18, "cqdtfy", "xx..xxx"},
    {19, "yzetqzjGdzcGjzc", "xxxxxxx"},
    {20, "zrGdzcGjzc", "xxxxxxx"},
    {21, "gdzcDxlzc", "xxxxxxx"},
    {22, "qtCqdtfy", "xxxxxxx"},
    {23, "wxzc", "xxxxxxx"},
    {24, "yqkttz", "xxxxxxx"},
    {25, "yqkftz", "xxxxxxx"},
    {26, "hj", "xx..xxx"},
};
static_assert(CountMarked(kAssets, 0) == 18 && CountMarked(kAssets, 1) == 18 &&
              CountMarked(kAssets, 2) == 14 && CountMarked(kAssets, 3) == 14 &&
              CountMarked(kAssets, 4) == 18 && CountMarked(kAssets, 5) == 18 &&
              CountMarked(kAssets, 6) == 18);

}  // namespace

void WriteAdvertisingExpenses(XmlLineWriter& out, Worksheet& sheet) {
  WriteColumnSection(out, sheet, "sbbQysds2008NdAFb08", 'D', kAdvertising);
}

void WriteDepreciation(XmlLineWriter& out, Worksheet& sheet) {
  StartTag(out, "sbbQysds2008NdAFb09");
  WriteGridGroups(out, sheet, kDepreciationColumns, kAssets);
  EndTag(out, "sbbQysds2008NdAFb09");
}

}  // namespace ledgerix::incometax
