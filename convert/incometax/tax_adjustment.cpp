// The tax adjustment appendix, sbbQysds2008NdAFb03: a grid on worksheet 4, one container per
// amount column, each listing the items that have a place in that column.
#include "convert/incometax/return_sections.h"

namespace ledgerix::incometax {
namespace {

constexpr GridColumn kColumns[] = {
    {"zzje", 'E'},
    {"ssje", 'F'},
    {"tzje", 'G'},
    {"tjje", 'H'},
};

// Marks in the column order above (E F G H). Rows 26 and 48 are headings and are never read.
constexpr GridRow kItems[] = {
    {7, "srltzxm", "..xx"},
    {8, "stxssrTfby", "..x."},
    {9, "jsjzsr", ".xx."},
    {10, "bfhSsgdXszkZr", "xxx."},
    {11, "waQzfszyzqrSr", "xxxx"},
    {12, "cstzcbTzqrsy", "...x"},
    {13, "cyqjTzsy", "..xx"},
    {14, "tscz", "xxxx"},
    {15, "ybcz", "xxxx"},
    {16, "gyjzbdJsyTfbq", "..xx"},
    {17, "dysyZfbz", "xxxx"},
    {18, "jwyssdTfbl", "...x"},
    {19, "brxkcJwtzss", "..x."},
    {20, "bzssrTfby", "...x"},
    {21, "mssrTfbw", "...x"},
    {22, "jjsrTfbw", "...x"},
    {23, "jmsxmsdTfbw", "...x"},
    {24, "dkynssdeTfbw", "...x"},
    {25, "qtSr", "xxxx"},
    {27, "kcltzxm", "..xx"},
    {28, "stxscbTfbe", "...x"},
    {29, "gzxjzc", "xxxx"},
    {30, "zgflfzc", "xxxx"},
    {31, "zgjyjfzc", "xxxx"},
    {32, "ghjfzc", "xxxx"},
    {33, "ywzdfzc", "xxx."},
    {34, "ggfYwxcfZcTfbb", "..xx"},
    {35, "jzzc", "xxx."},
    {36, "lxzc", "xxxx"},
    {37, "zfgjj", "xxx."},
    {38, "fjfkbmscwss", "x.x."},
    {39, "ssznj", "x.x."},
    {40, "zzzc", "x.x."},
    {41, "gljbshbzxjk", "xxxx"},
    {42, "bcylbxBcylbx", "xxxx"},
    {43, "wrzxgCwfy", "xxxx"},
    {44, "qdsrwgzc", "x.x."},
    {45, "bzssrfy", "x.x."},
    {46, "jjkcTfbw", "...x"},
    {47, "qtKc", "xxxx"},
    {49, "zcltzxm", "..xx"},
    {50, "ccss", "xxxx"},
    {51, "gdzczjTfbj", "..xx"},
    {52, "scxswZczjTfbj", "..xx"},
    {53, "cqdtfytxTfbj", "..xx"},
    {54, "wxzctxTfbj", "..xx"},
    {55, "tzzrCzsdTfbsy", "..xx"},
    {56, "yqkttz", "..xx"},
    {57, "yqkftz", "..xx"},
    {58, "qtZc", "xxxx"},
    {59, "zbjtzxmTfbs", "..xx"},
    {60, "fdcqyysSrjsYjlr", "..xx"},
    {61, "tbnstzyssd", "..x."},
    {62, "qt", "..xx"},
    {63, "hj", "..xx"},
};

static_assert(CountMarked(kItems, 0) == 25);
static_assert(CountMarked(kItems, 1) == 21);
static_assert(CountMarked(kItems, 2) == 46);
static_assert(CountMarked(kItems, 3) == 42);

}  // namespace

void WriteTaxAdjustment(XmlLineWriter& out, Worksheet& sheet) {
  StartTag(out, "sbbQysds2008NdAFb03");
  WriteGridGroups(out, sheet, kColumns, kItems);
  EndTag(out, "sbbQysds2008NdAFb03");
}

}  // namespace ledgerix::incometax
