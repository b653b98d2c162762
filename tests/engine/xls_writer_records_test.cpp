// The writer's refusals name the record they met, from the record table the reader uses too.
#include <gtest/gtest.h>

#include <set>

#include "engine/biff_records.h"
#include "engine/book.h"
#include "engine/xls_writer.h"
#include "tests/engine/biff_test_builder.h"
#include "tests/engine/xls_writer_support.h"

namespace ledgerix::engine {
namespace {

using namespace testing;  // NOLINT: the builders and checks

std::string WriteError(const std::string& body) {
  std::string stream = Workbook({{"S", 0, 0, Rec(0x0200, std::string(14, '\0')) + body}}, "");
  std::uint32_t sheet = BoundSheetOffset(stream);
  XlsCellWrite w;
  w.row = 0;
  w.col = 1;
  w.value = Variant::Number(1);
  try {
    PatchXlsStream(stream, {XlsSheetWrites{sheet, {w}}});
  } catch (const BookError& e) {
    return e.what();
  }
  return "saved";
}

TEST(XlsWriterRecords, ErrorsNameTheRecord) {
  struct Case {
    std::string body;
    const char* expected;
  };
  const Case cases[] = {
      {Rec(0x0208, U16(0) + U16(0)), "record ROW at offset 0x"},
      {Rec(0x00BE, U16(0) + U16(1) + U16(15) + U8(0)), "record MULBLANK at offset 0x"},
      {Rec(0x00BD, U16(0) + U16(0) + U16(0)), "record MULRK at offset 0x"},
      {Rec(0x0203, U16(0) + U16(0)), "record NUMBER at offset 0x"},
  };
  for (const Case& c : cases) {
    std::string error = WriteError(c.body);
    EXPECT_EQ(error.rfind(kCorrupt, 0), 0u) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
  EXPECT_NE(WriteError(Rec(0x0208, U16(0) + U16(0))).find("shorter than 16 bytes"),
            std::string::npos);
}

TEST(XlsWriterRecords, OneNameForEveryRecordId) {
  std::set<std::uint16_t> ids;
  for (const biff::RecordInfo& r : biff::kRecordNames) {
    EXPECT_TRUE(ids.insert(r.id).second) << r.name << " twice";
    EXPECT_FALSE(r.name.empty());
  }
  EXPECT_EQ(biff::RecordName(biff::kRow), "ROW");
  EXPECT_EQ(biff::RecordName(biff::kDbCell), "DBCELL");
  EXPECT_EQ(biff::RecordName(0x7777), "");
}

}  // namespace
}  // namespace ledgerix::engine
