// Which locale and which language the program's windows use. The program speaks Chinese only,
// so the toolkit's own texts (stock buttons, the folder picker) are Chinese too, whatever the
// environment asks for; the rest of the locale (character set, number formats) comes from the
// environment when it names one that is installed.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ledgerix {

struct UiLocalePlan {
  std::string allLocale;       // set for every category; empty keeps the environment's
  std::string messagesLocale;  // then set for LC_MESSAGES; empty keeps it
  std::string language;        // the toolkit's catalogues and gettext's LANGUAGE: "zh_CN", ...
};

// Whether a locale name is a Chinese one ("zh_CN.UTF-8", "zh_TW", "zh").
bool IsChineseLocale(std::string_view name);

// ctype and messages: what the process has after taking the environment (setlocale's answers
// for LC_CTYPE and LC_MESSAGES). installed: whether a locale name can be set.
// Without a character set from the environment ("C", or a locale that is not installed) the
// program takes zh_CN.UTF-8, else C.UTF-8: file names are UTF-8 either way. gettext ignores
// LANGUAGE under the C messages locale, so that one is replaced as well.
UiLocalePlan PlanUiLocale(std::string_view ctype, std::string_view messages,
                          const std::function<bool(std::string_view)>& installed);

// Takes the locale from the environment and applies PlanUiLocale to the process (setlocale,
// LANGUAGE). Returns the plan applied.
UiLocalePlan ApplyUiLocale();

}  // namespace ledgerix
