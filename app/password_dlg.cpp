#include "app/password_dlg.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/wx_support.h"

namespace ledgerix {

std::optional<std::string> AskWorkbookPassword(wxWindow* parent, const std::string& fileName) {
  // The batch shows a busy cursor; the prompt needs the ordinary one.
  wxBusyCursorSuspender ordinary_cursor;
  wxDialog dialog(parent, wxID_ANY, ToWx("Ledgerix"), wxDefaultPosition, wxDefaultSize,
                  wxDEFAULT_DIALOG_STYLE);
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(
      new wxStaticText(&dialog, wxID_ANY, ToWx("工作簿“" + fileName + "”已加密，请输入打开密码：")),
      0, wxALL, 10);
  auto* field = new wxTextCtrl(&dialog, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(280, -1),
                               wxTE_PASSWORD | wxTE_PROCESS_ENTER);
  column->Add(field, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = new wxButton(&dialog, wxID_OK, ToWx("确定"));
  buttons->Add(ok, 0, wxRIGHT, 8);
  buttons->Add(new wxButton(&dialog, wxID_CANCEL, ToWx("跳过")));
  column->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
  ok->SetDefault();
  field->Bind(wxEVT_TEXT_ENTER, [&dialog](wxCommandEvent&) { dialog.EndModal(wxID_OK); });
  dialog.SetSizerAndFit(column);
  dialog.CentreOnParent();
  field->SetFocus();
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return ToUtf8(field->GetValue());
}

}  // namespace ledgerix
