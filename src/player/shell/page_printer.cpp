#include "player/shell/page_printer.h"

#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace morvane {
namespace {

// The picture at the size it has on the screen, shrunk when the page of
// paper is smaller, in the top left corner of the printable area.
bool PrintPicture(QPrinter& printer, const QImage& picture, int screen_dpi) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
  area.moveTopLeft(QPoint(0, 0));
  double scale = double(printer.resolution()) / std::max(screen_dpi, 1);
  QSizeF size = QSizeF(picture.size()) * scale;
  if (size.width() > area.width() || size.height() > area.height()) {
    size.scale(QSizeF(area.size()), Qt::KeepAspectRatio);
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(QPointF(0, 0), size), picture);
  return painter.end();
}

}  // namespace

std::string NextPrintFile(const std::string& folder) {
  for (int n = 1;; ++n) {
    std::filesystem::path file =
        std::filesystem::path(folder) / ("print" + std::to_string(n) + ".pdf");
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return file.string();
  }
}

void PrintPage(Player& player, TQMForm& page) {
  const std::string& folder = player.options().print_to_dir;
  QImage picture = page.Picture();
  if (picture.isNull()) return;
  QString title = page.windowTitle();
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string file = NextPrintFile(folder);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file));
    printer.setDocName(title);
    bool ok = PrintPicture(printer, picture, page.logicalDpiX());
    if (!ok) std::fprintf(stderr, "morvane-player: cannot write the print file %s\n", file.c_str());
    player.trace().Write("print", {{"page", page.number()}, {"file", ok ? file : std::string()}});
    return;
  }
  QPrinterInfo info;
  if (!player.headless()) info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) {
    std::fprintf(stderr, "morvane-player: no printer; page %d was not printed\n", page.number());
    player.trace().Write("print", {{"page", page.number()}, {"printer", std::string()}});
    return;
  }
  QPrinter printer(info, QPrinter::HighResolution);
  printer.setDocName(title);
  bool ok = PrintPicture(printer, picture, page.logicalDpiX());
  if (!ok) std::fprintf(stderr, "morvane-player: printing page %d failed\n", page.number());
  player.trace().Write("print",
                       {{"page", page.number()}, {"printer", info.printerName().toStdString()}});
}

}  // namespace morvane
