#include "app/print_preview_dlg.h"

#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/gdicmn.h>
#include <wx/imagpng.h>
#include <wx/scrolwin.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include <cstdlib>
#include <filesystem>

#include "app/print_logic.h"
#include "app/shell_logic.h"
#include "app/wx_support.h"
#include "jobs/print_run.h"
#include "print/workbook_pdf.h"

namespace ledgerix {
namespace {
enum : int {
  kIdClose = 2,
  kIdPrevious = 1121,
  kIdNext = 1122,
  kIdPageOf = 1123,
  kIdZoomOut = 1124,
  kIdZoomIn = 1125,
  kIdCanvas = 1126,
};
// Page images are drawn at this resolution; zoom scales them.
constexpr int kPreviewDpi = 96;
constexpr int kZoomSteps[] = {50, 75, 100, 125, 150, 200};
}  // namespace

CPrintPreviewDlg::CPrintPreviewDlg(wxWindow* parent, MessageSink& messages) : m_messages(messages) {
  wxXmlResource::Get()->LoadDialog(this, parent, ResourceName(kPrintPreviewResource));
  SetEscapeId(kIdClose);
  m_canvas = wxDynamicCast(FindWindow(kIdCanvas), wxScrolledWindow);
  m_canvas->SetBackgroundStyle(wxBG_STYLE_PAINT);
  m_canvas->SetScrollRate(16, 16);
  m_canvas->Bind(wxEVT_PAINT, &CPrintPreviewDlg::OnPaintPage, this);
  // A scrolled window asks for no size of its own: room for an A4 page at 100%, within the screen.
  m_canvas->SetMinSize(wxSize(480, 360));
  const wxRect screen = wxGetClientDisplayRect();
  SetSize(wxSize(std::min(860, screen.GetWidth() - 40), std::min(1000, screen.GetHeight() - 40)));
  CentreOnParent();
}

CPrintPreviewDlg::~CPrintPreviewDlg() {
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
}

bool CPrintPreviewDlg::Load(SheetScope scope, const std::string& sourceFolder,
                            const std::string& fileName, bool fitWidth) {
  wxBusyCursor wait;
  std::string pdf;
  int pages = 0;
  try {
    pdf = PreviewWorkbookPdf(scope, sourceFolder, fileName, fitWidth, &pages);
  } catch (const std::exception& e) {
    m_messages.ShowMessage("无法预览 " + fileName + "：" + e.what(), MessageIcon::Stop);
    return false;
  }
  if (pdf.empty()) {
    m_messages.ShowMessage(fileName + " 没有要打印的工作表", MessageIcon::Exclamation);
    return false;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "ledgerix-preview-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    m_messages.ShowMessage("无法创建预览用的临时文件夹", MessageIcon::Stop);
    return false;
  }
  m_folder = pattern;
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  std::string error;
  for (const std::string& png : RasterisePdfPages(pdf, kPreviewDpi, m_folder, &error)) {
    wxImage image(ToWx(png), wxBITMAP_TYPE_PNG);
    if (!image.IsOk()) {
      error = "无法读取预览页面 " + png;
      m_pages.clear();
      break;
    }
    m_pages.push_back(image);
  }
  if (m_pages.empty()) {
    m_messages.ShowMessage("无法预览 " + fileName + "：" + error, MessageIcon::Stop);
    return false;
  }
  SetTitle(ToWx("打印预览 - " + fileName));
  ShowPage(0);
  return true;
}

void CPrintPreviewDlg::ShowPage(int page) {
  if (m_pages.empty()) return;
  m_page = std::clamp(page, 0, PageCount() - 1);
  const wxImage& image = m_pages[static_cast<std::size_t>(m_page)];
  m_shown =
      wxBitmap(m_zoom == 100 ? image
                             : image.Scale(image.GetWidth() * m_zoom / 100,
                                           image.GetHeight() * m_zoom / 100, wxIMAGE_QUALITY_HIGH));
  m_canvas->SetVirtualSize(m_shown.GetWidth() + 40, m_shown.GetHeight() + 40);
  m_canvas->Refresh();
  wxDynamicCast(FindWindow(kIdPageOf), wxStaticText)
      ->SetLabel(ToWx(PageOfText(m_page + 1, PageCount()) + "    " + std::to_string(m_zoom) + "%"));
  FindWindow(kIdPrevious)->Enable(m_page > 0);
  FindWindow(kIdNext)->Enable(m_page + 1 < PageCount());
}

void CPrintPreviewDlg::Zoom(int percent) {
  m_zoom = std::clamp(percent, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
  ShowPage(m_page);
}

void CPrintPreviewDlg::OnPrevious(wxCommandEvent&) { ShowPage(m_page - 1); }
void CPrintPreviewDlg::OnNext(wxCommandEvent&) { ShowPage(m_page + 1); }

void CPrintPreviewDlg::OnZoomOut(wxCommandEvent&) {
  int next = kZoomSteps[0];
  for (int z : kZoomSteps) {
    if (z < m_zoom) next = z;
  }
  Zoom(next);
}

void CPrintPreviewDlg::OnZoomIn(wxCommandEvent&) {
  for (int z : kZoomSteps) {
    if (z > m_zoom) return Zoom(z);
  }
}

void CPrintPreviewDlg::OnPaintPage(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(m_canvas);
  m_canvas->DoPrepareDC(dc);
  dc.SetBackground(wxBrush(wxColour(128, 128, 128)));
  dc.Clear();
  if (!m_shown.IsOk()) return;
  const wxSize client = m_canvas->GetClientSize();
  const int x = std::max(20, (client.GetWidth() - m_shown.GetWidth()) / 2);
  dc.SetPen(*wxBLACK_PEN);
  dc.SetBrush(*wxBLACK_BRUSH);
  dc.DrawRectangle(x + 4, 24, m_shown.GetWidth(), m_shown.GetHeight());  // the page's shadow
  dc.DrawBitmap(m_shown, x, 20);
}

// clang-format off
wxBEGIN_EVENT_TABLE(CPrintPreviewDlg, wxDialog)
  EVT_BUTTON(kIdPrevious, CPrintPreviewDlg::OnPrevious)
  EVT_BUTTON(kIdNext, CPrintPreviewDlg::OnNext)
  EVT_BUTTON(kIdZoomOut, CPrintPreviewDlg::OnZoomOut)
  EVT_BUTTON(kIdZoomIn, CPrintPreviewDlg::OnZoomIn)
wxEND_EVENT_TABLE()

}  // namespace ledgerix
