#pragma once
// Where drawn pages go: a PDF document (text kept as text, fonts embedded),
// any paged device (a printer), or an image for the screen.
#include <QByteArray>
#include <QImage>
#include <QString>

class QPagedPaintDevice;

namespace ksx4::pages {

class SheetPages;

// Pages first..last (0-based, inclusive; -1: to the end) onto device, one
// device page each, after setting the device's page layout to the sheet's
// paper. A printer should print the full page (QPrinter::setFullPage).
// False when the device refused to start or to add a page.
bool drawPages(const SheetPages& pages, QPagedPaintDevice& device, int first = 0, int last = -1);

// Every page as one PDF document titled title; empty without a
// QGuiApplication (Qt has no fonts then).
QByteArray pdfDocument(const SheetPages& pages, const QString& title);

// One page on white at dotsPerInch (96 for the screen at 100 %).
QImage pageImage(const SheetPages& pages, int page, double dotsPerInch);

}  // namespace ksx4::pages
