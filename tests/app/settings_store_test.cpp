#include <gtest/gtest.h>
#include <wx/fileconf.h>
#include <wx/init.h>

#include <fstream>
#include <sstream>

#include "app/wx_support.h"
#include "test_support.h"

namespace ledgerix {
namespace {

// The per-user store keeps what the settings dialog was given, byte for byte, across runs.
TEST(WxSettingsStore, TextsComeBackUnchangedFromTheFile) {
  wxInitializer toolkit;
  ASSERT_TRUE(toolkit.IsOk());
  testing::TempFolder temp;
  const wxString file = wxString::FromUTF8(temp.str() + "/Ledgerix.conf");
  const std::string texts[] = {" /home/会计/报表 ", "C:\\报表\\", "#;=\"", ""};

  for (const std::string& text : texts) {
    delete wxConfigBase::Set(new wxFileConfig(ToWx("Ledgerix"), ToWx("Ledgerix"), file,
                                              wxEmptyString, wxCONFIG_USE_LOCAL_FILE));
    WxSettingsStore store;
    store.Write(kDefaultSourcePathName, text);
    store.Write(kDefaultSavePathName, text + "/输出");
    // A new store object over a freshly read file, as at the next start.
    delete wxConfigBase::Set(new wxFileConfig(ToWx("Ledgerix"), ToWx("Ledgerix"), file,
                                              wxEmptyString, wxCONFIG_USE_LOCAL_FILE));
    WxSettingsStore reread;
    EXPECT_EQ(reread.Read(kDefaultSourcePathName), text);
    EXPECT_EQ(reread.Read(kDefaultSavePathName), text + "/输出");
  }
  delete wxConfigBase::Set(nullptr);

  std::ifstream in(temp.str() + "/Ledgerix.conf");
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_NE(content.str().find("[Ledgerix]"), std::string::npos) << content.str();
  EXPECT_NE(content.str().find("DefaultSourcePath="), std::string::npos);

  delete wxConfigBase::Set(new wxFileConfig(ToWx("Ledgerix"), ToWx("Ledgerix"),
                                            wxString::FromUTF8(temp.str() + "/none.conf"),
                                            wxEmptyString, wxCONFIG_USE_LOCAL_FILE));
  WxSettingsStore empty;
  EXPECT_EQ(empty.Read(kDefaultSourcePathName), "");
  delete wxConfigBase::Set(nullptr);
}

}  // namespace
}  // namespace ledgerix
