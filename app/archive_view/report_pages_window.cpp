#include "archive_view/report_pages_window.h"

#include "archive_view/archive_handlers.h"
#include "archive_view/operation_button_window.h"
#include "archive_view/report_table_model.h"
#include "archive_view/save_folder.h"
#include "core/operation_runner.h"
#include "pages/page_output.h"
#include "pages/sheet_pages.h"
#include "report/report_pdf.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ksx4 {
namespace {

constexpr int kZooms[] = {50, 75, 100, 125, 150, 200};
constexpr int kStartZoom = 2;  // 100 %
constexpr double kScreenDotsPerInch = 96;

}  // namespace

ReportPagesWindow::ReportPagesWindow(ProgramState& state, OperationRunner& runner,
                                     SaveFolder& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), runner_(runner), folder_(folder) {
    setObjectName(QStringLiteral("frmReportPages"));
    resize(900, 900);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    previous_ =
        addButton(QStringLiteral("< &Previous"), "cmdPrevious", [this] { showPage(page_ - 1); });
    bar->addWidget(previous_);
    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("lblPage"));
    bar->addWidget(pageLabel_);
    next_ = addButton(QStringLiteral("&Next >"), "cmdNext", [this] { showPage(page_ + 1); });
    bar->addWidget(next_);
    zoom_ = new QComboBox(this);
    zoom_->setObjectName(QStringLiteral("cboZoom"));
    for (int percent : kZooms) zoom_->addItem(QStringLiteral("%1 %").arg(percent), percent);
    zoom_->setCurrentIndex(kStartZoom);
    connect(zoom_, &QComboBox::currentIndexChanged, this, [this] { showPage(page_); });
    auto* zoomLabel = new QLabel(QStringLiteral("&Zoom"), this);
    zoomLabel->setBuddy(zoom_);
    bar->addWidget(zoomLabel);
    bar->addWidget(zoom_);
    bar->addStretch(1);
    bar->addWidget(addButton(QStringLiteral("Save as P&DF..."), "cmdSavePdf",
                             [this] { savePagesAsPdf(state_, *this, folder_); }));
    bar->addWidget(addButton(QStringLiteral("Save &Workbook..."), "cmdSaveWorkbook",
                             [this] { saveWorkbookOf(state_, *this, folder_); }));
    bar->addWidget(
        addButton(QStringLiteral("P&rint..."), "cmdPrint", [this] { printPages(state_, *this); }));
    layout->addLayout(bar);
    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignHCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new QLabel(scroll_);
    view_->setObjectName(QStringLiteral("imgPage"));
    scroll_->setWidget(view_);
    layout->addWidget(scroll_, 1);
    runner_.addControls([this](bool enabled) {
        for (QPushButton* button : buttons_) button->setEnabled(enabled);
        if (enabled) enablePageButtons();
    });
    addCloseKeys(this);
}

ReportPagesWindow::~ReportPagesWindow() = default;

void ReportPagesWindow::enablePageButtons() {
    previous_->setEnabled(page_ > 0);
    next_->setEnabled(page_ + 1 < pageCount());
}

QPushButton* ReportPagesWindow::addButton(const QString& caption, const char* name,
                                          const std::function<void()>& handler) {
    return addOperationButton(this, runner_, buttons_, caption, name, handler);
}

void ReportPagesWindow::setReport(archive::ArchivedReport report, ArchivedSheet sheet) {
    pages_.reset();
    report_ = std::move(report);
    sheet_ = std::make_unique<ArchivedSheet>(std::move(sheet));
    pages_ = std::make_unique<pages::SheetPages>(
        *sheet_->model, QFileInfo(report_.summary.workbookPath).fileName(), sheet_->sheetName);
    setWindowTitle(
        QStringLiteral("%1 - %2").arg(report_.summary.location, reportTimeText(report_.summary)));
    showPage(0);
}

int ReportPagesWindow::pageCount() const {
    return pages_ ? pages_->pageCount() : 0;
}

int ReportPagesWindow::zoom() const {
    return zoom_->currentData().toInt();
}

void ReportPagesWindow::showPage(int page) {
    if (!pages_ || pageCount() == 0) return;
    page_ = std::clamp(page, 0, pageCount() - 1);
    const double ratio = devicePixelRatioF();
    QImage image = pages::pageImage(*pages_, page_, kScreenDotsPerInch * zoom() / 100.0 * ratio);
    image.setDevicePixelRatio(ratio);
    view_->setPixmap(QPixmap::fromImage(image));
    view_->resize(image.size() / ratio);
    pageLabel_->setText(QStringLiteral("Page %1 of %2").arg(page_ + 1).arg(pageCount()));
    if (!runner_.isRunning()) enablePageButtons();
}

QByteArray ReportPagesWindow::pdf() const {
    if (!pages_) return {};
    return reportPdf(*sheet_->model, sheet_->sheetName,
                     QFileInfo(report_.summary.workbookPath).fileName());
}

PrintResult ReportPagesWindow::print() {
    if (!pages_) return PrintResult::Failed;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    // The name the dialog's "print to file" proposes: what the file holds.
    printer.setDocName(reportFileStem(report_.summary));
    printer.setPageLayout(pages_->pageLayout());
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("dlgPrint"));
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted) return PrintResult::Cancelled;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        folder_.used(printer.outputFileName());
    int first = 0, last = pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange) {
        first = std::max(printer.fromPage(), 1) - 1;
        last = std::min(printer.toPage(), pageCount()) - 1;
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        first = last = page_;
    }
    return pages::drawPages(*pages_, printer, first, last) ? PrintResult::Printed
                                                           : PrintResult::Failed;
}

}  // namespace ksx4
