#include "print/cups_printer.h"

#include <cups/cups.h>
#include <strings.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "bridges/spreadsheet.h"

namespace ledgerix::print {
namespace {

// A desktop program must never sit on a console password prompt; CUPS asks this instead, and
// no answer makes the request fail with its own reason. libcups keeps the callback per thread.
const char* RefusePassword(const char*, http_t*, const char*, const char*, void*) {
  return nullptr;
}
void NoPasswordPrompt() { cupsSetPasswordCB2(RefusePassword, nullptr); }

std::string LastError() {
  const char* text = cupsLastErrorString();
  return text && *text ? text : ippErrorString(cupsLastError());
}

bool Failed(ipp_status_t status) { return status > IPP_STATUS_OK_CONFLICTING; }

struct DestsDeleter {
  int count;
  void operator()(cups_dest_t* d) const { cupsFreeDests(count, d); }
};
struct DestDeleter {
  void operator()(cups_dest_t* d) const { cupsFreeDests(1, d); }
};
struct InfoDeleter {
  void operator()(cups_dinfo_t* d) const { cupsFreeDestInfo(d); }
};
struct HttpDeleter {
  void operator()(http_t* h) const { httpClose(h); }
};
struct IppDeleter {
  void operator()(ipp_t* i) const { ippDelete(i); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestDeleter>;
using InfoPtr = std::unique_ptr<cups_dinfo_t, InfoDeleter>;
using HttpPtr = std::unique_ptr<http_t, HttpDeleter>;
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

std::string DestLabel(const cups_dest_t& d) {
  std::string name = d.name;
  if (d.instance) name += std::string("/") + d.instance;
  return name;
}

// "name/instance" into its parts.
void SplitName(const std::string& printer, std::string* name, std::string* instance) {
  auto slash = printer.find('/');
  *name = printer.substr(0, slash);
  *instance = slash == std::string::npos ? std::string() : printer.substr(slash + 1);
}

std::string Quoted(const std::string& printer) { return "打印机“" + printer + "”"; }

// The named destination and nothing else: libcups hands back the default for an empty name,
// which must never happen here.
DestPtr NamedDest(const std::string& printer, std::string* why) {
  std::string name, instance;
  SplitName(printer, &name, &instance);
  if (name.empty()) {
    *why = "没有选择打印机，也没有默认打印机";
    return nullptr;
  }
  DestPtr dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(),
                                instance.empty() ? nullptr : instance.c_str()));
  if (!dest) {
    *why = cupsLastError() == IPP_STATUS_OK || cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND
               ? "打印服务器上没有这台打印机"
               : LastError();
    return nullptr;
  }
  if (strcasecmp(dest->name, name.c_str()) != 0) {
    *why = "打印服务器给出了另一台打印机“" + std::string(dest->name) + "”";
    return nullptr;
  }
  return dest;
}

std::string OptionsFilePath() {
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.cups/lpoptions";
}

// The per-user options of one destination as the options file holds them.
std::map<std::string, std::string> ReadUserOptions(const std::string& printer) {
  std::map<std::string, std::string> out;
  std::ifstream in(OptionsFilePath());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string keyword, dest;
    words >> keyword >> dest;
    if ((strcasecmp(keyword.c_str(), "Dest") != 0 && strcasecmp(keyword.c_str(), "Default") != 0) ||
        strcasecmp(dest.c_str(), printer.c_str()) != 0) {
      continue;
    }
    std::string rest;
    std::getline(words, rest);
    cups_option_t* options = nullptr;
    int n = cupsParseOptions(rest.c_str(), 0, &options);
    for (int i = 0; i < n; ++i) out[options[i].name] = options[i].value;
    cupsFreeOptions(n, options);
  }
  return out;
}

bool UserHasDefaultLine() {
  std::ifstream in(OptionsFilePath());
  std::string keyword;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    words >> keyword;
    if (strcasecmp(keyword.c_str(), "Default") == 0) return true;
  }
  return false;
}

