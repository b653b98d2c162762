// Built only while the page renderer is not part of the tree: printing and PDF files then fail
// with a clear message instead of the program failing to link.
#include <stdexcept>

#include "print/render.h"

namespace ledgerix::print {

int RenderPdf(const std::vector<SheetRef>&, const std::string&, const RenderOptions&) {
  throw std::runtime_error("此版本的程序不含页面绘制，无法生成PDF页面");
}

std::string RenderPdfBytes(const std::vector<SheetRef>&, const RenderOptions&, int*) {
  throw std::runtime_error("此版本的程序不含页面绘制，无法生成PDF页面");
}

}  // namespace ledgerix::print
