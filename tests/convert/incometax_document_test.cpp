// The income tax return as a whole document: the golden file, the worksheet and cell order,
// the fixed sections, and what a failed conversion leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/common/cell_rules.h"
#include "convert/converters.h"
#include "convert/incometax/return_sections.h"
#include "tests/convert/fake_workbook.h"

namespace ledgerix {
namespace {

using testing::AddressedReturnWorkbook;
using testing::FakeWorkbook;
using testing::ReadFileBytes;
using testing::SheetAt;
using testing::TempFolder;

constexpr const char* kGoldenName = "QYSDS_20080101_20081231_440101123456789_V10.xml";

std::string Golden() {
  return ReadFileBytes(std::string(LEDGERIX_TEST_DATA) + "/golden/kind9_cell_addresses.xml");
}

std::chrono::system_clock::time_point Day(int y, unsigned m, unsigned d) {
  return std::chrono::sys_days(std::chrono::year(y) / std::chrono::month(m) / std::chrono::day(d));
}

class FixedToday {
 public:
  explicit FixedToday(std::chrono::system_clock::time_point t) {
    SetTodayClock([t] { return t; });
  }
  ~FixedToday() { SetTodayClock({}); }
};

// The text from "<tag>" to "</tag>\n" inclusive, searched from `from`; empty when missing.
std::string Block(const std::string& doc, const std::string& tag, std::size_t from = 0) {
  const std::size_t start = doc.find("<" + tag + ">\n", from);
  if (start == std::string::npos) return {};
  const std::string end = "</" + tag + ">\n";
  const std::size_t stop = doc.find(end, start);
  if (stop == std::string::npos) return {};
  return doc.substr(start, stop + end.size() - start);
}

// Leaf lines ("<a>...</a>") in a block.
int LeafCount(const std::string& block) {
  int n = 0;
  std::size_t line = 0;
  while (line < block.size()) {
    const std::size_t eol = block.find('\n', line);
    const std::string text = block.substr(line, eol - line);
    if (text.rfind("</", 0) != 0 && text.find("</") != std::string::npos) ++n;
    line = eol + 1;
  }
  return n;
}

TEST(IncomeTaxDocument, WholeDocumentMatchesTheGoldenWhateverToday) {
  const std::string golden = Golden();
  ASSERT_FALSE(golden.empty());
  for (auto today : {Day(2009, 3, 15), Day(2031, 12, 31)}) {
    FixedToday fixed(today);
    TempFolder folder;
    auto book = AddressedReturnWorkbook();
    EXPECT_EQ(ConvertIncomeTaxReturn(folder.folder(), *book), 1);
    EXPECT_EQ(folder.FileCount(), 1u);
    const std::string written = ReadFileBytes(folder.folder() + kGoldenName);
    EXPECT_TRUE(written == golden)
        << "output differs from the golden; first difference at byte "
        << std::distance(
               written.begin(),
               std::mismatch(written.begin(), written.end(), golden.begin(), golden.end()).first);
  }
}

TEST(IncomeTaxDocument, GoldenHoldsTheDocumentedElementCounts) {
  const std::string doc = Golden();
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAZb")), 42);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb011")), 26);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb021")), 28);
  const std::string adjustment = Block(doc, "sbbQysds2008NdAFb03");
  EXPECT_EQ(LeafCount(Block(adjustment, "zzje")), 25);
  EXPECT_EQ(LeafCount(Block(adjustment, "ssje")), 21);
  EXPECT_EQ(LeafCount(Block(adjustment, "tzje")), 46);
  EXPECT_EQ(LeafCount(Block(adjustment, "tjje")), 42);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb04")), 51);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb05")), 47);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb08")), 11);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb09")), 118);
  EXPECT_EQ(LeafCount(Block(doc, "sbbQysds2008NdAFb07")), 50);
  const std::string impairment = Block(doc, "sbbQysds2008NdAFb10");
  EXPECT_EQ(LeafCount(impairment), 84);
  EXPECT_EQ(LeafCount(Block(impairment, "bqzhe")), 16);
  EXPECT_EQ(doc.find('\r'), std::string::npos);
  EXPECT_EQ(doc.rfind("<?xml", 0), 0u);
}

// Forwards to a fake sheet and notes, for every cell read, how much output existed then.
class RecordingSheet : public Worksheet {
 public:
  struct Read {
    std::string address;
    std::size_t written;
  };
  RecordingSheet(std::shared_ptr<Worksheet> inner, const std::string& out, std::vector<Read>& log)
      : inner_(std::move(inner)), out_(out), log_(log) {}
  std::string GetName() override { return inner_->GetName(); }
  std::int32_t GetVisible() override { return inner_->GetVisible(); }
  std::shared_ptr<Range> GetRange(std::string_view a, std::string_view b) override {
    log_.push_back({std::string(a), out_.size()});
    return inner_->GetRange(a, b);
  }
  void PrintOut(std::string_view p) override { inner_->PrintOut(p); }

