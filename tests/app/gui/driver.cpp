// Drives the desktop program under Xvfb: opens each dialog, runs one batch through the
// conversion dialog, and saves screenshots. Exit code 0 when every check held. One file past
// 600 lines: it is one scripted session, each step waiting on the window the last one opened.
#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/control.h>
#include <wx/dirdlg.h>
#include <wx/filefn.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/stockitem.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/translation.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/about_dlg.h"
#include "app/ledgerix_app.h"
#include "app/main_frame.h"
#include "app/message_box.h"
#include "app/print_logic.h"
#include "app/print_preview_dlg.h"
#include "app/printer_props_dlg.h"
#include "app/setting_dlg.h"
#include "app/shell_logic.h"
#include "app/trans_setting_dlg.h"
#include "app/wx_support.h"
#include "app/xl_print_dlg.h"
#include "bridges/companion.h"
#include "convert/common/program_folder.h"
#include "jobs/conversion_run.h"
#include "tests/support/private_cupsd.h"

namespace ledgerix {
namespace {

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++g_failures;
}

wxString Env(const char* name) {
  wxString value;
  wxGetEnv(ToWx(name), &value);
  return value;
}

// The label of a window, access-key marks included.
std::string TextOf(wxWindow* parent, int id) {
  wxWindow* window = parent->FindWindow(id);
  return window ? ToUtf8(window->GetLabel()) : "<no window " + std::to_string(id) + ">";
}

void CheckTexts(wxWindow* dialog, const std::vector<std::pair<int, std::string>>& texts,
                const std::string& what) {
  for (const auto& [id, text] : texts) {
    const std::string shown = TextOf(dialog, id);
    Check(shown == text, what + " " + std::to_string(id) + " reads \"" + shown + "\"");
  }
}

// The native folder picker while it runs; wx does not list it among its windows.
GtkWidget* OpenPicker() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next) {
    auto* widget = static_cast<GtkWidget*>(w->data);
    if (GTK_IS_FILE_CHOOSER_DIALOG(widget) && gtk_widget_get_visible(widget)) found = widget;
  }
  g_list_free(windows);
  return found;
}

// The shown message box, if any.
LedgerixMessageBox* OpenBox() {
  for (wxWindow* w : wxTopLevelWindows) {
    if (auto* b = dynamic_cast<LedgerixMessageBox*>(w); b && b->IsShown()) return b;
  }
  return nullptr;
}

// Records each message, then shows it as the program does.
class WatchedSink : public MessageSink {
 public:
  explicit WatchedSink(wxWindow* parent) : boxes_(parent) {}
  void ShowMessage(std::string_view text, MessageIcon icon) override {
    shown.emplace_back(text);
    showing = true;
    boxes_.ShowMessage(text, icon);
    showing = false;
  }
  std::vector<std::string> shown;
  bool showing = false;

 private:
  WxMessageSink boxes_;
};

template <class T>
T* OpenDialog() {
  for (wxWindow* w : wxTopLevelWindows) {
    if (auto* d = dynamic_cast<T*>(w); d && d->IsShown()) return d;
  }
  return nullptr;
}

void Shot(const std::string& name, wxWindow* window) {
  const wxString file = Env("LEDGERIX_TEST_SHOTS") + ToWx("/" + name);
  wxString command = ToWx("import -window root ");
  if (window) {
    window->Update();
    // The window manager's frame lies outside the client rectangle.
    wxRect r = window->GetScreenRect();
    r.Inflate(6, 6);
    r.y -= 24;
    r.height += 24;
    r.Intersect(wxRect(0, 0, 1280, 800));
    command += wxString::Format(L"-crop %dx%d+%d+%d +repage ", r.width, r.height, r.x, r.y);
  }
  command += ToWx("\"") + file + ToWx("\"");
  Check(wxExecute(command, wxEXEC_SYNC | wxEXEC_NOEVENTS) == 0, "screenshot " + name);
}

// Runs from the event queue, so a modal loop it opens still lets the step timer fire.
void Click(wxWindow* dialog, int id) {
  wxTheApp->CallAfter([dialog, id] {
    wxWindow* button = dialog->FindWindow(id);
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
  });
}

void Command(wxWindow* frame, int id) {
  wxPostEvent(frame, wxCommandEvent(wxEVT_MENU, ToolkitCommandId(id)));
}

