// Fixtures for the income tax return tests: a ten-worksheet return workbook in memory whose
// cells hold their own addresses, and a memory sink for the line writer.
#pragma once

#include <memory>
#include <string>

#include "convert/common/xml_line_writer.h"
#include "tests/convert/fake_sheet.h"
#include "tests/convert/test_files.h"

namespace ledgerix::testing {

// Collects the written bytes; Commit marks them finished.
class MemorySink : public LineSink {
 public:
  explicit MemorySink(std::string* bytes) : bytes_(bytes) {}
  void Write(std::string_view bytes) override { bytes_->append(bytes); }
  void Commit() override { committed = true; }
  bool committed = false;

 private:
  std::string* bytes_;
};

// Fills columns first..last of rows from..to with "<sheet>!<address>" texts.
inline void FillWithAddresses(FakeSheet& sheet, int sheetNumber, char first, char last, int from,
                              int to) {
  for (char c = first; c <= last; ++c) {
    for (int row = from; row <= to; ++row) {
      const std::string address = std::string(1, c) + std::to_string(row);
      sheet.SetText(address, std::to_string(sheetNumber) + "!" + address);
    }
  }
}

// A return workbook of `count` worksheets. Every cell of every table region (unmarked grid
// positions and the rows around the tables included) holds its own "<sheet>!<address>", so a
// value that reaches the wrong element, or a cell that should never be read, shows up. A few
// cells hold numbers, an empty value and texts that the value rules change.
inline std::shared_ptr<FakeWorkbook> AddressedReturnWorkbook(int count = 11) {
  auto book = std::make_shared<FakeWorkbook>();
  for (int i = 1; i <= count; ++i) {
    auto sheet = book->Add(std::make_shared<FakeSheet>("Sheet" + std::to_string(i)));
    switch (i) {
      case 1:
        sheet->SetText("B3", "所属时期：2008年01月01日至2008年12月31日");
        sheet->SetText("B4", "纳税人名称：广州市明珠五金&电器有限公司");
        sheet->SetText("B5", "纳税人识别号：440101123456789 （国税）");
        FillWithAddresses(*sheet, 1, 'A', 'I', 6, 49);
        sheet->SetNumber("H7", 12345678.9);
        sheet->Set("H8", Variant());
        sheet->SetNumber("H19", -20);
        sheet->SetNumber("H32", 0.25);
        break;
      case 2:
      case 3:
        FillWithAddresses(*sheet, i, 'C', 'E', 5, 34);
        break;
      case 4:
        FillWithAddresses(*sheet, 4, 'D', 'I', 6, 64);
        break;
      case 5:
        FillWithAddresses(*sheet, 5, 'C', 'O', 9, 17);
        sheet->SetNumber("D10", 2003);
        sheet->SetText("D11", "2004年度");
        sheet->SetNumber("D12", 2005.5);
        sheet->SetText("D13", "2006");
        sheet->SetText("D14", "2007年");
        sheet->SetText("D15", "2008年度");
        break;
      case 6:
        FillWithAddresses(*sheet, 6, 'C', 'E', 5, 53);
        sheet->SetText("D52", "制造业（工业企业）");
        break;
      case 9:
        FillWithAddresses(*sheet, 9, 'C', 'E', 7, 19);
        break;
      case 10:
        FillWithAddresses(*sheet, 10, 'C', 'K', 8, 27);
        break;
      default:  // 7, 8 and 11 are never read, whatever they hold
        FillWithAddresses(*sheet, i, 'A', 'N', 1, 60);
        break;
    }
  }
  return book;
}

inline FakeSheet& SheetAt(FakeWorkbook& book, int position) {
  return static_cast<FakeSheet&>(*book.GetWorksheets()->GetItem(position));
}

}  // namespace ledgerix::testing
