// A printer's properties over CUPS: what it is and how it stands, its queued jobs, and the
// user's defaults for paper, two-sided printing, colour, quality and copies.
#pragma once

#include <wx/dialog.h>

#include <map>
#include <string>
#include <vector>

#include "jobs/messages.h"
#include "print/cups_printer.h"

namespace ledgerix {

class CPrinterPropsDlg : public wxDialog {
 public:
  CPrinterPropsDlg(wxWindow* parent, const print::PrinterInfo& info, MessageSink& messages);

 private:
  void OnOK(wxCommandEvent& event);

  print::PrinterInfo m_info;
  MessageSink& m_messages;
  // Per choice control: the option values behind its entries (the first, empty, is "printer's").
  std::map<int, std::vector<std::string>> m_values;

  wxDECLARE_EVENT_TABLE();
};

// How a value of one of the offered options reads in the dialog.
std::string OptionValueLabel(const std::string& option, const std::string& value);

}  // namespace ledgerix
