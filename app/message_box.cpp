#include "app/message_box.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "app/shell_logic.h"
#include "app/wx_support.h"

namespace ledgerix {
namespace {

constexpr int kIconSize = 48;

// Drawn when the icon theme has no dialog icons: the usual blue "i", amber "!" and red "×".
const char* FallbackSvg(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48">)"
             R"(<circle cx="24" cy="24" r="22" fill="#3465a4"/>)"
             R"(<circle cx="24" cy="13" r="3.5" fill="#fff"/>)"
             R"(<rect x="20.5" y="20" width="7" height="18" rx="2" fill="#fff"/></svg>)";
    case MessageIcon::Exclamation:
      return R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48">)"
             R"(<path d="M24 3 L46 43 H2 Z" fill="#edd400" stroke="#c4a000" stroke-width="2"/>)"
             R"(<rect x="21" y="15" width="6" height="16" rx="2" fill="#000"/>)"
             R"(<circle cx="24" cy="37" r="3" fill="#000"/></svg>)";
    case MessageIcon::Stop:
      break;
  }
  return R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48">)"
         R"(<circle cx="24" cy="24" r="22" fill="#cc0000"/>)"
         R"(<path d="M15 15 L33 33 M33 15 L15 33" stroke="#fff" stroke-width="6"/></svg>)";
}

constexpr const char* kQuestionSvg =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48">)"
    R"(<circle cx="24" cy="24" r="22" fill="#3465a4"/>)"
    R"(<path d="M17 18 A7 7 0 1 1 27 24 Q24 26 24 30" fill="none" stroke="#fff" )"
    R"(stroke-width="5" stroke-linecap="round"/><circle cx="24" cy="37" r="3" fill="#fff"/></svg>)";

}  // namespace

wxArtID MessageArt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return ToWx(wxART_INFORMATION);
    case MessageIcon::Exclamation:
      return ToWx(wxART_WARNING);
    case MessageIcon::Stop:
      break;
  }
  return ToWx(wxART_ERROR);
}

LedgerixMessageBox::LedgerixMessageBox(wxWindow* parent, std::string_view text, MessageIcon icon)
    : wxDialog(parent, wxID_ANY, ToWx(kProductName), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_icon(icon),
      m_art(MessageArt(icon)),
      m_text(ToWx(text)) {
  Build(FallbackSvg(icon), MessageBoxButtons::Ok);
}

LedgerixMessageBox::LedgerixMessageBox(wxWindow* parent, std::string_view question,
                                       MessageBoxButtons buttons)
    : wxDialog(parent, wxID_ANY, ToWx(kProductName), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_icon(MessageIcon::Information),
      m_art(buttons == MessageBoxButtons::YesNo ? ToWx(wxART_QUESTION) : MessageArt(m_icon)),
      m_text(ToWx(question)) {
  Build(buttons == MessageBoxButtons::YesNo ? kQuestionSvg : FallbackSvg(m_icon), buttons);
}

void LedgerixMessageBox::Build(const char* fallbackSvg, MessageBoxButtons buttons) {
  const wxSize iconSize(kIconSize, kIconSize);
  wxBitmapBundle art = wxArtProvider::GetBitmapBundle(m_art, ToWx(wxART_MESSAGE_BOX), iconSize);
  m_fromTheme = art.IsOk();
  if (!art.IsOk()) art = wxBitmapBundle::FromSVG(fallbackSvg, iconSize);

  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticBitmap(this, wxID_ANY, art), 0, wxALIGN_TOP | wxRIGHT, 16);
  auto* label = new wxStaticText(this, wxID_ANY, m_text);
  label->Wrap(FromDIP(480));
  row->Add(label, 1, wxALIGN_CENTER_VERTICAL);

  auto* buttonRow = new wxBoxSizer(wxHORIZONTAL);
  wxButton* first = nullptr;
  if (buttons == MessageBoxButtons::YesNo) {
    first = new wxButton(this, wxID_YES, ToWx("是(&Y)"));
    buttonRow->Add(first, 0, wxRIGHT, 8);
    buttonRow->Add(new wxButton(this, wxID_NO, ToWx("否(&N)")));
    SetAffirmativeId(wxID_YES);
    SetEscapeId(wxID_NO);
  } else {
    first = new wxButton(this, wxID_OK, ToWx("确定"));
    buttonRow->Add(first);
    SetAffirmativeId(wxID_OK);
    SetEscapeId(wxID_OK);
  }
  first->SetDefault();
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(row, 1, wxEXPAND | wxALL, 16);
  column->Add(buttonRow, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 12);
  column->SetMinSize(FromDIP(wxSize(kMessageBoxMinWidth, -1)));
  SetSizer(column);
  Fit();
  first->SetFocus();
  CentreOnParent();
  CentreWhenMapped(this);
}

wxString LedgerixMessageBox::Text() const { return m_text; }

wxWindow* MessageParent(wxWindow* fallback) {
  wxWindow* parent = fallback;
  // wxTopLevelWindows lists the windows in creation order: the last shown modal one is on top.
  for (wxWindow* window : wxTopLevelWindows) {
    auto* dialog = wxDynamicCast(window, wxDialog);
    if (dialog && dialog->IsModal() && dialog->IsShown()) parent = dialog;
  }
  return parent;
}

}  // namespace ledgerix
