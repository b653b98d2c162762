#include "engine/xlsx_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "engine/xlsx_layout.h"
#include "engine/xlsx_text.h"
#include "engine/xlsx_xml.h"
#include "engine/xml_stream.h"
#include "engine/zip_container.h"

namespace ledgerix::engine {
namespace {

// Parts read as a whole document (workbook, relationships, styles, a sheet's layout): three
// times the largest seen in real workbooks, a hundred times a statement's. The DOM of a part
// this size can take some 500 MB.
constexpr std::size_t kMaxPartBytes = 32u << 20;
// Worksheets and shared strings are streamed, so their size costs time, not memory (the cells
// have their own budget); beyond this a part is no workbook any application writes.
constexpr std::uint64_t kMaxStreamedPartBytes = std::uint64_t{2} << 30;

// In place, keeping whitespace-only text that stands alone (<t xml:space="preserve"> </t>).
// Document type declarations are parsed only to be refused (below).
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_doctype;

std::string Detail(const char* reason, const std::string& detail) {
  return std::string(reason) + "（" + detail + "）";
}

// The relationship id of <sheet r:id="...">, whatever the prefix is called.
const char* RelationshipIdOf(pugi::xml_node sheet) {
  for (pugi::xml_attribute a = sheet.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    if (std::strchr(name, ':') && std::strcmp(LocalName(name), "id") == 0) return a.value();
  }
  return nullptr;
}

struct ParsedPart {
  std::string bytes;  // pugixml parses in place: the document points into these bytes
  pugi::xml_document doc;
};

// Reads and parses one part; false when the package has no such part.
bool LoadPart(ZipPackage& zip, const std::string& name, ParsedPart& out) {
  std::optional<std::string> bytes = zip.ReadPart(name, kMaxPartBytes);
  if (!bytes) return false;
  out.bytes = std::move(*bytes);
  pugi::xml_parse_result result =
      out.doc.load_buffer_inplace(out.bytes.data(), out.bytes.size(), kParseOptions);
  if (!result) {
    throw BookError(Detail(kCorrupt, "part " + name + ": " + result.description() + " at offset " +
                                         std::to_string(result.offset)));
  }
  // Package parts may not carry a DTD; entity tricks (billion laughs) are refused, not read.
  for (pugi::xml_node node = out.doc.first_child(); node; node = node.next_sibling()) {
    if (node.type() == pugi::node_doctype) {
      throw BookError(Detail(kCorrupt, "part " + name + " has a document type declaration"));
    }
  }
  return true;
}

// "/xl/workbook.xml" or "worksheets/sheet1.xml" seen from the folder "xl/" -> a part name
// without a leading slash. Targets are URIs: %XX escapes are decoded, and some producers
// write backslashes.
std::string ResolveTarget(std::string_view base_dir, std::string_view target) {
  std::string raw;
  for (std::size_t i = 0; i < target.size(); ++i) {
    char ch = target[i];
    if (ch == '%' && i + 2 < target.size() &&
        std::isxdigit(static_cast<unsigned char>(target[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(target[i + 2]))) {
      raw.push_back(
          static_cast<char>(std::stoi(std::string(target.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    } else {
      raw.push_back(ch == '\\' ? '/' : ch);
    }
  }
  std::string joined = !raw.empty() && raw[0] == '/' ? raw : std::string(base_dir) + raw;
  std::vector<std::string_view> parts;
  std::string_view rest(joined);
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (std::string_view part : parts) {
    if (!out.empty()) out.push_back('/');
    out.append(part);
  }
  return out;
}

struct Relationship {
  std::string id;
  std::string kind;  // the last segment of the type URI: "worksheet", "officeDocument" ...
  std::string target;
};

// The relationships of part ("" for the package itself); none when there is no .rels part.
std::vector<Relationship> ReadRelationships(ZipPackage& zip, const std::string& part) {
  std::size_t slash = part.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  ParsedPart rels;
  std::vector<Relationship> out;
  if (!LoadPart(zip, dir + "_rels/" + file + ".rels", rels)) return out;
  pugi::xml_node root = rels.doc.document_element();
  for (pugi::xml_node rel = root.first_child(); rel; rel = rel.next_sibling()) {
    if (!IsElement(rel, "Relationship")) continue;
    if (std::strcmp(rel.attribute("TargetMode").value(), "External") == 0) continue;
    std::string_view type = rel.attribute("Type").value();
    std::size_t last = type.rfind('/');
    out.push_back({rel.attribute("Id").value(),
                   std::string(last == std::string_view::npos ? type : type.substr(last + 1)),
                   ResolveTarget(dir, rel.attribute("Target").value())});
  }
  return out;
}

const Relationship* FindByKind(const std::vector<Relationship>& rels, std::string_view kind) {
  for (const auto& rel : rels) {
    if (rel.kind == kind) return &rel;
  }
  return nullptr;
}

bool IsTrue(const char* value) {
  return std::strcmp(value, "1") == 0 || std::strcmp(value, "true") == 0;
}

// What an element of a streamed part is, as far as the cells are concerned.
enum class Markup { kNone, kRoot, kSheetData, kRow, kCell, kV, kIs, kSi, kT, kRun, kRunT, kOther };

// A string item's (<si>, <is>) children: its <t>, its runs <r> and their <t>; phonetic runs
// (<rPh>) and everything else are not part of the value. item is kSi or kIs, holder what
// holds items.
Markup StringMarkup(Markup parent, Markup holder, Markup item, std::string_view name) {
  if (parent == holder && item == Markup::kSi && name == "si") return Markup::kSi;
  if (parent == item) {
    if (name == "t") return Markup::kT;
    if (name == "r") return Markup::kRun;
  }
  if (parent == Markup::kRun && name == "t") return Markup::kRunT;
  return Markup::kOther;
}

// Whether text under an element of this kind is part of a string item's value. The item's own
// kind is not tracked below it, so a <t> or a run's <t> counts wherever it is; StringMarkup
// only makes them under an item.
bool IsTextOf(Markup parent, Markup /*item*/) {
  return parent == Markup::kT || parent == Markup::kRunT;
}

class XlsxBook : public Book {
 public:
  explicit XlsxBook(std::string bytes) : bytes_(std::move(bytes)), zip_(bytes_) {
    std::string workbook_part = FindWorkbookPart();
    ReadWorkbook(workbook_part);
  }

  std::string format() const override { return "xlsx"; }

 protected:
  void LoadSheet(int sheet, CellStore& out) override {
    const std::string& part = sheet_parts_[static_cast<std::size_t>(sheet)];
    std::optional<PartStream> stream = zip_.OpenPart(part, kMaxStreamedPartBytes);
    if (!stream) throw BookError(Detail(kCorrupt, "worksheet part " + part + " is missing"));
    ReadSheetData(*stream, sheets_[static_cast<std::size_t>(sheet)].name, out);
  }

  void LoadLayout(int sheet, SheetLayout& out) override {
    auto index = static_cast<std::size_t>(sheet);
    const std::string& part = sheet_parts_[index];
    ParsedPart xml;
    if (!LoadPart(zip_, part, xml)) {
      throw BookError(Detail(kCorrupt, "worksheet part " + part + " is missing"));
    }
    if (!print_names_) {
      // The print names are in the workbook part, read again here so that opening a
      // workbook for conversion does not pay for them.
      print_names_.emplace();
      try {
        ParsedPart workbook;
        if (LoadPart(zip_, FindWorkbookPart(), workbook)) {
          *print_names_ = ReadXlsxPrintNames(workbook.doc.document_element());
        }
      } catch (const BookError&) {
      }
    }
    ReadXlsxLayout(xml.doc.document_element(), sheet_tabs_[index], sheets_[index].name,
                   *print_names_, &out);
    ReadXlsxHeaderFooterPictures(
        xml.doc.document_element(), part,
        {[this](const std::string& name) { return zip_.ReadPart(name, kMaxPartBytes); },
         [this](const std::string& from, const std::string& id) -> std::optional<std::string> {
           for (const Relationship& rel : ReadRelationships(zip_, from)) {
             if (rel.id == id) return rel.target;
           }
           return std::nullopt;
         }},
        &out.header_footer);
  }

  // A styles or theme part that cannot be read leaves the defaults.
  void LoadStyles(StyleTable& out) override {
    try {
      std::string workbook = FindWorkbookPart();
      std::vector<Relationship> rels = ReadRelationships(zip_, workbook);
      const Relationship* styles_rel = FindByKind(rels, "styles");
      const Relationship* theme_rel = FindByKind(rels, "theme");
      ParsedPart styles, theme;
      if (theme_rel) {
        try {
          LoadPart(zip_, theme_rel->target, theme);
        } catch (const BookError&) {
          theme.doc.reset();
        }
      }
      if (!LoadPart(zip_, styles_rel ? styles_rel->target : "xl/styles.xml", styles)) return;
      ReadXlsxStyles(styles.doc.document_element(), theme.doc.document_element(), &out);
    } catch (const BookError&) {
      out = StyleTable();
    }
  }

 private:
  std::string FindWorkbookPart() {
    std::vector<Relationship> rels = ReadRelationships(zip_, "");
    std::string part = "xl/workbook.xml";
    if (const Relationship* office = FindByKind(rels, "officeDocument")) part = office->target;
    if (part.size() >= 4 && part.compare(part.size() - 4, 4, ".bin") == 0) {
      throw BookError(Detail(kUnsupported, "binary workbook part " + part));
    }
    return part;
  }

  void ReadWorkbook(const std::string& part) {
    ParsedPart xml;
    if (!LoadPart(zip_, part, xml)) {
      throw BookError(Detail(kNotAWorkbook, "ZIP package without workbook part " + part));
    }
    pugi::xml_node root = xml.doc.document_element();
    if (!IsElement(root, "workbook")) {
      throw BookError(Detail(kNotAWorkbook, "part " + part + " holds <" + std::string(root.name()) +
                                                ">, not <workbook>"));
    }
    std::vector<Relationship> rels = ReadRelationships(zip_, part);

    date1904_ = IsTrue(ChildElement(root, "workbookPr").attribute("date1904").value());

    // The active tab counts every sheet, chart and dialog sheets too.
    int active_tab = 0;
    pugi::xml_node view = ChildElement(ChildElement(root, "bookViews"), "workbookView");
    if (const char* tab = view.attribute("activeTab").value(); *tab) {
      int value = 0;
      auto [end, ec] = std::from_chars(tab, tab + std::strlen(tab), value);
      if (ec == std::errc() && *end == '\0') active_tab = value;
    }

    int tab = 0;
    int active = -1;
    pugi::xml_node list = ChildElement(root, "sheets");
    for (pugi::xml_node sheet = list.first_child(); sheet; sheet = sheet.next_sibling()) {
      if (!IsElement(sheet, "sheet")) continue;
      int this_tab = tab++;
      const char* id = RelationshipIdOf(sheet);
      const Relationship* rel = nullptr;
      for (const auto& r : rels) {
        if (id && r.id == id) rel = &r;
      }
      SheetInfo info;
      info.name = sheet.attribute("name").value();
      if (!rel) {
        throw BookError(Detail(kCorrupt, "sheet \"" + info.name + "\": no relationship \"" +
                                             (id ? id : "") + "\" in " + part));
      }
      if (rel->kind != "worksheet") continue;  // chart, dialog and macro sheets
      // Checked now so that a damaged package fails to open rather than on some later read.
      if (!zip_.HasPart(rel->target)) {
        throw BookError(Detail(kCorrupt, "worksheet part " + rel->target + " is missing"));
      }
      std::string_view state = sheet.attribute("state").value();
      if (state == "hidden") info.visible = xlSheetHidden;
      if (state == "veryHidden") info.visible = xlSheetVeryHidden;
      if (this_tab == active_tab) active = static_cast<int>(sheets_.size());
      sheets_.push_back(std::move(info));
      sheet_parts_.push_back(rel->target);
      sheet_tabs_.push_back(this_tab);
    }
    if (tab == 0) throw BookError(Detail(kCorrupt, part + " lists no sheets"));
    // A hidden sheet cannot be active, and a chart sheet is not in Worksheets: the first
    // visible worksheet stands in.
    if (active < 0 || sheets_[static_cast<std::size_t>(active)].visible != xlSheetVisible) {
      active = 0;
      for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (sheets_[i].visible == xlSheetVisible) {
          active = static_cast<int>(i);
          break;
        }
      }
    }
    active_sheet_ = active;

    const Relationship* sst = FindByKind(rels, "sharedStrings");
    ReadSharedStrings(sst ? sst->target : "xl/sharedStrings.xml");
  }

  void ReadSharedStrings(const std::string& part) {
    std::optional<PartStream> stream = zip_.OpenPart(part, kMaxStreamedPartBytes);
    if (!stream) return;
    XmlStream xml(*stream);
    std::vector<Markup> open;  // what each element above the current node is
    std::string text;
    std::uint64_t cost = 0;
    const auto empty = std::make_shared<const std::string>();
    while (xml.Next()) {
      auto depth = static_cast<std::size_t>(xml.depth());
      if (xml.node() == XmlStream::Node::Text) {
        if (depth > 0 && depth <= open.size() && IsTextOf(open[depth - 1], Markup::kSi)) {
          text.append(xml.text());
        }
        continue;
      }
      if (xml.node() == XmlStream::Node::EndElement) {
        if (depth < open.size() && open[depth] == Markup::kSi) {
          AddSharedString(part, text, empty, &cost);
        }
        open.resize(depth);
        continue;
      }
      if (xml.node() != XmlStream::Node::Element) continue;
      open.resize(depth);
      Markup parent = depth == 0 ? Markup::kNone : open[depth - 1];
      Markup kind = depth == 0 ? Markup::kRoot
                               : StringMarkup(parent, Markup::kRoot, Markup::kSi, xml.local_name());
      if (kind == Markup::kSi) text.clear();
      if (xml.empty_element()) {
        if (kind == Markup::kSi) AddSharedString(part, text, empty, &cost);
        continue;
      }
      open.push_back(kind);
    }
  }

  void AddSharedString(const std::string& part, const std::string& raw,
                       const std::shared_ptr<const std::string>& empty, std::uint64_t* cost) {
    // One empty text serves every empty item: a table of them costs no more than its places.
    std::shared_ptr<const std::string> text =
        raw.empty() ? empty : std::make_shared<const std::string>(DecodeEscapes(raw));
    *cost += kCellBudgetBytes + text->size();
    if (*cost > kSheetBudgetBytes) {
      throw BookError(Detail(kTooLarge, "shared strings of " + part + ": more than " +
                                            std::to_string(kSheetBudgetBytes) + " bytes after " +
                                            std::to_string(strings_.size()) + " items"));
    }
    strings_.push_back(std::move(text));
  }

  [[noreturn]] void CellFault(const std::string& part, std::uint32_t row, std::uint32_t col,
                              const std::string& what) {
    throw BookError(Detail(kCorrupt, part + " cell " + FormatA1(row, col) + ": " + what));
  }

  // One <c> as read: its attributes, its first <v> and its first <is>.
  struct CellMarkup {
    std::string ref, type;
    bool has_v = false, has_is = false;
    std::string v, is_text;
    void Clear() {
      ref.clear();
      type.clear();
      has_v = has_is = false;
      v.clear();
      is_text.clear();
    }
  };

  void StartRow(XmlStream& xml, const std::string& part, std::int64_t* row, std::string& scratch) {
    if (xml.Attribute("r", &scratch) && !scratch.empty()) {
      std::uint32_t value = 0;
      auto [end, ec] = std::from_chars(scratch.data(), scratch.data() + scratch.size(), value);
      if (ec != std::errc() || end != scratch.data() + scratch.size() || value == 0 ||
          value > kMaxRows) {
        throw BookError(Detail(kCorrupt, part + ": row number \"" + scratch + "\""));
      }
      *row = value - 1;
    } else {
      ++*row;  // rows without r follow the previous one
    }
    if (*row >= static_cast<std::int64_t>(kMaxRows)) {
      throw BookError(Detail(kCorrupt, part + ": more rows than a sheet holds"));
    }
  }

  // The cell's place and value into out, counted against the sheet's budget.
  void EndCell(const std::string& part, const std::string& sheet_name, const CellMarkup& cell,
               std::int64_t row, std::int64_t* col, std::uint64_t* cost, CellStore& out) {
    std::uint32_t cell_row = static_cast<std::uint32_t>(row), cell_col = 0;
    if (!cell.ref.empty()) {
      if (!ParseA1(cell.ref, &cell_row, &cell_col)) {
        throw BookError(Detail(kCorrupt, part + ": cell reference \"" + cell.ref + "\""));
      }
      *col = cell_col;
    } else {
      ++*col;  // cells without r follow the previous one
      if (*col >= static_cast<std::int64_t>(kMaxCols)) {
        throw BookError(Detail(kCorrupt, part + ": more cells in row " + std::to_string(row + 1) +
                                             " than a row holds"));
      }
      cell_col = static_cast<std::uint32_t>(*col);
    }
    Variant value = CellValue(part, cell, cell_row, cell_col);
    if (value.IsEmpty()) return;
    *cost += kCellBudgetBytes;
    // A shared-string table's text is counted once, with the table.
    if (value.type() == Variant::Type::String && value.shared_string().use_count() == 1) {
      *cost += value.string().size();
    }
    if (*cost > sheet_budget()) {
      throw BookError(Detail(kTooLarge, "sheet '" + sheet_name + "': its cells take more than " +
                                            std::to_string(sheet_budget()) + " bytes at cell " +
                                            FormatA1(cell_row, cell_col) + ", " +
                                            std::to_string(kCellBudgetBytes) + " bytes a cell"));
    }
    out.Set(cell_row, cell_col, std::move(value));
  }

  void ReadSheetData(PartStream& part_stream, const std::string& sheet_name, CellStore& out) {
    const std::string& part = part_stream.name();
    XmlStream xml(part_stream);
    std::vector<Markup> open;
    bool seen_data = false;
    std::int64_t row = -1, col = -1;
    std::uint64_t cost = 0;
    CellMarkup cell;
    std::string scratch;
    while (xml.Next()) {
      auto depth = static_cast<std::size_t>(xml.depth());
      if (xml.node() == XmlStream::Node::Text) {
        if (depth == 0 || depth > open.size()) continue;
        Markup parent = open[depth - 1];
        if (parent == Markup::kV) {
          cell.v.append(xml.text());
        } else if (IsTextOf(parent, Markup::kIs)) {
          cell.is_text.append(xml.text());
        }
        continue;
      }
      if (xml.node() == XmlStream::Node::EndElement) {
        if (depth < open.size() && open[depth] == Markup::kCell) {
          EndCell(part, sheet_name, cell, row, &col, &cost, out);
        }
        open.resize(depth);
        continue;
      }
      if (xml.node() != XmlStream::Node::Element) continue;
      open.resize(depth);
      Markup parent = depth == 0 ? Markup::kNone : open[depth - 1];
      std::string_view name = xml.local_name();
      Markup kind = Markup::kOther;
      if (depth == 0) {
        kind = Markup::kRoot;
      } else if (parent == Markup::kRoot) {
        // The first <sheetData> holds the cells, as a document's first child would.
        if (!seen_data && name == "sheetData") {
          kind = Markup::kSheetData;
          seen_data = true;
        }
      } else if (parent == Markup::kSheetData) {
        if (name == "row") {
          kind = Markup::kRow;
          StartRow(xml, part, &row, scratch);
          col = -1;
        }
      } else if (parent == Markup::kRow) {
        if (name == "c") {
          kind = Markup::kCell;
          cell.Clear();
          xml.Attribute("r", &cell.ref);
          xml.Attribute("t", &cell.type);
        }
      } else if (parent == Markup::kCell) {
        if (name == "v" && !cell.has_v) {
          kind = Markup::kV;
          cell.has_v = true;
        } else if (name == "is" && !cell.has_is) {
          kind = Markup::kIs;
          cell.has_is = true;
        }
      } else {
        kind = StringMarkup(parent, Markup::kCell, Markup::kIs, name);
      }
      if (xml.empty_element()) {
        if (kind == Markup::kCell) EndCell(part, sheet_name, cell, row, &col, &cost, out);
        continue;
      }
      open.push_back(kind);
    }
  }

  Variant CellValue(const std::string& part, const CellMarkup& c, std::uint32_t row,
                    std::uint32_t col) {
    std::string_view type = c.type;
    if (type == "inlineStr") {
      if (c.has_is) {
        // An inline string without text is no value at all, as spreadsheet applications read it.
        std::string text = DecodeEscapes(c.is_text);
        return text.empty() ? Variant() : Variant::String(std::move(text));
      }
      // Some writers put an inline string's text in <v>.
    }
    if (!c.has_v) return Variant();  // no cached value: empty
    std::string_view text = c.v;
    if (type.empty() || type == "n") {
      if (Trim(text).empty()) return Variant();
      double number = 0;
      if (!ParseXmlNumber(text, &number))
        CellFault(part, row, col, "number \"" + std::string(text) + "\"");
      return Variant::Number(number);
    }
    if (type == "s") {
      std::string_view digits = Trim(text);
      if (digits.empty()) return Variant();  // <v/>: nothing cached
      std::size_t index = 0;
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
      if (ec != std::errc() || end != digits.data() + digits.size()) {
        CellFault(part, row, col, "shared string index \"" + std::string(text) + "\"");
      }
      if (index >= strings_.size()) {
        CellFault(part, row, col,
                  "shared string index " + std::to_string(index) + " past a table of " +
                      std::to_string(strings_.size()));
      }
      return Variant::SharedString(strings_[index]);
    }
    if (type == "str" || type == "inlineStr") return Variant::String(DecodeEscapes(text));
    if (type == "b") {
      std::string_view flag = Trim(text);
      if (flag == "1" || flag == "true") return Variant::Boolean(true);
      if (flag == "0" || flag == "false") return Variant::Boolean(false);
      if (flag.empty()) return Variant();
      CellFault(part, row, col, "boolean \"" + std::string(text) + "\"");
    }
    if (type == "e") {
      std::string_view shown = Trim(text);
      CellError error;
      if (ErrorFromXmlText(shown, &error)) return Variant::Error(error);
      if (shown.empty()) return Variant();
      CellFault(part, row, col, "error value \"" + std::string(text) + "\"");
    }
    if (type == "d") {
      if (Trim(text).empty()) return Variant();
      double serial = 0;
      if (!IsoDateToSerial(Trim(text), date1904_, &serial)) {
        CellFault(part, row, col, "ISO date \"" + std::string(text) + "\"");
      }
      return Variant::Number(serial);
    }
    CellFault(part, row, col, "cell type \"" + std::string(type) + "\"");
  }

  std::string bytes_;  // the package; the ZIP layer reads from it until the book is gone
  ZipPackage zip_;
  std::vector<std::string> sheet_parts_;  // per worksheet
  std::vector<int> sheet_tabs_;           // per worksheet: its position in <sheets>
  std::optional<std::vector<XlsxPrintName>> print_names_;
  std::vector<std::shared_ptr<const std::string>> strings_;
};

}  // namespace

std::unique_ptr<Book> OpenXlsx(std::string bytes, const std::string&) {
  return std::make_unique<XlsxBook>(std::move(bytes));
}

}  // namespace ledgerix::engine
