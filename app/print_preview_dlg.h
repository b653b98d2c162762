// Print preview: a workbook's pages drawn by the same code that prints them, page by page.
#pragma once

#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/image.h>

#include <string>
#include <vector>

#include "jobs/conversion_run.h"
#include "jobs/messages.h"

class wxScrolledWindow;

namespace ledgerix {

class CPrintPreviewDlg : public wxDialog {
 public:
  CPrintPreviewDlg(wxWindow* parent, MessageSink& messages);
  ~CPrintPreviewDlg() override;

  // Draws the file's pages; false (after a message) when there is nothing to show.
  bool Load(SheetScope scope, const std::string& sourceFolder, const std::string& fileName,
            bool fitWidth);
  int PageCount() const { return static_cast<int>(m_pages.size()); }
  int CurrentPage() const { return m_page; }
  void ShowPage(int page);
  void Zoom(int percent);

 private:
  void OnPrevious(wxCommandEvent& event);
  void OnNext(wxCommandEvent& event);
  void OnZoomOut(wxCommandEvent& event);
  void OnZoomIn(wxCommandEvent& event);
  void OnPaintPage(wxPaintEvent& event);

  MessageSink& m_messages;
  wxScrolledWindow* m_canvas = nullptr;
  std::string m_folder;  // the temporary folder of the page images
  std::vector<wxImage> m_pages;
  wxBitmap m_shown;
  int m_page = 0;
  int m_zoom = 100;

  wxDECLARE_EVENT_TABLE();
};

}  // namespace ledgerix