struct MediaName {
  int code;
  const char* pwg;
  const char* label;
};
// Paper codes as both workbook formats number them, with the PWG names CUPS uses.
constexpr MediaName kMedia[] = {
    {1, "na_letter_8.5x11in", "Letter 8.5×11 in"},
    {2, "na_letter_8.5x11in", "Letter 8.5×11 in"},
    {3, "na_ledger_11x17in", "Tabloid 11×17 in"},
    {4, "na_ledger_11x17in", "Ledger 17×11 in"},
    {5, "na_legal_8.5x14in", "Legal 8.5×14 in"},
    {6, "na_invoice_5.5x8.5in", "Statement 5.5×8.5 in"},
    {7, "na_executive_7.25x10.5in", "Executive 7.25×10.5 in"},
    {8, "iso_a3_297x420mm", "A3 297×420 mm"},
    {9, "iso_a4_210x297mm", "A4 210×297 mm"},
    {10, "iso_a4_210x297mm", "A4 210×297 mm"},
    {11, "iso_a5_148x210mm", "A5 148×210 mm"},
    {12, "jis_b4_257x364mm", "B4 (JIS) 257×364 mm"},
    {13, "jis_b5_182x257mm", "B5 (JIS) 182×257 mm"},
    {14, "om_folio_210x330mm", "Folio 8.5×13 in"},
    {20, "na_number-10_4.125x9.5in", "#10 信封 4.125×9.5 in"},
    {27, "iso_dl_110x220mm", "DL 信封 110×220 mm"},
    {28, "iso_c5_162x229mm", "C5 信封 162×229 mm"},
    {34, "iso_b5_176x250mm", "B5 (ISO) 176×250 mm"},
    {70, "iso_a6_105x148mm", "A6 105×148 mm"},
    {0, "iso_a6_105x148mm", "A6 105×148 mm"},
    {0, "iso_b4_250x353mm", "B4 (ISO) 250×353 mm"},
    {0, "iso_c6_114x162mm", "C6 信封 114×162 mm"},
    {0, "jis_b6_128x182mm", "B6 (JIS) 128×182 mm"},
    {0, "na_monarch_3.875x7.5in", "Monarch 信封 3.875×7.5 in"},
    {0, "na_5x7_5x7in", "5×7 in"},
};

const char* JobStateText(int state) {
  switch (state) {
    case IPP_JSTATE_PENDING:
      return "等待";
    case IPP_JSTATE_HELD:
      return "挂起";
    case IPP_JSTATE_PROCESSING:
      return "打印中";
    case IPP_JSTATE_STOPPED:
      return "已停止";
    case IPP_JSTATE_CANCELED:
      return "已取消";
    case IPP_JSTATE_ABORTED:
      return "已中止";
    case IPP_JSTATE_COMPLETED:
      return "已完成";
    default:
      return "未知";
  }
}

std::string Attr(ipp_t* response, const char* name) {
  ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_ZERO);
  if (!a) return {};
  std::string out;
  for (int i = 0; i < ippGetCount(a); ++i) {
    if (i) out += ", ";
    if (ippGetValueTag(a) == IPP_TAG_INTEGER || ippGetValueTag(a) == IPP_TAG_ENUM) {
      out += std::to_string(ippGetInteger(a, i));
    } else if (const char* s = ippGetString(a, i, nullptr)) {
      out += s;
    }
  }
  return out;
}

// The supported values of an option and the printer's default, from the destination's
// capabilities (cupsCopyDestInfo) and its "-default" attributes.
PrinterChoices ChoicesFor(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, const char* option) {
  PrinterChoices c;
  if (ipp_attribute_t* a = cupsFindDestSupported(http, dest, info, option)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      if (ippGetValueTag(a) == IPP_TAG_ENUM || ippGetValueTag(a) == IPP_TAG_INTEGER) {
        c.supported.push_back(std::to_string(ippGetInteger(a, i)));
      } else if (const char* s = ippGetString(a, i, nullptr)) {
        c.supported.push_back(s);
      }
    }
  }
  if (ipp_attribute_t* d = cupsFindDestDefault(http, dest, info, option)) {
    char buffer[256];
    if (ippGetValueTag(d) == IPP_TAG_ENUM || ippGetValueTag(d) == IPP_TAG_INTEGER) {
      c.printerDefault = std::to_string(ippGetInteger(d, 0));
    } else if (ippAttributeString(d, buffer, sizeof buffer) > 0) {
      c.printerDefault = buffer;
    }
  }
  return c;
}

}  // namespace

void ReloadServerFromEnvironment() { cupsSetServer(nullptr); }

PrinterList ListPrinters() {
  NoPasswordPrompt();
  PrinterList list;
  cups_dest_t* dests = nullptr;
  int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::unique_ptr<cups_dest_t, DestsDeleter> owned(dests, DestsDeleter{n < 0 ? 0 : n});
  // No destinations with an error status means the server could not be asked, except for
  // "not found", which is how libcups reports a server that answered with no queues.
  const ipp_status_t status = cupsLastError();
  if (n < 0 || (n == 0 && Failed(status) && status != IPP_STATUS_ERROR_NOT_FOUND)) {
    list.error = LastError();
    return list;
  }
  list.ok = true;
  for (int i = 0; i < n; ++i) {
    list.names.push_back(DestLabel(dests[i]));
    if (dests[i].is_default) list.defaultName = DestLabel(dests[i]);
  }
  return list;
}

std::string_view MediaForPaperCode(int code) {
  if (code <= 0) return {};
  for (const MediaName& m : kMedia) {
    if (m.code == code) return m.pwg;
  }
  return {};
}

