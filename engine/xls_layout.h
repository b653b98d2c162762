// How a BIFF5/BIFF8 worksheet looks and prints: the workbook's cell formats (FONT, FORMAT, XF,
// PALETTE) and a sheet's widths, heights, merges, page setup, breaks and print names. Read only
// when printing asks; a damaged cosmetic record is skipped, never an error.
#pragma once

#include <string_view>
#include <vector>

#include "engine/biff_codepage.h"
#include "engine/biff_records.h"
#include "engine/sheet_layout.h"

namespace ledgerix::engine::biff {

// What the reader already holds about the workbook stream.
struct XlsSource {
  std::string_view stream;
  const Substream* globals = nullptr;
  Version version = Version::kBiff8;
  CodePageDecoder* decoder = nullptr;  // for BIFF5 byte strings
};

// Every XF of the globals substream, resolved, by XF index. BIFF2-4 keep the defaults.
void ReadXlsStyles(const XlsSource& source, StyleTable* out);

// One worksheet: sheet is its substream (embedded chart substreams and custom views inside it
// are passed over); tab is its position among the BOUNDSHEET records, which the built-in
// Print_Area and Print_Titles names refer to.
void ReadXlsLayout(const XlsSource& source, const Substream& sheet, int tab, SheetLayout* out);

// A BIFF8 sheet's header and footer pictures: its HFPicture records (in stream order) hold the
// drawing whose shapes name their section and image, the globals' HFPicture records the drawing
// group that stores the images. Appended to out->pictures; damage leaves a picture out.
void ReadXlsHeaderFooterPictures(const XlsSource& source, const std::vector<Record>& sheet_records,
                                 HeaderFooter* out);

}  // namespace ledgerix::engine::biff
