#include "pages/page_output.h"

#include "pages/sheet_pages.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace ksx4::pages {
namespace {

constexpr int kPdfResolution = 1200;  // dots per inch of the PDF's coordinates

}  // namespace

bool drawPages(const SheetPages& pages, QPagedPaintDevice& device, int first, int last) {
    if (last < 0 || last >= pages.pageCount()) last = pages.pageCount() - 1;
    device.setPageLayout(pages.pageLayout());
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const double scale = device.logicalDpiX() / 72.0;
    for (int page = first; page <= last; ++page) {
        if (page > first && !device.newPage()) return false;
        painter.save();
        painter.scale(scale, scale);
        pages.drawPage(painter, page);
        painter.restore();
    }
    return painter.end();
}

QByteArray pdfDocument(const SheetPages& pages, const QString& title) {
    // Text needs Qt's font database, which only a GUI application has.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("KSX-4 Assistant"));
        drawPages(pages, writer);
    }
    return bytes;
}

QImage pageImage(const SheetPages& pages, int page, double dotsPerInch) {
    const double scale = dotsPerInch / 72.0;
    const QSizeF points = pages.pageSizePoints();
    QImage image(static_cast<int>(std::ceil(points.width() * scale)),
                 static_cast<int>(std::ceil(points.height() * scale)), QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(dotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    pages.drawPage(painter, page);
    return image;
}

}  // namespace ksx4::pages
