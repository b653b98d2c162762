// How a SpreadsheetML worksheet looks and prints: styles.xml with theme colours, and a
// worksheet's cols, row heights, cell styles, merges, page setup, header/footer, breaks and
// print names. Read only when printing asks; values that do not parse are left unset.
#pragma once

#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sheet_layout.h"

namespace ledgerix::engine {

// styles: the styles part's root, theme: the theme part's root; either may be empty.
void ReadXlsxStyles(pugi::xml_node styles, pugi::xml_node theme, StyleTable* out);

// A _xlnm.Print_Area or _xlnm.Print_Titles defined name.
struct XlsxPrintName {
  std::optional<int> local_sheet;  // @localSheetId: position in <sheets>, charts included
  bool titles = false;             // Print_Titles rather than Print_Area
  std::string formula;             // "Sheet1!$A$1:$H$44,Sheet1!$J$1:$K$9"
};
std::vector<XlsxPrintName> ReadXlsxPrintNames(pugi::xml_node workbook);

// The package as the header/footer pictures need it: the bytes of a part (nullopt when it is
// missing), and the part that a relationship id of a part points to (nullopt when none).
struct XlsxPackageAccess {
  std::function<std::optional<std::string>(const std::string& part)> read;
  std::function<std::optional<std::string>(const std::string& part, const std::string& id)> target;
};

// The header and footer pictures of the worksheet part `sheet_part`: the shapes of the VML
// drawing its <legacyDrawingHF> names, each with its image. Pictures are cosmetic: a missing or
// damaged drawing or image leaves the list short, never fails.
void ReadXlsxHeaderFooterPictures(pugi::xml_node worksheet, const std::string& sheet_part,
                                  const XlsxPackageAccess& package, HeaderFooter* out);

// One worksheet part. tab is its position in <sheets> and name its name, to pick its print
// names from names.
void ReadXlsxLayout(pugi::xml_node worksheet, int tab, const std::string& name,
                    const std::vector<XlsxPrintName>& names, SheetLayout* out);

// "Sheet1!$A$1:$H$44,'A ''b'''!$1:$3,$A:$B" -> the areas (rows "1:3" span every column,
// columns "A:B" every row); sheet names are stripped into sheets when given. False when any
// item is not a cell, area, row or column reference ("#REF!", a function).
bool ParseRangeList(std::string_view formula, std::vector<CellRange>* out,
                    std::vector<std::string>* sheets = nullptr);

// A colour with a tint in [-1, 1] applied to its lightness, as SpreadsheetML defines tint.
std::uint32_t ApplyTint(std::uint32_t rgb, double tint);

}  // namespace ledgerix::engine