std::string MediaLabel(const std::string& media) {
  for (const MediaName& m : kMedia) {
    if (media == m.pwg) return m.label;
  }
  return media;
}

bool PrinterSupportsMedia(const std::string& printer, const std::string& media) {
  NoPasswordPrompt();
  std::string why;
  DestPtr dest = NamedDest(printer, &why);
  if (!dest) return false;
  InfoPtr info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
  if (!info) return false;
  return cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest.get(), info.get(), CUPS_MEDIA,
                                media.c_str()) != 0;
}

std::optional<PrinterPaper> DefaultPaper(const std::string& printer) {
  NoPasswordPrompt();
  std::string why;
  DestPtr dest = NamedDest(printer, &why);
  if (!dest) return std::nullopt;
  std::string media = UserDefault(DestLabel(*dest), kOptMedia);
  if (media.empty()) {
    InfoPtr info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
    if (!info) return std::nullopt;
    media = ChoicesFor(CUPS_HTTP_DEFAULT, dest.get(), info.get(), CUPS_MEDIA).printerDefault;
  }
  if (media.empty()) return std::nullopt;
  // Saved defaults may carry the older names ("A4", "Letter").
  pwg_media_t* size = pwgMediaForPWG(media.c_str());
  if (!size) size = pwgMediaForLegacy(media.c_str());
  if (!size || size->width <= 0 || size->length <= 0 || !size->pwg) return std::nullopt;
  return PrinterPaper{size->pwg, size->width / 100.0, size->length / 100.0};
}

void RequirePrinter(const std::string& printer) {
  NoPasswordPrompt();
  std::string why;
  if (!NamedDest(printer, &why)) {
    throw AutomationError("无法在" + Quoted(printer) + "上打印：" + why);
  }
}

int SubmitPdf(const std::string& printer, std::string_view pdf, const JobOptions& options) {
  NoPasswordPrompt();
  auto fail = [&](const std::string& why) -> int {
    throw AutomationError("无法在" + Quoted(printer) + "上打印：" + why);
  };
  std::string why;
  DestPtr dest = NamedDest(printer, &why);
  if (!dest) return fail(why);

  char resource[1024];
  HttpPtr http(cupsConnectDest(dest.get(), CUPS_DEST_FLAGS_NONE, 30000, nullptr, resource,
                               sizeof resource, nullptr, nullptr));
  if (!http) return fail("无法连接打印服务器：" + LastError());
  InfoPtr info(cupsCopyDestInfo(http.get(), dest.get()));
  if (!info) return fail("无法取得打印机信息：" + LastError());

  // The user's saved defaults first, then what the workbook (or the caller) names.
  cups_option_t* opts = nullptr;
  int n = 0;
  for (const auto& [key, value] : ReadUserOptions(DestLabel(*dest))) {
    n = cupsAddOption(key.c_str(), value.c_str(), n, &opts);
  }
  if (!options.media.empty()) n = cupsAddOption(CUPS_MEDIA, options.media.c_str(), n, &opts);
  if (options.copies > 0) {
    n = cupsAddIntegerOption(CUPS_COPIES, options.copies, n, &opts);
  }
  if (options.monochrome) n = cupsAddOption("print-color-mode", "monochrome", n, &opts);
  n = cupsAddOption("print-scaling", options.fit_to_paper ? "fit" : "none", n, &opts);

  int job = 0;
  ipp_status_t status =
      cupsCreateDestJob(http.get(), dest.get(), info.get(), &job, options.title.c_str(), n, opts);
  cupsFreeOptions(n, opts);
  if (Failed(status) || job <= 0) return fail("打印服务器拒绝了作业：" + LastError());

  auto cancel_and_fail = [&](const std::string& reason) -> int {
    std::string text = reason + "：" + LastError();
    cupsCancelDestJob(http.get(), dest.get(), job);
    return fail(text);
  };
  if (cupsStartDestDocument(http.get(), dest.get(), info.get(), job, options.title.c_str(),
                            CUPS_FORMAT_PDF, 0, nullptr, 1) != HTTP_STATUS_CONTINUE) {
    return cancel_and_fail("无法开始传送作业");
  }
  if (cupsWriteRequestData(http.get(), pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
    return cancel_and_fail("传送作业时出错");
  }
  if (Failed(cupsFinishDestDocument(http.get(), dest.get(), info.get()))) {
    return cancel_and_fail("打印服务器未接受作业");
  }
  return job;
}

std::vector<QueuedJob> ListJobs(const std::string& printer, bool completed) {
  NoPasswordPrompt();
  std::vector<QueuedJob> out;
  std::string name, instance;
  SplitName(printer, &name, &instance);
  cups_job_t* jobs = nullptr;
  int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, name.c_str(), 0,
                       completed ? CUPS_WHICHJOBS_COMPLETED : CUPS_WHICHJOBS_ACTIVE);
  for (int i = 0; i < n; ++i) {
    QueuedJob j;
    j.id = jobs[i].id;
    j.title = jobs[i].title ? jobs[i].title : "";
    j.user = jobs[i].user ? jobs[i].user : "";
    j.stateCode = jobs[i].state;
    j.state = JobStateText(jobs[i].state);
    out.push_back(std::move(j));
  }
  if (n > 0) cupsFreeJobs(n, jobs);
  return out;
}

