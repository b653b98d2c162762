// The shipped templates, as they lie beside the program in the build tree, checked by the
// xlrd-based checker that comes with their generator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/outside_tools.h"

namespace {

TEST(LocalTaxTemplates, LieBesideTheProgramWithEveryTargetCellFreeAndLabelled) {
  const std::string program = LEDGERIX_PROGRAM_DIR;
  for (const char* name : {"地税目标企业会计制度报表.xls", "地税目标小企业会计制度报表.xls"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(program + "/" + name)) << name;
  }
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/python3")) << "the check needs /usr/bin/python3";
  const std::string command = std::string("/usr/bin/python3 '") + LEDGERIX_SOURCE_DIR +
                              "/resources/templates/check_templates.py' '" + program + "'";
  EXPECT_EQ(ledgerix::testing::RunTool(command), 0) << command;
}

}  // namespace
