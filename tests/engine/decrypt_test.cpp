// Encrypted workbooks: LibreOffice-written fixtures (tests/data/encrypted) in both formats,
// the order in which passwords are tried, saving what was decrypted, and damaged encryption
// data. The corpus check compares the corpus's encrypted files with an independent decryption.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bridges/workbook_passwords.h"
#include "engine/book.h"
#include "engine/ole2_container.h"
#include "tests/engine/biff_test_builder.h"
#include "tests/engine/xlsx_test_package.h"

namespace ledgerix::engine {
namespace {

namespace fs = std::filesystem;
using testing::BuildCompoundFile;

const std::string kData = LEDGERIX_TEST_DATA;
const std::string kPassword = "统计2024";  // what make_fixtures.py protects balance_pw.* with

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Fixture(const std::string& name) { return kData + "/encrypted/" + name; }

std::string ErrorOpening(const std::string& name, const std::string& bytes) {
  try {
    OpenBookFromMemory(name, bytes);
  } catch (const BookError& e) {
    return e.what();
  }
  return "(opened)";
}

// Every sheet's name and cells, for comparing two readings of the same workbook.
std::vector<std::pair<std::string, std::vector<std::string>>> Contents(Book& book) {
  std::vector<std::pair<std::string, std::vector<std::string>>> out;
  for (std::size_t s = 0; s < book.sheets().size(); ++s) {
    std::vector<std::string> cells;
    book.Cells(static_cast<int>(s))
        .ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
          std::string text = FormatA1(row, col) + "=";
          switch (v.type()) {
            case Variant::Type::Number:
              text += "n" + std::to_string(v.number());
              break;
            case Variant::Type::String:
              text += "s" + v.string();
              break;
            case Variant::Type::Boolean:
              text += v.boolean() ? "b1" : "b0";
              break;
            default:
              text += "other";
          }
          cells.push_back(text);
        });
    out.emplace_back(book.sheets()[s].name, cells);
  }
  return out;
}

// The fixtures were saved from kind1/balance.xlsx; what they decrypt to must read alike.
class EncryptedFixtures : public ::testing::TestWithParam<std::string> {
 protected:
  std::string ext() const { return GetParam(); }
  std::string PlainContentsFingerprint() {
    auto plain = OpenBook(kData + "/kind1/balance.xlsx");
    return Fingerprint(*plain);
  }
  static std::string Fingerprint(Book& book) {
    std::string text;
    for (const auto& [name, cells] : Contents(book)) {
      text += "[" + name + "]";
      for (const auto& c : cells) text += c + ";";
    }
    return text;
  }
};

TEST_P(EncryptedFixtures, TheDefaultPasswordOpensWithoutAsking) {
  int asked = 0;
  ScopedWorkbookPasswords passwords({{}, [&](const std::string&) {
                                       ++asked;
                                       return std::optional<std::string>();
                                     }});
  auto book = OpenBook(Fixture("balance_default." + ext()));
  EXPECT_EQ(Fingerprint(*book), PlainContentsFingerprint());
  EXPECT_EQ(book->sheets().size(), 2u);
  EXPECT_EQ(book->sheets()[1].visible, xlSheetHidden);
  EXPECT_EQ(asked, 0);
}

TEST_P(EncryptedFixtures, AnotherPasswordIsRefusedUntilGivenThenReadsLikeThePlainFile) {
  const std::string path = Fixture("balance_pw." + ext());
  EXPECT_EQ(ErrorOpening(path, ReadBytes(path)),
            "工作簿“balance_pw." + ext() + "”已加密，密码不正确");
  {
    ScopedWorkbookPasswords passwords({{"password", "统计", kPassword}, nullptr});
    auto book = OpenBook(path);
    EXPECT_EQ(Fingerprint(*book), PlainContentsFingerprint());
  }
  // Out of scope, the password is gone again.
  EXPECT_EQ(ErrorOpening(path, ReadBytes(path)),
            "工作簿“balance_pw." + ext() + "”已加密，密码不正确");
}

