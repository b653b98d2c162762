// The application's message box: titled "Ledgerix", the icon of the message, its text and one
// button "确定". The program lays it out itself: GTK 3's own box shows no icon and shrinks to
// its text until the window manager cuts the title.
#pragma once

#include <wx/artprov.h>
#include <wx/dialog.h>

#include <string_view>

#include "jobs/messages.h"

namespace ledgerix {

// Narrower boxes get their title cut by the window manager and look like tooltips.
inline constexpr int kMessageBoxMinWidth = 360;

// OK for a message; 是/否 with the question icon for a question (ShowModal gives wxID_YES or
// wxID_NO; Escape is 否).
enum class MessageBoxButtons { Ok, YesNo };

class LedgerixMessageBox : public wxDialog {
 public:
  LedgerixMessageBox(wxWindow* parent, std::string_view text, MessageIcon icon);
  LedgerixMessageBox(wxWindow* parent, std::string_view question, MessageBoxButtons buttons);

  MessageIcon Icon() const { return m_icon; }
  // The art shown: MessageArt(Icon()), or wxART_QUESTION for a question.
  const wxArtID& Art() const { return m_art; }
  // Where the icon came from: the desktop's icon theme, or the program's own drawing when the
  // theme has none.
  bool IconFromTheme() const { return m_fromTheme; }
  wxString Text() const;

 private:
  void Build(const char* fallbackSvg, MessageBoxButtons buttons);

  MessageIcon m_icon;
  wxArtID m_art;
  bool m_fromTheme = false;
  wxString m_text;
};

// The art of the icon of a message.
wxArtID MessageArt(MessageIcon icon);

// The window a message should stand over: the innermost modal dialog that is shown, else
// fallback. A box over the main window while a dialog is up leaves no window active after both
// close.
wxWindow* MessageParent(wxWindow* fallback);

}  // namespace ledgerix
