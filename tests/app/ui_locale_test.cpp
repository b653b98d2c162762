#include "app/ui_locale.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace ledgerix {
namespace {

// A machine with the given locales installed.
auto Installed(std::set<std::string> names) {
  return [names](std::string_view name) { return names.count(std::string(name)) > 0; };
}

TEST(UiLocale, AChineseEnvironmentIsKept) {
  UiLocalePlan plan =
      PlanUiLocale("zh_CN.UTF-8", "zh_CN.UTF-8", Installed({"zh_CN.UTF-8", "C.UTF-8"}));
  EXPECT_EQ(plan.allLocale, "");
  EXPECT_EQ(plan.messagesLocale, "");
  EXPECT_EQ(plan.language, "zh_CN");
  // Traditional Chinese stays traditional for the toolkit's own texts.
  EXPECT_EQ(PlanUiLocale("zh_TW.UTF-8", "zh_TW.UTF-8", Installed({})).language, "zh_TW");
  EXPECT_EQ(PlanUiLocale("zh_CN.UTF-8", "zh", Installed({})).language, "zh_CN");
}

TEST(UiLocale, WithoutAUsableLocaleChineseIsTakenWhenInstalled) {
  // "C" from the environment, or a locale the machine lacks (setlocale then leaves "C").
  UiLocalePlan plan = PlanUiLocale("C", "C", Installed({"zh_CN.UTF-8", "C.UTF-8"}));
  EXPECT_EQ(plan.allLocale, "zh_CN.UTF-8");
  EXPECT_EQ(plan.messagesLocale, "");
  EXPECT_EQ(plan.language, "zh_CN");

  // Without zh_CN.UTF-8: C.UTF-8 keeps file names UTF-8, and its messages locale is not "C",
  // so gettext follows LANGUAGE to the Chinese catalogues.
  plan = PlanUiLocale("POSIX", "POSIX", Installed({"C.UTF-8"}));
  EXPECT_EQ(plan.allLocale, "C.UTF-8");
  EXPECT_EQ(plan.messagesLocale, "");
  EXPECT_EQ(plan.language, "zh_CN");

  // Nothing installed at all: the toolkit's catalogues are still asked for Chinese.
  plan = PlanUiLocale("C", "C", Installed({}));
  EXPECT_EQ(plan.allLocale, "");
  EXPECT_EQ(plan.language, "zh_CN");
}

TEST(UiLocale, AnotherLanguageKeepsItsFormatsButTheTextsAreChinese) {
  UiLocalePlan plan =
      PlanUiLocale("en_US.UTF-8", "en_US.UTF-8", Installed({"zh_CN.UTF-8", "en_US.UTF-8"}));
  EXPECT_EQ(plan.allLocale, "");
  EXPECT_EQ(plan.messagesLocale, "");
  EXPECT_EQ(plan.language, "zh_CN");
  // A UTF-8 character set with C messages (LC_MESSAGES=C): gettext would ignore LANGUAGE.
  plan = PlanUiLocale("C.UTF-8", "C", Installed({"C.UTF-8"}));
  EXPECT_EQ(plan.allLocale, "");
  EXPECT_EQ(plan.messagesLocale, "C.UTF-8");
  EXPECT_EQ(plan.language, "zh_CN");
}

TEST(UiLocale, ChineseLocaleNames) {
  for (const char* name : {"zh", "zh_CN", "zh_CN.UTF-8", "zh_TW.Big5", "zh.UTF-8", "zh@x"}) {
    EXPECT_TRUE(IsChineseLocale(name)) << name;
  }
  for (const char* name : {"", "C", "z", "zhx_CN", "en_US.UTF-8", "C.UTF-8"}) {
    EXPECT_FALSE(IsChineseLocale(name)) << name;
  }
}

}  // namespace
}  // namespace ledgerix