std::optional<PrinterInfo> QueryPrinter(const std::string& printer) {
  NoPasswordPrompt();
  std::string why;
  DestPtr dest = NamedDest(printer, &why);
  if (!dest) return std::nullopt;
  char resource[1024];
  HttpPtr http(cupsConnectDest(dest.get(), CUPS_DEST_FLAGS_NONE, 30000, nullptr, resource,
                               sizeof resource, nullptr, nullptr));
  if (!http) return std::nullopt;
  InfoPtr info(cupsCopyDestInfo(http.get(), dest.get()));
  if (!info) return std::nullopt;

  PrinterInfo p;
  p.name = printer;
  // The descriptive attributes straight from the printer, as they stand now.
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               cupsGetOption("printer-uri-supported", dest->num_options, dest->options));
  static const char* const kWanted[] = {
      "printer-make-and-model", "printer-location",      "printer-info",    "printer-state",
      "printer-state-reasons",  "printer-state-message", "copies-supported"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                sizeof kWanted / sizeof kWanted[0], nullptr, kWanted);
  IppPtr response(cupsDoRequest(http.get(), request, resource));
  if (!response || Failed(cupsLastError())) return std::nullopt;
  p.makeAndModel = Attr(response.get(), "printer-make-and-model");
  p.location = Attr(response.get(), "printer-location");
  p.description = Attr(response.get(), "printer-info");
  p.stateMessage = Attr(response.get(), "printer-state-message");
  p.stateReasons = Attr(response.get(), "printer-state-reasons");
  if (p.stateReasons == "none") p.stateReasons.clear();
  if (ipp_attribute_t* s = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM)) {
    switch (ippGetInteger(s, 0)) {
      case IPP_PSTATE_IDLE:
        p.state = "空闲";
        break;
      case IPP_PSTATE_PROCESSING:
        p.state = "正在打印";
        break;
      default:
        p.state = "已停止";
    }
  }
  if (ipp_attribute_t* c = ippFindAttribute(response.get(), "copies-supported", IPP_TAG_RANGE)) {
    int upper = 1;
    ippGetRange(c, 0, &upper);
    p.maxCopies = upper;
  }
  for (const char* option : {kOptMedia, kOptSides, kOptColorMode, kOptQuality}) {
    p.choices[option] = ChoicesFor(http.get(), dest.get(), info.get(), option);
  }
  p.jobs = ListJobs(printer, false);
  for (const auto& [key, value] : ReadUserOptions(DestLabel(*dest))) {
    if (key == kOptMedia || key == kOptSides || key == kOptColorMode || key == kOptQuality ||
        key == kOptCopies) {
      p.userDefaults[key] = value;
    }
  }
  return p;
}

std::string UserDefault(const std::string& printer, const std::string& option) {
  auto options = ReadUserOptions(printer);
  auto it = options.find(option);
  return it == options.end() ? std::string() : it->second;
}

void SaveUserDefaults(const std::string& printer,
                      const std::map<std::string, std::string>& values) {
  NoPasswordPrompt();
  auto fail = [&](const std::string& why) {
    throw AutomationError("无法保存" + Quoted(printer) + "的默认设置：" + why);
  };
  std::string name, instance;
  SplitName(printer, &name, &instance);
  if (name.empty()) fail("没有选择打印机");
  cups_dest_t* dests = nullptr;
  int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::unique_ptr<cups_dest_t, DestsDeleter> owned(dests, DestsDeleter{n < 0 ? 0 : n});
  cups_dest_t* dest =
      cupsGetDest(name.c_str(), instance.empty() ? nullptr : instance.c_str(), n, dests);
  if (!dest) fail("打印服务器上没有这台打印机");
  for (const auto& [key, value] : values) {
    if (value.empty()) {
      dest->num_options = cupsRemoveOption(key.c_str(), dest->num_options, &dest->options);
    } else {
      dest->num_options =
          cupsAddOption(key.c_str(), value.c_str(), dest->num_options, &dest->options);
    }
  }
  // The file names a default only when the user chose one; the server's own must not become
  // the user's by saving paper or copies.
  if (!UserHasDefaultLine()) {
    for (int i = 0; i < n; ++i) dests[i].is_default = 0;
  }
  if (cupsSetDests2(CUPS_HTTP_DEFAULT, n, dests) != 0) fail(LastError());
}

}  // namespace ledgerix::print
