// Drives the desktop program under Xvfb: opens each dialog, runs one batch through the
// conversion dialog, and saves screenshots. Exit code 0 when every check held.
#include <wx/app.h>
#include <wx/button.h>
#include <wx/filefn.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/about_dlg.h"
#include "app/ledgerix_app.h"
#include "app/main_frame.h"
#include "app/print_logic.h"
#include "app/print_preview_dlg.h"
#include "app/printer_props_dlg.h"
#include "app/setting_dlg.h"
#include "app/shell_logic.h"
#include "app/trans_setting_dlg.h"
#include "app/wx_support.h"
#include "app/xl_print_dlg.h"
#include "convert/common/program_folder.h"
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
  wxGetEnv(name, &value);
  return value;
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
  const wxString file = Env("LEDGERIX_TEST_SHOTS") + "/" + name;
  wxString command = "import -window root ";
  if (window) {
    window->Update();
    // The window manager's frame lies outside the client rectangle.
    wxRect r = window->GetScreenRect();
    r.Inflate(6, 6);
    r.y -= 24;
    r.height += 24;
    r.Intersect(wxRect(0, 0, 1280, 800));
    command += wxString::Format("-crop %dx%d+%d+%d +repage ", r.width, r.height, r.x, r.y);
  }
  command += "\"" + file + "\"";
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
    sink_ = std::make_unique<WatchedSink>(MainFrame());
    MainFrame()->SetMessageSink(*sink_);
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

  void Tick() {
    if (++ticks_ > 240) {
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

  // Closes the message box on show with Return after a screenshot.
  Step AnswerMessage(const std::string& shotName, const std::string& expected) {
    return [this, shotName, expected] {
      if (!sink_->showing) return false;
      if (auto* dialog = OpenDialog<CTransSettingDlg>()) {
        Check(wxDynamicCast(dialog->FindWindow(1020), wxGauge)->GetValue() == 100,
              "progress bar full after the batch");
      }
      Shot(shotName, nullptr);
      Check(!sink_->shown.empty() && sink_->shown.back() == expected, "message " + expected);
      wxUIActionSimulator().Char(WXK_RETURN);
      return true;
    };
  }

  void BuildSteps() {
    CMainFrame* frame = MainFrame();
    const std::string source = ToUtf8(Env("LEDGERIX_TEST_SOURCE"));
    const std::string save = ToUtf8(Env("LEDGERIX_TEST_SAVE"));
    steps_ = {
        [=, this] {
          Check(frame->GetTitle() == "Ledgerix", "main window title");
          Check(frame->GetStatusBar()->GetFieldsCount() == 4, "four status panes");
          Check(frame->GetStatusBar()->GetStatusText(0) == ToWx(kReadyText), "就绪 when idle");
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
          SetProgramFolder(programFolder_);
          Command(frame, kCmdSettings);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CSettingDlg>();
          if (!dialog) return false;
          Shot("settings.png", dialog);
          wxDynamicCast(dialog->FindWindow(1027), wxTextCtrl)->SetValue(ToWx(source));
          wxDynamicCast(dialog->FindWindow(1033), wxTextCtrl)->SetValue(ToWx(save));
          Click(dialog, 1);
          return true;
        },
        [=, this] {
          if (OpenDialog<CSettingDlg>()) return false;
          Command(frame, kCmdAbout);
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CAboutDlg>();
          if (!dialog) return false;
          Shot("about.png", dialog);
          Click(dialog, 1);
          return true;
        },
        [=, this] {
          if (OpenDialog<CAboutDlg>()) return false;
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
                    printers->GetString(1) == "FilePDF" && printers->GetString(2) == "Office_HP",
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
          auto* tree = wxDynamicCast(dialog->FindWindow(1002), wxTreeCtrl);
          auto* list = wxDynamicCast(dialog->FindWindow(1005), wxListBox);
          Check(!list->IsEnabled(), "file list disabled under 全部文件");
          Check(list->GetCount() == 3, "three workbooks listed at opening");
          const wxTreeItemId folder = tree->GetSelection();
          Check(folder.IsOk() && tree->GetItemText(folder) == ToWx("国税资产负债表（制度版）（源"),
                "source tree preselects the kind's folder");
          // The root keeps the folder and the list.
          tree->SelectItem(tree->GetRootItem());
          Check(list->GetCount() == 3 &&
                    dialog->SourceFolder() == source + "/国税资产负债表（制度版）（源/",
                "selecting 我的电脑 changes nothing");
          // The filter decides what the list shows; the file choice enables the list.
          auto radio = [dialog](int id) {
            auto* button = wxDynamicCast(dialog->FindWindow(id), wxRadioButton);
            button->SetValue(true);
            wxCommandEvent event(wxEVT_RADIOBUTTON, id);
            event.SetEventObject(button);
            event.SetInt(1);
            button->GetEventHandler()->ProcessEvent(event);
          };
          radio(1014);
          Check(list->GetCount() == 0, "*.xls filter hides the .xlsx workbooks");
          radio(1015);
          Check(list->GetCount() == 3, "*.xlsx filter shows them");
          radio(1016);
          radio(1004);
          Check(list->IsEnabled(), "选中文件 enables the list");
          radio(1003);
          Check(!list->IsEnabled(), "全部文件 disables it again");
          // Away to the parent (no workbooks) and back: the list follows the tree.
          tree->SelectItem(tree->GetItemParent(folder));
          Check(list->GetCount() == 0, "list refilled for the parent folder");
          tree->SelectItem(folder);
          Check(list->GetCount() == 3, "list refilled for the chosen folder");
          Check(dialog->SourceFolder() == source + "/国税资产负债表（制度版）（源/",
                "source folder from the tree");
          Check(dialog->SaveFolder() == save + "/国税/", "save folder from the settings");
          return true;
        },
        [=, this] {
          auto* dialog = OpenDialog<CTransSettingDlg>();
          Shot("trans.png", dialog);
          Click(dialog, 1);
          return true;
        },
        AnswerMessage("task_done.png", std::string(kTaskDone)),
        [=, this] {
          if (sink_->showing || OpenDialog<CTransSettingDlg>()) return false;
          Check(sink_->shown.size() == (previewMessage_ ? 4u : 3u),
                "no other message during the batch");
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
  std::size_t step_ = 0;
  int waited_ = 0;
  int ticks_ = 0;
  bool busy_ = false;
  wxTimer timer_;
};

}  // namespace
}  // namespace ledgerix

wxIMPLEMENT_APP(ledgerix::DriverApp);