TEST_P(EncryptedFixtures, TheUserIsAskedOnceAfterTheKnownPasswords) {
  const std::string path = Fixture("balance_pw." + ext());
  std::vector<std::string> asked_for;
  std::optional<std::string> answer = kPassword;
  ScopedWorkbookPasswords passwords({{"wrong"}, [&](const std::string& p) {
                                       asked_for.push_back(p);
                                       return answer;
                                     }});
  EXPECT_NO_THROW(OpenBook(path));
  EXPECT_EQ(asked_for, std::vector<std::string>{path});

  answer = "also wrong";  // a wrong answer is not asked again: the file is refused
  EXPECT_EQ(ErrorOpening(path, ReadBytes(path)),
            "工作簿“balance_pw." + ext() + "”已加密，密码不正确");
  EXPECT_EQ(asked_for.size(), 2u);
  answer.reset();  // skipped
  EXPECT_EQ(ErrorOpening(path, ReadBytes(path)),
            "工作簿“balance_pw." + ext() + "”已加密，密码不正确");
  EXPECT_EQ(asked_for.size(), 3u);
}

TEST_P(EncryptedFixtures, SavingWritesAPlainWorkbookAndLeavesTheSourceAlone) {
  const std::string path = Fixture("balance_pw." + ext());
  const std::string source_bytes = ReadBytes(path);
  fs::path out = fs::temp_directory_path() /
                 ("ledgerix_decrypted_" + std::to_string(::getpid()) + "." + ext());
  {
    ScopedWorkbookPasswords passwords({{kPassword}, nullptr});
    auto book = OpenBook(path);
    book->SetCell(0, 99, 0, Variant::String("写入"));
    if (ext() == "xlsx") {
      // The engine writes no .xlsx at all (filing workbooks are .xls); a decrypted one is
      // refused as a plain one is, and nothing is written.
      EXPECT_THROW(book->Save(out.string()), BookError);
      EXPECT_FALSE(fs::exists(out));
      EXPECT_EQ(ReadBytes(path), source_bytes);
      return;
    }
    book->Save(out.string());
  }
  EXPECT_EQ(ReadBytes(path), source_bytes);
  // No password is in force now: the saved file opens only because it is not encrypted.
  auto saved = OpenBook(out.string());
  const Variant* written = saved->Cells(0).Find(99, 0);
  ASSERT_NE(written, nullptr);
  EXPECT_EQ(*written, Variant::String("写入"));
  EXPECT_EQ(saved->Cells(0).Find(5, 2)->number(), 1000.5);  // C6 kept
  fs::remove(out);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, EncryptedFixtures, ::testing::Values("xls", "xlsx"));

TEST(EncryptedFixtureSeed, FewerKeyRoundsReadAlike) {
  // The fuzzing seed differs from balance_default.xlsx only in its spin count.
  auto fast = OpenBook(Fixture("balance_default_1000_rounds.xlsx"));
  auto plain = OpenBook(kData + "/kind1/balance.xlsx");
  EXPECT_EQ(Contents(*fast), Contents(*plain));
}

