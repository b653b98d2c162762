#include "app/ui_locale.h"

#include <locale.h>

#include <clocale>
#include <cstdlib>

namespace ledgerix {
namespace {

constexpr std::string_view kChineseUtf8 = "zh_CN.UTF-8";
constexpr std::string_view kNeutralUtf8 = "C.UTF-8";

bool IsPlainC(std::string_view name) { return name.empty() || name == "C" || name == "POSIX"; }

// "zh_TW.UTF-8@x" -> "zh_TW"
std::string LanguageOf(std::string_view name) {
  const std::size_t end = name.find_first_of(".@");
  return std::string(name.substr(0, end));
}

std::string Current(int category) {
  const char* name = std::setlocale(category, nullptr);
  return name ? name : "";
}

}  // namespace

bool IsChineseLocale(std::string_view name) {
  return name.size() >= 2 && name.substr(0, 2) == "zh" &&
         (name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@');
}

UiLocalePlan PlanUiLocale(std::string_view ctype, std::string_view messages,
                          const std::function<bool(std::string_view)>& installed) {
  UiLocalePlan plan;
  std::string effectiveMessages(messages);
  if (IsPlainC(ctype)) {
    if (installed(kChineseUtf8)) {
      plan.allLocale = kChineseUtf8;
    } else if (installed(kNeutralUtf8)) {
      plan.allLocale = kNeutralUtf8;
    }
    if (!plan.allLocale.empty()) effectiveMessages = plan.allLocale;
  }
  if (IsPlainC(effectiveMessages)) {
    if (installed(kChineseUtf8)) {
      plan.messagesLocale = kChineseUtf8;
    } else if (installed(kNeutralUtf8)) {
      plan.messagesLocale = kNeutralUtf8;
    }
    if (!plan.messagesLocale.empty()) effectiveMessages = plan.messagesLocale;
  }
  plan.language = IsChineseLocale(effectiveMessages) ? LanguageOf(effectiveMessages) : "zh_CN";
  if (plan.language == "zh") plan.language = "zh_CN";
  return plan;
}

UiLocalePlan ApplyUiLocale() {
  // The toolkit has normally done this already; a failure leaves the C locale.
  std::setlocale(LC_ALL, "");
  const UiLocalePlan plan =
      PlanUiLocale(Current(LC_CTYPE), Current(LC_MESSAGES), [](std::string_view name) {
        locale_t probe = newlocale(LC_ALL_MASK, std::string(name).c_str(), locale_t(0));
        if (probe) freelocale(probe);
        return probe != locale_t(0);
      });
  if (!plan.allLocale.empty()) std::setlocale(LC_ALL, plan.allLocale.c_str());
  if (!plan.messagesLocale.empty()) std::setlocale(LC_MESSAGES, plan.messagesLocale.c_str());
  // gettext (GTK's texts) follows LANGUAGE before LC_MESSAGES; left alone when both already
  // say Chinese, so that programs we start keep the user's choice.
  const char* language = std::getenv("LANGUAGE");
  if (!IsChineseLocale(Current(LC_MESSAGES)) ||
      (language && *language && !IsChineseLocale(language))) {
    setenv("LANGUAGE", plan.language.c_str(), 1);
  }
  return plan;
}

}  // namespace ledgerix
