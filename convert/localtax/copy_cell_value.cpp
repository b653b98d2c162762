#include "convert/localtax/copy_cell_value.h"

#include "convert/common/cell_rules.h"

namespace ledgerix {

void CopyCellValue(Worksheet& source, std::string_view sourceAddress, Worksheet& target,
                   std::string_view targetAddress) {
  Variant value = ReadCellValue(source, sourceAddress);
  target.GetRange(targetAddress, targetAddress)->PutValue2(value);
}

}  // namespace ledgerix
