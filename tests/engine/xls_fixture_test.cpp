// Workbooks written by real producers (tests/data/xls/make_fixtures.py): LibreOffice BIFF8,
// Gnumeric BIFF7 in GBK, python xlwt. Expected values come from the tables of that script.
// Also: the same content as .xls and .xlsx reads alike, and damaged compound files fail cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/book.h"

namespace ledgerix::engine {
namespace {

namespace fs = std::filesystem;

std::string Fixture(const char* name) { return std::string(LEDGERIX_TEST_DATA "/xls/") + name; }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Variant At(Book& book, int sheet, const char* a1) {
  std::uint32_t row, col;
  EXPECT_TRUE(ParseA1(a1, &row, &col)) << a1;
  const Variant* v = book.Cells(sheet).Find(row, col);
  return v ? *v : Variant();
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The statement sheet as make_fixtures.py writes it; LibreOffice computed the formulas.
void ExpectStatementSheet(Book& book) {
  EXPECT_EQ(At(book, 0, "A1"), Variant::String("纳税人识别号：1234 5678"));
  EXPECT_EQ(At(book, 0, "B1"), Variant::Number(1234.5));
  EXPECT_EQ(At(book, 0, "C1"), Variant::Number(-20));
  EXPECT_EQ(At(book, 0, "D1"), Variant::Number(100));
  EXPECT_EQ(At(book, 0, "A2"), Variant::Number(39814));  // 2009-01-01 as its serial
  EXPECT_EQ(At(book, 0, "B2"), Variant::Boolean(true));
  EXPECT_EQ(At(book, 0, "C2"), Variant::Number(0.1));
  EXPECT_EQ(At(book, 0, "D2"), Variant::Number(123456789012.0));
  EXPECT_EQ(At(book, 0, "A3"), Variant::Number(2469));  // =B1*2
  EXPECT_EQ(At(book, 0, "B3"), Variant::String("纳税人识别号：1234 5678元"));
  EXPECT_EQ(At(book, 0, "C3"), Variant::String(""));  // ="" is an empty string, not empty
  EXPECT_EQ(At(book, 0, "D3"), Variant::Error(CellError::Div0));
  EXPECT_EQ(At(book, 0, "E3"), Variant::Error(CellError::NA));
  EXPECT_EQ(At(book, 0, "F3"), Variant::Boolean(true));
  EXPECT_EQ(At(book, 0, "A4"), Variant::String(Repeat("汉字", 4500)));
  EXPECT_EQ(At(book, 0, "A5"), Variant::String(Repeat("abcdefghij", 1000)));
  EXPECT_EQ(At(book, 0, "B5"), Variant::String(Repeat("税", 3000)));
  EXPECT_EQ(At(book, 0, "A6"), Variant::String(" 1"));
  EXPECT_EQ(At(book, 0, "IV100"), Variant::String("far"));
  EXPECT_TRUE(At(book, 0, "B4").IsEmpty());
  EXPECT_EQ(book.Cells(0).size(), 19u);
}

TEST(XlsFixtures, LibreOfficeBiff8) {
  auto book = OpenBook(Fixture("lo_biff8.xls"));
  EXPECT_EQ(book->format(), "BIFF8");
  ASSERT_EQ(book->sheets().size(), 4u);
  EXPECT_EQ(book->sheets()[0].name, "资产负债表");
  EXPECT_EQ(book->sheets()[0].visible, xlSheetVisible);
  EXPECT_EQ(book->sheets()[1].name, "Hidden");
  EXPECT_EQ(book->sheets()[1].visible, xlSheetHidden);
  EXPECT_EQ(book->sheets()[2].name, "VeryHidden");
  // LibreOffice has no "very hidden": it saves such a sheet as hidden.
  EXPECT_EQ(book->sheets()[2].visible, xlSheetHidden);
  EXPECT_EQ(book->sheets()[3].name, "Active");
  EXPECT_EQ(book->active_sheet(), 3);
  EXPECT_FALSE(book->date1904());
  ExpectStatementSheet(*book);
  EXPECT_EQ(At(*book, 1, "A1"), Variant::String("hidden text"));
  EXPECT_EQ(At(*book, 2, "A1"), Variant::Number(7));
  EXPECT_EQ(At(*book, 3, "B2"), Variant::String("active sheet"));
}

TEST(XlsFixtures, GnumericBiff7InGbk) {
  auto book = OpenBook(Fixture("gnumeric_biff7.xls"));
  EXPECT_EQ(book->format(), "BIFF5");
  ASSERT_EQ(book->sheets().size(), 4u);
  EXPECT_EQ(book->sheets()[0].name, "资产负债表");
  EXPECT_EQ(book->sheets()[1].visible, xlSheetHidden);
  // Gnumeric stores "very hidden" as plain hidden in BIFF7.
  EXPECT_EQ(book->sheets()[2].visible, xlSheetHidden);
  EXPECT_EQ(book->active_sheet(), 3);
  // The long strings run from LABEL into CONTINUE records, some GBK characters split between.
  ExpectStatementSheet(*book);
  EXPECT_EQ(At(*book, 3, "B2"), Variant::String("active sheet"));
}

TEST(XlsFixtures, MulrkPastTheLastColumnIsRefused) {
  // xlwt.xls with its first MULRK (B1:C1) moved to column 0xFFFF: opening still works, reading
  // the sheet fails naming the record, and the other sheets are untouched.
  auto book = OpenBook(Fixture("hostile/mulrk_past_last_column.xls"));
  try {
    book->Cells(0);
    ADD_FAILURE() << "the sheet was read";
  } catch (const BookError& e) {
    EXPECT_NE(std::string(e.what()).find("record MULRK at offset 0x566"), std::string::npos)
        << e.what();
    EXPECT_NE(std::string(e.what()).find("column 65536 outside"), std::string::npos) << e.what();
    EXPECT_STREQ(e.what(),
                 "文件已损坏（record MULRK at offset 0x566: row 1, column 65536 outside a sheet "
                 "of 65536 rows × 256 columns）");
  }
  EXPECT_NO_THROW(book->Cells(1));
}

TEST(XlsFixtures, ACompoundFileWhoseRootIsItsOwnSiblingIsNoWorkbook) {
  // Found by fuzzing: a directory whose root entry is reached again as a sibling. libgsf drops
  // the entry it meets twice (a leak inside libgsf, suppressed by name in fuzz/lsan.supp), and
  // what is left holds no workbook stream.
  try {
    OpenBook(Fixture("hostile/root_sibling_is_its_own_child.xls"));
    ADD_FAILURE() << "the file opened";
  } catch (const BookError& e) {
    EXPECT_STREQ(e.what(),
                 "文件不是有效的Excel工作簿（compound file without a Workbook or Book stream）");
  }
}

TEST(XlsFixtures, PythonXlwt) {
  auto book = OpenBook(Fixture("xlwt.xls"));
  ASSERT_EQ(book->sheets().size(), 3u);
  EXPECT_EQ(book->sheets()[0].name, "xlwt表");
  EXPECT_EQ(book->sheets()[1].name, "Second");
  EXPECT_EQ(book->sheets()[1].visible, xlSheetHidden);
  EXPECT_EQ(book->sheets()[2].name, "Third");
  EXPECT_EQ(book->sheets()[2].visible, xlSheetVeryHidden);
  EXPECT_EQ(book->active_sheet(), 0);
  EXPECT_EQ(At(*book, 0, "A1"), Variant::String("利润表"));
  EXPECT_EQ(At(*book, 0, "B1"), Variant::Number(42));
  EXPECT_EQ(At(*book, 0, "C1"), Variant::Number(3.25));
  EXPECT_EQ(At(*book, 0, "D1"), Variant::Number(1e300));
  EXPECT_EQ(At(*book, 0, "E1"), Variant::Number(-7));
  EXPECT_EQ(At(*book, 0, "A2"), Variant::Boolean(true));
  EXPECT_EQ(At(*book, 0, "B2"), Variant::Boolean(false));
  EXPECT_TRUE(At(*book, 0, "C2").IsEmpty());
  EXPECT_EQ(At(*book, 0, "A3"), Variant::Number(39538));  // 2008-03-31
  const char* row4[] = {"A4", "B4", "C4", "D4", "E4", "F4", "G4", "H4", "I4", "J4"};
  for (int col = 0; col < 10; ++col) {
    EXPECT_EQ(At(*book, 0, row4[col]), Variant::Number(col * 1000.0)) << row4[col];
  }
  EXPECT_EQ(At(*book, 1, "F6"), Variant::String("F6"));
}

// The same workbook saved by LibreOffice as .xls and as .xlsx gives the same Value2 everywhere.
TEST(XlsFixtures, SameContentAsXlsAndXlsxReadsAlike) {
  auto xlsx = OpenBook(Fixture("lo.xlsx"));
  auto xls = OpenBook(Fixture("lo_biff8.xls"));
  ASSERT_EQ(xls->sheets().size(), xlsx->sheets().size());
  EXPECT_EQ(xls->active_sheet(), xlsx->active_sheet());
  for (std::size_t s = 0; s < xls->sheets().size(); ++s) {
    EXPECT_EQ(xls->sheets()[s].name, xlsx->sheets()[s].name);
    EXPECT_EQ(xls->sheets()[s].visible, xlsx->sheets()[s].visible);
    const CellStore& a = xls->Cells(static_cast<int>(s));
    const CellStore& b = xlsx->Cells(static_cast<int>(s));
    EXPECT_EQ(a.size(), b.size()) << xls->sheets()[s].name;
    a.ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
      const Variant* other = b.Find(row, col);
      ASSERT_NE(other, nullptr) << FormatA1(row, col);
      EXPECT_EQ(v, *other) << xls->sheets()[s].name << "!" << FormatA1(row, col);
    });
  }
}

TEST(XlsFixtures, FormatComesFromContentNotName) {
  fs::path dir = fs::temp_directory_path() / ("ledgerix_xls_names_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::copy_file(Fixture("xlwt.xls"), dir / "really_xls.xlsx");
  fs::copy_file(Fixture("lo.xlsx"), dir / "really_xlsx.xls");
  EXPECT_EQ(OpenBook((dir / "really_xls.xlsx").string())->format(), "BIFF8");
  std::string xlsx_format;
  try {
    xlsx_format = OpenBook((dir / "really_xlsx.xls").string())->format();
  } catch (const BookError& e) {
    xlsx_format = e.what();
  }
  fs::remove_all(dir);
  EXPECT_EQ(xlsx_format, "xlsx");
}

// Compound-file surgery on lo_biff8.xls: find the directory entry of a stream by its name.
std::size_t DirectoryEntry(const std::string& file, const std::u16string& name) {
  std::string needle;
  for (char16_t c : name) {
    needle.push_back(static_cast<char>(c & 0xFF));
    needle.push_back(static_cast<char>(c >> 8));
  }
  needle.append(2, '\0');
  std::size_t at = file.find(needle);
  EXPECT_NE(at, std::string::npos);
  return at;
}

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

void Rename(std::string& file, std::size_t entry, const std::u16string& name) {
  std::string bytes(64, '\0');
  for (std::size_t i = 0; i < name.size(); ++i) {
    bytes[2 * i] = static_cast<char>(name[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(name[i] >> 8);
  }
  file.replace(entry, 64, bytes);
  std::uint16_t length = static_cast<std::uint16_t>((name.size() + 1) * 2);
  std::memcpy(file.data() + entry + 0x40, &length, 2);
}

std::string ErrorOf(const std::string& bytes) {
  try {
    auto book = OpenBookFromMemory("damaged.xls", bytes);
    for (std::size_t s = 0; s < book->sheets().size(); ++s) book->Cells(static_cast<int>(s));
  } catch (const BookError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(XlsDamagedContainer, EncryptedPackageAndMissingWorkbookStream) {
  std::string file = Slurp(Fixture("lo_biff8.xls"));
  std::size_t entry = DirectoryEntry(file, u"Workbook");
  std::string encrypted = file;
  Rename(encrypted, entry, u"EncryptedPackage");
  EXPECT_EQ(ErrorOf(encrypted), std::string(kEncrypted) + "（encrypted Office Open XML package）");
  std::string other = file;
  Rename(other, entry, u"Other");
  EXPECT_EQ(ErrorOf(other),
            std::string(kNotAWorkbook) + "（compound file without a Workbook or Book stream）");
}

TEST(XlsDamagedContainer, CyclicSectorChainAndTruncationFailCleanly) {
  std::string file = Slurp(Fixture("lo_biff8.xls"));
  std::size_t entry = DirectoryEntry(file, u"Workbook");
  std::uint32_t start = Le32(file, entry + 0x74);
  ASSERT_GE(Le32(file, entry + 0x78), 4096u);  // in the big-sector FAT, not the mini stream
  std::size_t sector = std::size_t{1} << (static_cast<unsigned char>(file[0x1E]) |
                                          (static_cast<unsigned char>(file[0x1F]) << 8));
  std::size_t per_fat_sector = sector / 4;
  std::uint32_t fat_sector = Le32(file, 0x4C + 4 * (start / per_fat_sector));
  std::size_t fat_entry = (fat_sector + 1) * sector + 4 * (start % per_fat_sector);
  std::string looped = file;
  std::memcpy(looped.data() + fat_entry, &start, 4);  // the first sector points at itself
  EXPECT_EQ(ErrorOf(looped).rfind(kCorrupt, 0), 0u) << ErrorOf(looped);

  for (std::size_t keep : {file.size() / 2, std::size_t{600}, std::size_t{100}}) {
    std::string error = ErrorOf(file.substr(0, keep));
    EXPECT_NE(error, "(no error)") << keep;
  }
}

}  // namespace
}  // namespace ledgerix::engine