 private:
  std::shared_ptr<Worksheet> inner_;
  const std::string& out_;
  std::vector<Read>& log_;
};

class RecordingSheets : public Worksheets {
 public:
  RecordingSheets(std::shared_ptr<Worksheets> inner, const std::string& out,
                  std::vector<RecordingSheet::Read>& log)
      : inner_(std::move(inner)), out_(out), log_(log) {}
  std::int32_t GetCount() override { return inner_->GetCount(); }
  std::shared_ptr<Worksheet> GetItem(std::int32_t index) override {
    selections.push_back({index, out_.size()});
    return std::make_shared<RecordingSheet>(inner_->GetItem(index), out_, log_);
  }
  std::vector<std::pair<int, std::size_t>> selections;

 private:
  std::shared_ptr<Worksheets> inner_;
  const std::string& out_;
  std::vector<RecordingSheet::Read>& log_;
};

TEST(IncomeTaxDocument, EachCellIsReadJustBeforeItsElementAndSheetsBetweenSections) {
  auto book = AddressedReturnWorkbook();
  std::string out;
  std::vector<RecordingSheet::Read> reads;
  RecordingSheets sheets(book->GetWorksheets(), out, reads);
  XmlLineWriter writer(std::make_unique<testing::MemorySink>(&out));
  auto first = sheets.GetItem(1);
  const incometax::ReturnHeader header = incometax::ReadReturnHeader(*first);
  incometax::WriteReturnDocument(writer, sheets, *first, header);
  writer.Close();
  ASSERT_EQ(out, Golden());

  // Header cells first, before anything is written.
  ASSERT_GE(reads.size(), 3u);
  EXPECT_EQ(reads[0].address, "B5");
  EXPECT_EQ(reads[1].address, "B4");
  EXPECT_EQ(reads[2].address, "B3");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(reads[i].written, 0u);

  // Every later read happens when the output stands right before the line of its element.
  // Cells holding their address show which line that is; the rest are pinned by the golden.
  for (std::size_t i = 3; i < reads.size(); ++i) {
    const std::size_t eol = out.find('\n', reads[i].written);
    const std::string next_line = out.substr(reads[i].written, eol - reads[i].written);
    const bool is_address_line = next_line.find("!" + reads[i].address + "<") != std::string::npos;
    const bool is_special = next_line.find("<yysrTfby>") == 0 ||
                            next_line.find("<jYecbTfbe>") == 0 || next_line.find("<lrze>") == 0 ||
                            next_line.find("<sl>") == 0 || next_line.find("<nd>") == 0 ||
                            next_line.find("<sshyGyQt>") == 0;
    EXPECT_TRUE(is_address_line || is_special) << reads[i].address << " read before " << next_line;
  }
  EXPECT_EQ(reads.size(), 3u + 42 + 26 + 28 + 134 + 51 + 47 + 11 + 118);

  // Worksheets by position, each right after the previous section's end tag; 7, 8 and 11 never.
  const std::vector<std::pair<int, std::string>> expected = {
      {2, "</sbbQysds2008NdAZb>\n"},    {3, "</sbbQysds2008NdAFb011>\n"},
      {4, "</sbbQysds2008NdAFb021>\n"}, {5, "</sbbQysds2008NdAFb03>\n"},
      {6, "</sbbQysds2008NdAFb04>\n"},  {9, "</sbbQysds2008NdAFb07>\n"},
      {10, "</sbbQysds2008NdAFb08>\n"},
  };
  ASSERT_EQ(sheets.selections.size(), expected.size() + 1);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto [index, written] = sheets.selections[i + 1];
    EXPECT_EQ(index, expected[i].first);
    const std::string& tag = expected[i].second;
    EXPECT_EQ(out.compare(written - tag.size(), tag.size(), tag), 0) << "sheet " << index;
  }
}

TEST(IncomeTaxDocument, UnmarkedCellsAndSkippedSheetsAreNeverRead) {
  TempFolder folder;
  auto book = AddressedReturnWorkbook();
  ConvertIncomeTaxReturn(folder.folder(), *book);
  for (int skipped : {7, 8, 11}) EXPECT_TRUE(SheetAt(*book, skipped).reads().empty()) << skipped;
  auto read = [&](int sheet, const std::string& address) {
    const auto& r = SheetAt(*book, sheet).reads();
    return std::find(r.begin(), r.end(), address) != r.end();
  };
  for (const char* a : {"E12", "F12", "G12", "E26", "H26", "G48", "E61", "H61", "E7", "H33"}) {
    EXPECT_FALSE(read(4, a)) << a;
  }
  EXPECT_TRUE(read(4, "H12"));
  EXPECT_TRUE(read(4, "G61"));
  for (const char* a : {"N10", "H11", "H15", "L15", "D16", "M16"}) EXPECT_FALSE(read(5, a)) << a;
  for (const char* a : {"F9", "G9", "F26", "G18", "K9"}) EXPECT_FALSE(read(10, a)) << a;
  EXPECT_FALSE(read(1, "H6"));
  EXPECT_FALSE(read(1, "H49"));
  EXPECT_FALSE(read(6, "D53"));
}