// Files of other projects (tests/data/encrypted/others/SOURCES.tsv) for the methods LibreOffice
// does not write: XOR obfuscation, CryptoAPI RC4 (40 and 128 bits), and agile DES, 3DES and RC2.
// Their cells are those an independent reading gives (msoffcrypto-tool and xlrd on the same
// content, or LibreOffice).
TEST(EncryptedByOthers, EveryMethodOpensWithItsPassword) {
  struct Case {
    const char* file;
    const char* a1;  // text in A1, or "" for the number 1
  };
  const Case cases[] = {
      {"poi__test-data_spreadsheet_xor-encryption-abc.xls", ""},
      {"sheetjs__biff5_password_2002_40_xor.xls", ""},
      {"sheetjs__password_2002_128_strong.xls", ""},
      {"sheetjs__password_2002_40_basecrypto.xls", ""},
      {"edr__src_TestData_Test_git_issue_242_xor_pwd_password.xls", "Password: password"},
      {"edr__src_TestData_Test_git_issue_242_std_rc4_pwd_password.xls", "Password: password"},
      {"edr__src_TestData_agile_DES_MD5_CBC_pwd_password.xlsx", "Password: password"},
      {"edr__src_TestData_agile_RC2_SHA1_CBC_pwd_password.xlsx", "Password: password"},
      {"edr__src_TestData_agile_DESede_SHA384_CBC_pwd_password.xlsx", "Password: password"},
  };
  ScopedWorkbookPasswords passwords({{"password", "abc"}, nullptr});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::unique_ptr<Book> book;
    ASSERT_NO_THROW(book = OpenBook(Fixture(std::string("others/") + c.file)));
    ASSERT_EQ(book->sheets()[0].name, "Sheet1");
    const Variant* a1 = book->Cells(0).Find(0, 0);
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(*a1, *c.a1 ? Variant::String(c.a1) : Variant::Number(1));
  }
  // The same sheet under BIFF5 XOR, CryptoAPI 128 and 40 bits: its other cells too.
  for (const char* file :
       {"sheetjs__biff5_password_2002_40_xor.xls", "sheetjs__password_2002_128_strong.xls",
        "sheetjs__password_2002_40_basecrypto.xls"}) {
    SCOPED_TRACE(file);
    auto book = OpenBook(Fixture(std::string("others/") + file));
    EXPECT_EQ(*book->Cells(0).Find(1, 1), Variant::Number(10));
    EXPECT_EQ(*book->Cells(0).Find(3, 0), Variant::Number(4));
  }
  EXPECT_EQ(OpenBook(Fixture("others/sheetjs__biff5_password_2002_40_xor.xls"))->format(), "BIFF5");
  auto xor_abc = OpenBook(Fixture("others/poi__test-data_spreadsheet_xor-encryption-abc.xls"));
  EXPECT_EQ(*xor_abc->Cells(0).Find(2, 0), Variant::Number(3));
}

TEST(EncryptedByOthers, AWrongPasswordIsNotMistakenForTheRightOne) {
  ScopedWorkbookPasswords passwords({{"Password", "passwore", "abd"}, nullptr});
  for (const char* file : {"poi__test-data_spreadsheet_xor-encryption-abc.xls",
                           "edr__src_TestData_Test_git_issue_242_std_rc4_pwd_password.xls",
                           "edr__src_TestData_agile_RC2_SHA1_CBC_pwd_password.xlsx"}) {
    std::string path = Fixture(std::string("others/") + file);
    EXPECT_EQ(ErrorOpening(path, ReadBytes(path)),
              "工作簿“" + std::string(file) + "”已加密，密码不正确");
  }
}

// --- damaged encryption data --------------------------------------------------------------

// The streams of the LibreOffice .xlsx fixture, for rebuilding with one of them changed.
struct PackageStreams {
  std::string info, package;
  explicit PackageStreams(const std::string& file) {
    std::string bytes = ReadBytes(file);
    Ole2Container c(bytes);
    info = c.Read(c.Find("EncryptionInfo"), bytes.size());
    package = c.Read(c.Find("EncryptedPackage"), bytes.size());
  }
  std::string Build() const {
    return BuildCompoundFile({{"EncryptionInfo", info}, {"EncryptedPackage", package}});
  }
  void ReplaceInXml(const std::string& from, const std::string& to) {
    std::size_t at = info.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    info.replace(at, from.size(), to);
  }
};

TEST(EncryptedPackageDamage, AChangedByteFailsTheIntegrityCheck) {
  PackageStreams s(Fixture("balance_default.xlsx"));
  ASSERT_EQ(ErrorOpening("ok.xlsx", s.Build()), "(opened)");
  s.package[s.package.size() / 2] ^= 0x01;
  std::string error = ErrorOpening("bad.xlsx", s.Build());
  EXPECT_EQ(error.rfind(kCorrupt, 0), 0u) << error;
  EXPECT_NE(error.find("HMAC"), std::string::npos) << error;
}

TEST(EncryptedPackageDamage, ShortOrOversizedPackagesAreCorrupt) {
  PackageStreams s(Fixture("balance_default.xlsx"));
  PackageStreams cut = s;
  cut.package[7] = 0x7F;  // states far more bytes than the stream holds
  EXPECT_EQ(ErrorOpening("cut.xlsx", cut.Build()).rfind(kCorrupt, 0), 0u);
  cut = s;
  cut.package.resize(5);  // not even the size field
  EXPECT_EQ(ErrorOpening("cut.xlsx", cut.Build()).rfind(kCorrupt, 0), 0u);
}