// The captions and status prompts of the main menu, as the user reads them.
struct MenuText {
  int command;
  const char* label;
  const char* help;
};
const MenuText kMenuTexts[] = {
    {kCmdSystemBalanceSheet, "国税资产负债表（制度版）(&1)",
     "将国税资产负债表转换为广东电子报税格式"},
    {kCmdSystemIncomeStatement, "国税利润表（制度版）(&2)", "将国税利润表转换为广东电子报税格式"},
    {kCmdStandardsBalanceSheet, "国税资产负债表（准则版）(&3)",
     "将国税资产负债表转换为广东电子报税格式"},
    {kCmdStandardsIncomeStatement, "国税利润表（准则版）(&4)",
     "将国税资产利润表转换为广东电子报税格式"},
    {kCmdLocalBalanceSheet, "地税资产负债表（含公共信息表(&5)",
     "将地税资产负债表转换为广东电子报税格式"},
    {kCmdLocalIncomeStatement, "地税利润表(&6)", "将地税利润表转换为广东电子报税格式"},
    {kCmdSmallBalanceSheet, "地税资产负债表（小企业）（含公共信息表(&7)",
     "将地税资产负债表转换为广东电子报税格式"},
    {kCmdSmallIncomeStatement, "地税利润表（小企业）(&8)", "将地税利润表转换为广东电子报税格式"},
    {kCmdIncomeTaxReturn, "企业所得税申报表(&9)", "将企业所得税申报表转换为广东电子报税格式"},
    {kCmdPrintBatch, "批量打印Excel工作簿(&P)", "批量打印Excel工作簿"},
    {kCmdOpenOutputFolder, "打开输出文件夹(&O)", "用文件管理器打开上次转换的保存文件夹"},
    {kCmdExit, "退出(&X)", "退出应用程序"},
    {kCmdViewStatusBar, "状态栏(&S)", "显示或隐藏状态栏"},
    {kCmdSettings, "设置(&S)", "设置默认路径"},
    {kCmdHelp, "帮助(&H)", "显示使用帮助"},
    {kCmdLicense, "软件许可协议(&L)", "显示软件许可协议"},
    {kCmdAbout, "关于(&A)...", "显示软件相关信息"},
};

// The label of a GTK dialog's button for a response, "" when it has none.
// The text a GTK widget shows: the first label inside it.
std::string ShownLabel(GtkWidget* widget) {
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  if (!GTK_IS_CONTAINER(widget)) return "";
  std::string found;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* c = children; c && found.empty(); c = c->next) {
    found = ShownLabel(static_cast<GtkWidget*>(c->data));
  }
  g_list_free(children);
  return found;
}

// What a GTK dialog's button for a response shows, "" when it has none.
std::string GtkButtonLabel(GtkWidget* dialog, int response) {
  GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response);
  return button ? ShownLabel(button) : "";
}

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

