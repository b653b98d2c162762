#include "app/about_dlg.h"

#include <wx/filename.h>
#include <wx/hyperlink.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "app/app_icon.h"
#include "app/shell_logic.h"
#include "app/wx_support.h"
#include "convert/common/program_folder.h"

namespace ledgerix {

CAboutDlg::CAboutDlg(wxWindow* parent) {
  wxXmlResource::Get()->LoadDialog(this, parent, ResourceName(kAboutDialogResource));
  SetAffirmativeId(1);
  SetEscapeId(1);
  XRCCTRL(*this, "about_icon", wxStaticBitmap)->SetBitmap(ProgramIcon(48));
  XRCCTRL(*this, "about_product", wxStaticText)
      ->SetLabel(ToWx(std::string(kProductName) + " " + std::string(kProductVersion)));
  // Support is the user guide beside the program: it answers without a network.
  XRCCTRL(*this, "about_link", wxHyperlinkCtrl)
      ->SetURL(wxFileName::FileNameToURL(wxFileName(ToWx(HelpDocumentPath(ProgramFolder())))));
  Fit();
  CentreOnParent();
  CentreWhenMapped(this);
  // The link would take the focus first, and Enter would open the help page instead of
  // pressing 确定.
  FindWindow(1)->SetFocus();
}

}  // namespace ledgerix