TEST(EncryptedPackageDamage, UnreadableHeadersAndMethodsAreReportedAsEncrypted) {
  PackageStreams s(Fixture("balance_default.xlsx"));
  for (auto change : std::vector<std::pair<std::string, std::string>>{
           {"cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"Blowfish\""},
           {"hashAlgorithm=\"SHA512\"", "hashAlgorithm=\"WHIRLPOOL\""},
           {"cipherChaining=\"ChainingModeCBC\"", "cipherChaining=\"ChainingModeCFB\""},
           {"keyBits=\"256\"", "keyBits=\"200\""},
       }) {
    PackageStreams t = s;
    t.ReplaceInXml(change.first, change.second);
    std::string error = ErrorOpening("method.xlsx", t.Build());
    EXPECT_EQ(error.rfind(kEncrypted, 0), 0u) << change.second << ": " << error;
  }
  PackageStreams extensible = s;
  extensible.info[2] = 3;  // version 4.3
  EXPECT_EQ(ErrorOpening("v43.xlsx", extensible.Build()).rfind(kEncrypted, 0), 0u);
  PackageStreams cut = s;
  cut.info.resize(6);
  EXPECT_EQ(ErrorOpening("cut.xlsx", cut.Build()).rfind(kEncrypted, 0), 0u);
}

TEST(EncryptedPackageDamage, AnImpossibleSpinCountIsRefusedBeforeAnyHashing) {
  PackageStreams s(Fixture("balance_default.xlsx"));
  s.ReplaceInXml("spinCount=\"100000\"", "spinCount=\"4000000000\"");
  std::string error = ErrorOpening("spin.xlsx", s.Build());
  EXPECT_EQ(error.rfind(kCorrupt, 0), 0u) << error;
  EXPECT_NE(error.find("spin count"), std::string::npos) << error;
}

// The workbook stream of the LibreOffice .xls fixture, read as a bare BIFF file.
std::string FixtureStream() {
  std::string bytes = ReadBytes(Fixture("balance_default.xls"));
  Ole2Container c(bytes);
  return c.Read(c.Find("Workbook"), bytes.size());
}

TEST(EncryptedBiff, TheStreamDecryptsOutsideItsContainerToo) {
  auto book = OpenBookFromMemory("bare.xls", FixtureStream());
  EXPECT_EQ(book->sheets()[0].name, "资产负债表");
  EXPECT_EQ(*book->Cells(0).Find(0, 0), Variant::String("纳税人识别号: 4401 0612 3456 789"));
}

TEST(EncryptedBiff, UnknownMethodsAndShortFilepassAreReportedAsEncrypted) {
  using namespace ledgerix::engine::testing;
  const std::string bof = Bof8(0x0005);
  for (const std::string& filepass : {
           Rec(0x002F, U16(2)),                                            // no such type
           Rec(0x002F, U16(1) + U16(9) + U16(9)),                          // no such RC4 version
           Rec(0x002F, U16(1) + U16(1) + U16(1) + std::string(20, '\0')),  // cut short
           Rec(0x002F, U16(1) + U16(4) + U16(2) + U32(0) + U32(32) + U32(0) + U32(0) + U32(0x660E) +
                           U32(0x8004) + U32(128) + std::string(12, '\0') + U32(16) +
                           std::string(32, '\0') + U32(20) +
                           std::string(20, '\0')),  // CryptoAPI with AES: not for .xls
       }) {
    std::string error = ErrorOpening("method.xls", bof + filepass + Eof());
    EXPECT_EQ(error.rfind(kEncrypted, 0), 0u) << error;
  }
}

TEST(EncryptedBiff, ADamagedRecordChainAfterFilepassIsLeftToTheReader) {
  std::string stream = FixtureStream();
  stream.resize(stream.size() - 3);  // the last sheet's EOF runs past the end
  auto book = OpenBookFromMemory("cut.xls", stream);
  EXPECT_NO_THROW(book->Cells(0));
  try {
    book->Cells(static_cast<int>(book->sheets().size()) - 1);
    ADD_FAILURE() << "the cut sheet was read";
  } catch (const BookError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(kCorrupt, 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace ledgerix::engine