class DriverApp : public CLedgerixApp {
 public:
  bool OnInit() override {
    wxLog::SetActiveTarget(new wxLogStderr);
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                          const wxString& cond, const wxString& msg) {
      std::fprintf(stderr, "assert %s:%d %s: %s %s\n", file.utf8_str().data(), line,
                   func.utf8_str().data(), cond.utf8_str().data(), msg.utf8_str().data());
      std::abort();
    });
    // A print server of the driver's own, with two queues, before anything asks CUPS.
    if (!testing::PrivateCupsd::Available()) {
      std::fprintf(stderr, "cupsd or the Generic-PDF driver is missing\n");
      return false;
    }
    testing::PrivateCupsd::Shared().UseQueues({"FilePDF", "Office_HP"}, "FilePDF");
    if (!CLedgerixApp::OnInit()) return false;
    if (!MainFrame()) {
      Check(false, "the driver is the only instance (another one is running)");
      std::exit(1);
    }
    if (Env("LEDGERIX_TEST_MODE") == ToWx("language")) {
      // Only the language the program settled on, for an environment without a usable locale.
      CheckLanguage();
      std::exit(g_failures ? 1 : 0);
    }
    sink_ = std::make_unique<WatchedSink>(MainFrame());
    MainFrame()->SetMessageSink(*sink_);
    MainFrame()->SetFileRunner([this](const ConversionJob& job, MessageSink& messages) {
      const int result = RunConversion(job, messages);
      ++runs_;
      if (onRun_) onRun_();
      return result;
    });
    MainFrame()->SetLauncher([this](const std::string& path) {
      launched_.push_back(path);
      return true;
    });
    BuildSteps();
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
    timer_.Start(250);
    return true;
  }

  int OnRun() override {
    const int rc = CLedgerixApp::OnRun();
    return g_failures || step_ < steps_.size() ? 1 : rc;
  }

 private:
  // A step returns true when done; the next one starts on a later tick.
  using Step = std::function<bool()>;

  static void CheckLanguage() {
    const std::string ctype = std::setlocale(LC_CTYPE, nullptr);
    Check(Contains(ctype, "UTF-8") || Contains(ctype, "utf8"), "a UTF-8 locale: " + ctype);
    const std::string cancel = ToUtf8(wxGetStockLabel(wxID_CANCEL));
    Check(Contains(cancel, "取消"), "the toolkit's stock Cancel reads " + cancel);
    const std::string gtkCancel = g_dgettext("gtk30", "_Cancel");
    Check(Contains(gtkCancel, "取消"), "GTK's Cancel reads " + gtkCancel);
  }

  void Tick() {
    if (++ticks_ > 400) {
      Check(false, "step " + std::to_string(step_) + " finished in time");
      timer_.Stop();
      std::exit(1);
    }
    if (busy_ || step_ >= steps_.size()) return;
    busy_ = true;
    if (waited_++ >= 2 && steps_[step_]()) {
      ++step_;
      waited_ = 0;
    }
    busy_ = false;
  }

  // Checks the message box on show and closes it with Return after a screenshot.
  Step AnswerMessage(const std::string& shotName, const std::string& expected,
                     MessageIcon icon = MessageIcon::Exclamation) {
    return [this, shotName, expected, icon] {
      LedgerixMessageBox* box = OpenBox();
      if (!sink_->showing || !box) return false;
      if (auto* dialog = OpenDialog<CTransSettingDlg>()) {
        Check(wxDynamicCast(dialog->FindWindow(1020), wxGauge)->GetValue() == 100,
              "progress bar full after the batch");
        Check(box->GetParent() == dialog, "the box stands over the conversion dialog");
      }
      Shot(shotName, nullptr);
      Check(!sink_->shown.empty() && sink_->shown.back() == expected, "message " + expected);
      CheckBox(box, expected, icon);
      wxUIActionSimulator().Char(WXK_RETURN);
      return true;
    };
  }

  void CheckBox(LedgerixMessageBox* box, const std::string& text, MessageIcon icon) {
    Check(ToUtf8(box->GetTitle()) == "Ledgerix", "box titled Ledgerix");
    Check(ToUtf8(box->Text()) == text, "box text " + text);
    Check(box->Icon() == icon && box->Art() == MessageArt(icon), "box icon for " + text);
    Check(box->IconFromTheme(), "box icon from the desktop's theme");
    Check(box->GetSize().x >= kMessageBoxMinWidth, "box at least its minimum width");
    Check(TextOf(box, wxID_OK) == "确定", "box button 确定");
    Check(box->FindFocus() == box->FindWindow(wxID_OK), "确定 has the focus");
  }

  // The frame is the active window again, within a few ticks.
  Step FocusBack(const std::string& after) {
    return [this, after] {
      if (OpenBox() || OpenDialog<CTransSettingDlg>()) return false;
      if (!MainFrame()->IsActive() && ++focusWaits_ < 12) return false;
      Check(MainFrame()->IsActive(), "main window active again after " + after);
      focusWaits_ = 0;
      return true;
    };
  }

  void BuildSteps() {
    CMainFrame* frame = MainFrame();
    const std::string source = ToUtf8(Env("LEDGERIX_TEST_SOURCE"));
    const std::string save = ToUtf8(Env("LEDGERIX_TEST_SAVE"));
    const std::string kindFolder = source + "/国税资产负债表（制度版）（源/";
    auto radio = [](wxWindow* dialog, int id) {
      auto* button = wxDynamicCast(dialog->FindWindow(id), wxRadioButton);
      button->SetValue(true);
      wxCommandEvent event(wxEVT_RADIOBUTTON, id);
      event.SetEventObject(button);
      event.SetInt(1);
      button->GetEventHandler()->ProcessEvent(event);
    };
    steps_ = {
        [=, this] {
          CheckLanguage();
          Check(ToUtf8(frame->GetTitle()) == "Ledgerix", "main window title");
          Check(frame->GetStatusBar()->GetFieldsCount() == 4, "four status panes");
          Check(frame->GetStatusBar()->GetStatusText(0) == ToWx(kReadyText), "就绪 when idle");
          wxMenuBar* bar = frame->GetMenuBar();
          const char* menus[] = {"文件(&F)", "视图(&V)", "工具(&T)", "帮助(&H)"};
          for (std::size_t m = 0; m < 4; ++m) {
            Check(ToUtf8(bar->GetMenuLabel(m)) == menus[m], std::string("menu ") + menus[m]);
          }
          for (const MenuText& t : kMenuTexts) {
            wxMenuItem* item = bar->FindItem(ToolkitCommandId(t.command));
            const std::string label = item ? ToUtf8(item->GetItemLabel().BeforeFirst('\t')) : "";
            Check(label == t.label && item && ToUtf8(item->GetHelp()) == t.help,
                  std::string("menu item ") + t.label + " reads " + label);
          }
          std::unique_ptr<wxAcceleratorEntry> f1(
              bar->FindItem(ToolkitCommandId(kCmdHelp))->GetAccel());
          Check(f1 && f1->GetKeyCode() == WXK_F1 && f1->GetFlags() == 0, "F1 beside 帮助(H)");
          Shot("main.png", frame);
          // A highlighted item's prompt in the message pane, "就绪" back when the menu closes.
          wxMenuEvent highlight(wxEVT_MENU_HIGHLIGHT, ToolkitCommandId(kCmdSettings));
          highlight.SetEventObject(frame);
          frame->ProcessWindowEvent(highlight);
          Check(frame->GetStatusBar()->GetStatusText(0) == ToWx("设置默认路径"), "status prompt");
          wxMenuEvent close(wxEVT_MENU_CLOSE);
          close.SetEventObject(frame);
          frame->ProcessWindowEvent(close);
          Check(frame->GetStatusBar()->GetStatusText(0) == ToWx(kReadyText), "就绪 after the menu");
          // The lock keys' indicators, from the display's own state.
          wxExecute(ToWx("xdotool key Caps_Lock Num_Lock"), wxEXEC_SYNC | wxEXEC_NOEVENTS);
          return true;
        },
        [=, this] {
          wxStatusBar* bar = frame->GetStatusBar();
          if (bar->GetStatusText(1).empty() && ++focusWaits_ < 12) return false;
          focusWaits_ = 0;
          Check(bar->GetStatusText(1) == ToWx("CAP"), "CAP shown while Caps Lock is on");
          Check(bar->GetStatusText(2) == ToWx("NUM"), "NUM shown while Num Lock is on");
          Shot("indicators.png", frame);
          wxExecute(ToWx("xdotool key Caps_Lock Num_Lock"), wxEXEC_SYNC | wxEXEC_NOEVENTS);
          return true;
        },
        [=, this] {
          wxStatusBar* bar = frame->GetStatusBar();
          if (!bar->GetStatusText(1).empty() && ++focusWaits_ < 12) return false;
          focusWaits_ = 0;
          Check(bar->GetStatusText(1).empty() && bar->GetStatusText(2).empty(),
                "indicators blank with their keys off");
          // The documents looked for in a folder without them; F1 runs the help command.
          programFolder_ = ProgramFolder();
          SetProgramFolder(ToUtf8(Env("LEDGERIX_TEST_SHOTS")) + "/");
          frame->Raise();
          frame->SetFocus();
          wxUIActionSimulator().Char(WXK_F1);
          return true;
        },
        AnswerMessage("help_missing.png", std::string(kHelpMissing)),
        [=, this] {
          if (sink_->showing) return false;
          Command(frame, kCmdLicense);
          return true;
        },
        AnswerMessage("license_missing.png", std::string(kLicenseMissing)),
        [=, this] {
          if (sink_->showing) return false;
          Check(sink_->shown.size() == 2, "F1 showed one message");
          SetProgramFolder(programFolder_);
          Command(frame, kCmdSettings);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CSettingDlg>();
          if (!dialog) return false;
          Check(ToUtf8(dialog->GetTitle()) == "设置", "settings title");
          CheckTexts(dialog,
                     {{1026, "设置默认数据源路径："},
                      {1028, "浏览"},
                      {1032, "设置默认保存路径："},
                      {1034, "浏览"},
                      {1, "确定"},
                      {2, "取消"}},
                     "settings");
          Check(dialog->HasFlag(wxRESIZE_BORDER), "settings dialog resizable");
          Shot("settings.png", dialog);
          wxDynamicCast(dialog->FindWindow(1027), wxTextCtrl)->SetValue(ToWx(source));
          wxDynamicCast(dialog->FindWindow(1033), wxTextCtrl)->SetValue(ToWx(save));
          Click(dialog, 1028);
          return true;
        },
        [=, this] {
          GtkWidget* picker = OpenPicker();
          if (!picker) return false;
          GtkWindow* window = GTK_WINDOW(picker);
          const char* title = gtk_window_get_title(window);
          Check(title && std::string(title) == "请选择默认数据源路径:", "folder picker title");
          const std::string cancel = GtkButtonLabel(picker, GTK_RESPONSE_CANCEL);
          const std::string accept = GtkButtonLabel(picker, GTK_RESPONSE_ACCEPT);
          Check(Contains(cancel, "取消"), "folder picker Cancel reads " + cancel);
          Check(!accept.empty() && static_cast<unsigned char>(accept[0]) >= 0x80,
                "folder picker Open in Chinese: " + accept);
          Shot("folder_picker.png", nullptr);
          gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CSettingDlg>();
          if (!dialog || OpenPicker()) return false;
          Click(dialog, 1034);
          return true;
        },
        [=, this] {
          GtkWidget* picker = OpenPicker();
          if (!picker) return false;
          const char* title = gtk_window_get_title(GTK_WINDOW(picker));
          Check(title && std::string(title) == "请选择默认保存路径:", "save folder picker title");
          gtk_dialog_response(GTK_DIALOG(picker), GTK_RESPONSE_CANCEL);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CSettingDlg>();
          if (!dialog || OpenPicker()) return false;
          Check(ToUtf8(wxDynamicCast(dialog->FindWindow(1027), wxTextCtrl)->GetValue()) == source,
                "a cancelled picker leaves the text");
          Click(dialog, 1);
          return true;
        },
        FocusBack("the settings"),
        [=, this] {
          Command(frame, kCmdAbout);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CAboutDlg>();
          if (!dialog) return false;
          Check(ToUtf8(dialog->GetTitle()) == "关于", "about title");
          CheckTexts(dialog, {{1, "确定"}}, "about");
          Check(
              ToUtf8(XRCCTRL(*dialog, "about_product", wxStaticText)->GetLabel()) == "Ledgerix 1.0",
              "about product and version");
          Check(ToUtf8(XRCCTRL(*dialog, "about_support", wxStaticText)->GetLabel()) == "技术支持：",
                "about support label");
          Shot("about.png", dialog);
          // Enter presses 确定: the focus is not on the link.
          wxUIActionSimulator().Char(WXK_RETURN);
          return true;
        },
        [=, this] {
          if (OpenDialog<CAboutDlg>() && ++focusWaits_ < 12) return false;
          focusWaits_ = 0;
          Check(!OpenDialog<CAboutDlg>(), "Enter closes the about box");
          Check(launched_.empty(), "Enter opened nothing");
          if (auto* dialog = OpenDialog<CAboutDlg>()) Click(dialog, 1);
          return true;
        },
        FocusBack("the about box"),
        [=, this] {
          // A workbook straight in the source folder while the print dialog is open.
          printBook_ = source + "/three_sheets.xlsx";
          Check(wxCopyFile(Env("LEDGERIX_TEST_PRINT_BOOK"), ToWx(printBook_)), "print workbook");
          Command(frame, kCmdPrintBatch);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CXlPrintDlg>();
          if (!dialog) return false;
          bool all = true;
          for (int id = 1055; id <= 1071; ++id) all = all && dialog->FindWindow(id);
          Check(all && dialog->FindWindow(1) && dialog->FindWindow(2), "print dialog controls");
          Check(dialog->GetTitle() == ToWx("批量打印工作簿"), "print dialog title");
          auto* printers = wxDynamicCast(dialog->FindWindow(1061), wxListBox);
          Check(printers->GetCount() == 3 && printers->GetString(0) == ToWx(kPrintToPdfEntry) &&
                    printers->GetString(1) == ToWx("FilePDF") &&
                    printers->GetString(2) == ToWx("Office_HP"),
                "printer list: the PDF entry, then the private server's queues");
          Check(printers->GetSelection() == 1, "the default printer selected");
          Check(dialog->FindWindow(1)->IsEnabled(), "OK enabled");
          auto* files = wxDynamicCast(dialog->FindWindow(1059), wxListBox);
          Check(files->GetCount() == 1, "the source folder's workbook listed");
          Shot("print.png", dialog);
          wxTheApp->CallAfter([printers] {
            wxCommandEvent event(wxEVT_LISTBOX_DCLICK, 1061);
            event.SetEventObject(printers);
            event.SetInt(1);
            printers->GetEventHandler()->ProcessEvent(event);
          });
          return true;
        },
        [=, this] {
          auto* props = OpenDialog<CPrinterPropsDlg>();
          if (!props) return false;
          Check(props->GetTitle() == ToWx("打印机属性 - FilePDF"), "properties of FilePDF");
          Shot("printer_props.png", props);
          Click(props, 2);
          return true;
        },
        [=, this] {
          if (OpenDialog<CPrinterPropsDlg>()) return false;
          Click(OpenDialog<CXlPrintDlg>(), 1070);
          return true;
        },
        [=, this] {
          if (auto* preview = OpenDialog<CPrintPreviewDlg>()) {
            Check(preview->PageCount() > 0, "preview has pages");
            Check(preview->CurrentPage() == 0, "preview opens on the first page");
            Shot("preview.png", preview);
            Click(preview, 1122);
            return true;
          }
          if (!sink_->showing) return false;
          Shot("preview.png", nullptr);
          Check(false, "preview opens (not: " + sink_->shown.back() + ")");
          previewMessage_ = true;
          wxUIActionSimulator().Char(WXK_RETURN);
          return true;
        },
        [=, this] {
          if (auto* preview = OpenDialog<CPrintPreviewDlg>()) {
            Check(preview->PageCount() < 2 || preview->CurrentPage() == 1, "下一页 turns the page");
            Shot("preview_next.png", preview);
            Click(preview, 2);
          }
          return true;
        },
        [=, this] {
          if (sink_->showing || OpenDialog<CPrintPreviewDlg>()) return false;
          Click(OpenDialog<CXlPrintDlg>(), 2);
          return true;
        },
        [=, this] {
          if (OpenDialog<CXlPrintDlg>()) return false;
          wxRemoveFile(ToWx(printBook_));
          Command(frame, kCmdIncomeTaxReturn);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CTransSettingDlg>();
          if (!dialog) return false;
          Check(CurrentReportKind == 9, "kind 9 selected");
          auto* active = wxDynamicCast(dialog->FindWindow(1018), wxRadioButton);
          Check(!active->IsEnabled() && !dialog->FindWindow(1019)->IsEnabled(),
                "sheet scope disabled for kind 9");
          Check(active->GetValue(), "scope shows 活动工作表");
          Shot("trans_kind9.png", dialog);
          Click(dialog, 2);
          return true;
        },
        [=, this] {
          if (OpenDialog<CTransSettingDlg>()) return false;
          Command(frame, kCmdSystemBalanceSheet);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CTransSettingDlg>();
          if (!dialog) return false;
          Check(ToUtf8(dialog->GetTitle()) == "Ledgerix：", "conversion dialog title");
          CheckTexts(dialog,
                     {{1001, "请选择数据源路径："},
                      {1003, "全部文件"},
                      {1004, "选中文件"},
                      {1011, "请选择保存路径："},
                      {1013, "请选择文件类型："},
                      {1014, "Excel97-2003工作簿(*.xls)"},
                      {1015, "Excel工作簿(*.xlsx)"},
                      {1016, "全部文件(*.*)"},
                      {1017, "请选择工作表："},
                      {1018, "活动工作表"},
                      {1019, "全部工作表"},
                      {1, "确定"},
                      {2, "取消"}},
                     "conversion dialog");
          auto* tree = wxDynamicCast(dialog->FindWindow(1002), wxTreeCtrl);
          auto* saveTree = wxDynamicCast(dialog->FindWindow(1012), wxTreeCtrl);
          auto* list = wxDynamicCast(dialog->FindWindow(1005), wxListBox);
          for (wxTreeCtrl* t : {tree, saveTree}) {
            Check(t->GetItemText(t->GetRootItem()) == ToWx("我的电脑"), "tree root 我的电脑");
            wxTreeItemIdValue cookie;
            const wxTreeItemId first = t->GetFirstChild(t->GetRootItem(), cookie);
            Check(first.IsOk() && ToUtf8(t->GetItemText(first)) == ToUtf8(Env("HOME")),
                  "the home folder first among the drives");
            // The preselected folder is in view, not somewhere below.
            wxRect shown;
            const wxTreeItemId selected = t->GetSelection();
            Check(selected.IsOk() && t->GetBoundingRect(selected, shown, true) &&
                      wxRect(t->GetClientSize()).Contains(shown),
                  "the preselected folder is in view");
          }
          Check(dialog->HasFlag(wxRESIZE_BORDER), "conversion dialog resizable");
          Check(!list->IsEnabled(), "file list disabled under 全部文件");
          Check(list->GetCount() == 3, "three workbooks listed at opening");
          std::vector<std::string> listed;
          for (const wxString& name : list->GetStrings()) listed.push_back(ToUtf8(name));
          Check(std::is_sorted(listed.begin(), listed.end(), FileNameLess),
                "the list in the one file-name order");
          const wxTreeItemId folder = tree->GetSelection();
          Check(folder.IsOk() && tree->GetItemText(folder) == ToWx("国税资产负债表（制度版）（源"),
                "source tree preselects the kind's folder");
          // The root keeps the folder and the list.
          tree->SelectItem(tree->GetRootItem());
          Check(list->GetCount() == 3 && dialog->SourceFolder() == kindFolder,
                "selecting 我的电脑 changes nothing");
          radio(dialog, 1014);
          Check(list->GetCount() == 0, "*.xls filter hides the .xlsx workbooks");
          radio(dialog, 1015);
          Check(list->GetCount() == 3, "*.xlsx filter shows them");
          radio(dialog, 1016);
          radio(dialog, 1004);
          Check(list->IsEnabled(), "选中文件 enables the list");
          radio(dialog, 1003);
          Check(!list->IsEnabled(), "全部文件 disables it again");
          tree->SelectItem(tree->GetItemParent(folder));
          Check(list->GetCount() == 0, "list refilled for the parent folder");
          tree->SelectItem(folder);
          Check(list->GetCount() == 3, "list refilled for the chosen folder");
          Check(dialog->SourceFolder() == kindFolder, "source folder from the tree");
          Check(dialog->SaveFolder() == save + "/国税/", "save folder from the settings");
          // A larger size is kept for the next opening.
          dialog->SetSize(dialog->GetMinSize() + wxSize(60, 10));
          enlarged_ = dialog->GetSize();
          Shot("trans.png", dialog);
          // Keys typed during the batch: Escape asks whether to stop, the rest is dropped.
          onRun_ = [this] {
            if (runs_ != 1) return;
            // As a user types them: through the X server, to the window that has the focus.
            wxExecute(ToWx("xdotool key Escape x"), wxEXEC_SYNC | wxEXEC_NOEVENTS);
            // A long file: the batch gives the toolkit its time after it.
            wxMilliSleep(300);
          };
          runsAtStart_ = runs_;
          Click(dialog, 1);
          return true;
        },
        [=, this] {
          LedgerixMessageBox* box = OpenBox();
          if (!box) return false;
          auto* dialog = OpenDialog<CTransSettingDlg>();
          Check(ToUtf8(box->Text()) == kStopQuestion, "Escape during the batch asks to stop");
          Check(box->Art() == ToWx(wxART_QUESTION) && TextOf(box, wxID_YES) == "是(&Y)" &&
                    TextOf(box, wxID_NO) == "否(&N)",
                "the question has 是 and 否");
          Check(dialog && dialog->BatchRunning() && runs_ - runsAtStart_ < 3,
                "asked while the batch runs (after " + std::to_string(runs_ - runsAtStart_) +
                    " files)");
          Check(dialog && !dialog->FindWindow(1)->IsEnabled() &&
                    !dialog->FindWindow(1002)->IsEnabled() && dialog->FindWindow(2)->IsEnabled(),
                "only 取消 takes input during the batch");
          Shot("stop_question.png", nullptr);
          if (!box->FindWindow(wxID_NO)) std::exit(1);
          Click(box, wxID_NO);
          onRun_ = nullptr;
          return true;
        },
        [=, this] {
          LedgerixMessageBox* box = OpenBox();
          if (!box || !sink_->showing) return false;
          Check(ToUtf8(box->Text()) == kTaskDone, "任务完成！ after 否");
          Check(runs_ - runsAtStart_ == 3, "every file converted after 否");
          Shot("task_done.png", nullptr);
          CheckBox(box, std::string(kTaskDone), MessageIcon::Information);
          taskDoneTick_ = ticks_;
          return true;
        },
        [=, this] {
          // Nothing typed during the batch closes the box afterwards.
          if (ticks_ < taskDoneTick_ + 6) return false;
          Check(OpenBox() && sink_->showing, "任务完成！ stays up");
          wxUIActionSimulator().Char(WXK_RETURN);
          return true;
        },
        FocusBack("a batch"),
        [=, this] {
          Check(
              frame->GetStatusBar()->GetStatusText(0) == ToWx(BatchStatusText(3, save + "/国税/")),
              "status bar tells the batch");
          Check(frame->LastSaveFolder() == save + "/国税/", "the last save folder");
          Command(frame, kCmdOpenOutputFolder);
          return true;
        },
        [=, this] {
          Check(launched_.size() == 1 && launched_.back() == save + "/国税/",
                "打开输出文件夹 opens the save folder");
          // Alt+F opens the File menu now that the window has the focus.
          menuOpened_ = false;
          frame->Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& e) {
            menuOpened_ = true;
            e.Skip();
          });
          wxExecute(ToWx("xdotool key alt+f"), wxEXEC_SYNC | wxEXEC_NOEVENTS);
          return true;
        },
        [=, this] {
          if (!menuOpened_ && ++focusWaits_ < 12) return false;
          focusWaits_ = 0;
          Check(menuOpened_, "Alt+F opens the File menu after the batch");
          Shot("file_menu.png", nullptr);
          wxExecute(ToWx("xdotool key Escape"), wxEXEC_SYNC | wxEXEC_NOEVENTS);
          return true;
        },
        [=, this] {
          Command(frame, kCmdSystemBalanceSheet);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CTransSettingDlg>();
          if (!dialog) return false;
          // Within a few pixels: the toolkit estimates the window manager's frame.
          const wxSize kept = dialog->GetSize() - enlarged_;
          Check(std::abs(kept.x) <= 8 && std::abs(kept.y) <= 8,
                "the conversion dialog keeps its size: " + std::to_string(dialog->GetSize().x) +
                    "x" + std::to_string(dialog->GetSize().y) + " for " +
                    std::to_string(enlarged_.x) + "x" + std::to_string(enlarged_.y));
          // Stopping: Escape during the first file, 是.
          onRun_ = [this] {
            if (runs_ - runsAtStart_ != 1) return;
            wxExecute(ToWx("xdotool key Escape"), wxEXEC_SYNC | wxEXEC_NOEVENTS);
            wxMilliSleep(300);
          };
          runsAtStart_ = runs_;
          sink_->shown.clear();
          Click(dialog, 1);
          return true;
        },
        [=, this] {
          LedgerixMessageBox* box = OpenBox();
          if (!box || ToUtf8(box->Text()) != kStopQuestion) return false;
          Click(box, wxID_YES);
          onRun_ = nullptr;
          return true;
        },
        [=, this] {
          if (!sink_->showing) return false;
          const std::size_t converted = static_cast<std::size_t>(runs_ - runsAtStart_);
          Check(converted >= 1 && converted < 3,
                "是 stops before the last file (" + std::to_string(converted) + " converted)");
          Check(!sink_->shown.empty() && sink_->shown.back() == StoppedMessage(converted),
                "the stop message counts the converted files");
          Shot("stopped.png", nullptr);
          stoppedCount_ = converted;
          wxUIActionSimulator().Char(WXK_RETURN);
          return true;
        },
        [=, this] {
          if (sink_->showing || OpenDialog<CTransSettingDlg>()) return false;
          Check(sink_->shown.size() == 1, "no other message in the stopped batch");
          Check(frame->GetStatusBar()->GetStatusText(0) ==
                    ToWx(BatchStatusText(stoppedCount_, save + "/国税/")),
                "status bar tells the stopped batch");
          Command(frame, kCmdExit);
          return true;
        },
    };
  }

  std::unique_ptr<WatchedSink> sink_;
  std::string programFolder_;
  bool previewMessage_ = false;
  std::string printBook_;
  std::vector<Step> steps_;
  std::vector<std::string> launched_;
  std::function<void()> onRun_;
  int runs_ = 0;
  int runsAtStart_ = 0;
  std::size_t stoppedCount_ = 0;
  wxSize enlarged_;
  bool menuOpened_ = false;
  std::size_t step_ = 0;
  int waited_ = 0;
  int ticks_ = 0;
  int taskDoneTick_ = 0;
  int focusWaits_ = 0;
  bool busy_ = false;
  wxTimer timer_;
};

}  // namespace
}  // namespace ledgerix

wxIMPLEMENT_APP(ledgerix::DriverApp);