TEST(IncomeTaxDocument, FixedSectionsAreTheSameInEveryFile) {
  // A second workbook unlike the first: another period, empty tables, other loss years and
  // figures on the skipped sheets.
  auto other = std::make_shared<FakeWorkbook>();
  for (int i = 1; i <= 10; ++i) other->Add(std::make_shared<testing::FakeSheet>());
  SheetAt(*other, 1).SetText("B3", "所属时期：2011-01-01至2011-12-31");
  SheetAt(*other, 1).SetText("B5", "纳税人识别号：91440101 ");
  SheetAt(*other, 5).SetText("D15", "2011");
  testing::FillWithAddresses(SheetAt(*other, 7), 7, 'A', 'K', 1, 40);
  testing::FillWithAddresses(SheetAt(*other, 8), 8, 'A', 'K', 1, 40);
  TempFolder folder;
  ConvertIncomeTaxReturn(folder.folder(), *other);
  const std::string a = Golden();
  const std::string b = ReadFileBytes(folder.folder() + "QYSDS_20110101_20111231_91440101_V10.xml");
  ASSERT_FALSE(b.empty());
  for (const char* tag : {"sbbQysds2008NdAFb07", "sbbQysds2008NdAFb10", "sbbQysds2008NdAFb11",
                          "headAffix", "sbbQysds2008NdATjSzxxx", "initData", "privateHead"}) {
    EXPECT_FALSE(Block(a, tag).empty()) << tag;
    EXPECT_EQ(Block(a, tag), Block(b, tag)) << tag;
  }
  EXPECT_EQ(a.substr(0, a.find("<sbbQysds2008NdA>")), b.substr(0, b.find("<sbbQysds2008NdA>")));
  EXPECT_EQ(a.substr(a.find("</body>")), b.substr(b.find("</body>")));
  // Empty cells give empty elements, never "0".
  EXPECT_NE(b.find("<yysrTfby></yysrTfby>\n"), std::string::npos);
  EXPECT_NE(b.find("<sshyGyQt>02</sshyGyQt>\n"), std::string::npos);
}

TEST(IncomeTaxDocument, TooFewWorksheetsFailsNamingThePositionAndLeavesNoPartialFile) {
  for (int count : {9, 5}) {
    TempFolder folder;
    const std::string path = folder.folder() + kGoldenName;
    std::ofstream(path) << "earlier file";
    auto book = AddressedReturnWorkbook(count);
    try {
      ConvertIncomeTaxReturn(folder.folder(), *book);
      ADD_FAILURE() << count << " worksheets converted";
    } catch (const AutomationError& e) {
      const std::string missing = "第" + std::to_string(count + 1) + "个工作表";
      EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFileBytes(path), "earlier file");
    EXPECT_EQ(folder.FileCount(), 1u);
  }
}

TEST(IncomeTaxDocument, ErrorValueInACellStopsTheConversionWithoutAFile) {
  TempFolder folder;
  auto book = AddressedReturnWorkbook();
  SheetAt(*book, 4).Set("G30", Variant::Error(CellError::NA));
  EXPECT_THROW(ConvertIncomeTaxReturn(folder.folder(), *book), AutomationError);
  EXPECT_EQ(folder.FileCount(), 0u);
  // Past the error cell nothing more was read.
  EXPECT_TRUE(SheetAt(*book, 5).reads().empty());
}

TEST(IncomeTaxDocument, ConvertingAgainReplacesTheFile) {
  TempFolder folder;
  auto book = AddressedReturnWorkbook();
  ConvertIncomeTaxReturn(folder.folder(), *book);
  SheetAt(*book, 1).SetText("H9", "98765");
  ConvertIncomeTaxReturn(folder.folder(), *book);
  EXPECT_EQ(folder.FileCount(), 1u);
  const std::string doc = ReadFileBytes(folder.folder() + kGoldenName);
  EXPECT_NE(doc.find("<yysjJfj>98765</yysjJfj>\n"), std::string::npos);
  EXPECT_EQ(doc.find("1!H9"), std::string::npos);
}

}  // namespace
}  // namespace ledgerix
