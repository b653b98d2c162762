// What a conversion or printing run covers, and what a printing run counts: shared by the batch
// logic and by the printing layer, which sit side by side above the bridges.
#pragma once

namespace ledgerix {

enum class SheetScope { Active, All };

// What a batch sent, for the main window's summary.
struct PrintTally {
  int workbooks = 0;  // workbooks with at least one sheet printed
  int sheets = 0;     // sheets printed
};

}  // namespace ledgerix
