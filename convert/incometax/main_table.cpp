// The main table of the return, sbbQysds2008NdAZb: column H, rows 7 to 48 of worksheet 1.
#include "convert/incometax/return_sections.h"

namespace ledgerix::incometax {
namespace {

constexpr RowElement kProfit[] = {
    {7, "yysrTfby"},    {8, "jYecbTfbe"},   {9, "yysjJfj"},    {10, "xsfyTfbe"}, {11, "glfyTfbe"},
    {12, "cwfyTfbe"},   {13, "zcjzSs"},     {14, "jGyjzBdsy"}, {15, "tzSy"},     {16, "yylr"},
    {17, "jYywsrTfby"}, {18, "jYywzcTfbe"}, {19, "lrze"},
};

constexpr RowElement kTaxableIncome[] = {
    {20, "jNstzZjeTfbs"},  {21, "jNstzJseTfbs"}, {22, "qzBzssr"},       {23, "mssr"},
    {24, "jjsr"},          {25, "jmsXmsd"},      {26, "jjkc"},          {27, "dkYnssde"},
    {28, "jJwYssdMbJnks"}, {29, "nstzhsd"},      {30, "jMbYqndksTfbs"}, {31, "ynsSde"},
};

constexpr RowElement kTaxPayable[] = {
    {32, "sl"},
    {33, "ynsdse"},
    {34, "jJmsdseTfbw"},
    {35, "jDmsdseTfbw"},
    {36, "ynse"},
    {37, "jJwsdYnsdseTfbl"},
    {38, "jJwsdDmsdseTfbl"},
    {39, "sjynSdse"},
    {40, "jBnljSjyyjdSdse"},
    {41, "qzHznsZjgFtYjse"},
    {42, "hznsZjgCztkYjse"},
    {43, "hznsZjgSsfzjgFtYjse"},
    {44, "hbnsMztzCyqyJdYjbl"},
    {45, "hbnsqyJdyjSdse"},
    {46, "bnybtSdse"},
};

constexpr RowElement kAttached[] = {{47, "yqndDjsdseBnDje"}, {48, "yqndYjwjBnRksdse"}};

constexpr ColumnGroup kGroups[] = {
    {"zbLrzejs", 'H', kProfit},
    {"zbYnssdejs", 'H', kTaxableIncome},
    {"zbYnsejs", 'H', kTaxPayable},
    {"zbFlzl", 'H', kAttached},
};

static_assert(std::size(kProfit) + std::size(kTaxableIncome) + std::size(kTaxPayable) +
                  std::size(kAttached) ==
              42);

}  // namespace

void WriteMainTable(XmlLineWriter& out, Worksheet& sheet) {
  StartTag(out, "sbbQysds2008NdAZb");
  for (const ColumnGroup& group : kGroups) WriteColumnGroup(out, sheet, group);
  EndTag(out, "sbbQysds2008NdAZb");
}

}  // namespace ledgerix::incometax
