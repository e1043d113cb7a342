#include "core/main_window.h"

#include "core/center_window.h"
#include "core/connection.h"
#include "core/help_texts.h"
#include "core/main_window_button.h"
#include "core/operation_runner.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "core/status_list_model.h"
#include "core/twips.h"
#include "platform/link_library.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>

namespace ksx4 {
namespace {

using twips::px;

QRect twipRect(int left, int top, int width, int height) {
    return twips::rect(left, top, width, height);
}

// Where the Set menu remembers "Also Save Reports as PDF" between runs.
const QString kAlsoPdfKey = QStringLiteral("transfer/alsoSaveReportsAsPdf");
const QSize kClientSize{px(4812), px(2976)};

// The largest point size (up to the wanted one) at which text fits into
// area, word-wrapped: the title's face may be missing and replaced by a
// wider one.
QFont fittedFont(QFont font, const QString& text, const QSize& area) {
    for (double size = font.pointSizeF(); size > 6; size -= 0.5) {
        font.setPointSizeF(size);
        const QRect needed =
            QFontMetrics(font).boundingRect(QRect(QPoint(0, 0), area), Qt::TextWordWrap, text);
        if (needed.width() <= area.width() && needed.height() <= area.height()) break;
    }
    return font;
}

}  // namespace

MainWindow::MainWindow(MainWindowHandlers handlers, QWidget* parent)
    : QMainWindow(parent), handlers_(std::move(handlers)) {
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(kProgramTitle);
    setWindowIcon(QIcon(QStringLiteral(":/ksx4/logo.png")));
    buildControls();
    buildMenus();
    // Fixed, as the editors are: a larger window would uncover the debug area.
    setFixedSize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(kClientSize);
    setCentralWidget(client);

    auto* image1 = new QLabel(client);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setGeometry(twipRect(120, 120, 780, 744));
    // Scaled for the screen's pixel density, so the logo stays sharp.
    const qreal density = image1->devicePixelRatioF();
    QPixmap logo =
        QPixmap(QStringLiteral(":/ksx4/logo.png"))
            .scaled(image1->size() * density, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    logo.setDevicePixelRatio(density);
    image1->setPixmap(logo);

    auto* label2 = new QLabel(kProgramTitle, client);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(twipRect(1440, 120, 2775, 855));
    label2->setWordWrap(true);
    label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont titleFont(QStringLiteral("Arial"), 18, QFont::Bold);
    label2->setFont(fittedFont(titleFont, label2->text(), label2->size()));

    txtinfo_ = new QLineEdit(client);
    txtinfo_->setObjectName(QStringLiteral("txtinfo"));
    txtinfo_->setGeometry(twipRect(120, 1200, 4575, 285));
    txtinfo_->setReadOnly(true);

    cmddownloaddata_ = new WrappingButton(QStringLiteral("Transfer Reports  from KSX-4"), client);
    cmddownloaddata_->setObjectName(QStringLiteral("cmddownloaddata"));
    cmddownloaddata_->setGeometry(twipRect(120, 1800, 1215, 1095));
    connect(cmddownloaddata_, &QPushButton::clicked, this,
            [this] { runHandler(handlers_.transferReports); });

    cmdloadflash_ = new WrappingButton(QStringLiteral("Update Firmware"), client);
    cmdloadflash_->setObjectName(QStringLiteral("cmdloadflash"));
    cmdloadflash_->setGeometry(twipRect(1800, 1800, 1215, 1095));
    connect(cmdloadflash_, &QPushButton::clicked, this,
            [this] { runHandler(handlers_.updateFirmware); });

    cmdexit_ = new WrappingButton(QStringLiteral("Exit"), client);
    cmdexit_->setObjectName(QStringLiteral("cmdexit"));
    cmdexit_->setGeometry(twipRect(3480, 1800, 1215, 1095));
    connect(cmdexit_, &QPushButton::clicked, this, [this] { close(); });

    // The debug area, below the client area the window opens with.
    auto* line1 = new QFrame(client);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameShape(QFrame::HLine);
    line1->setGeometry(px(120), px(3000), px(4680 - 120), 1);

    auto* label1 = new QLabel(QStringLiteral("Below Line is for debug only!"), client);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(twipRect(720, 3120, 3255, 255));

    listModel_ = new StatusListModel(this);
    list1_ = new QListView(client);
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setGeometry(twipRect(120, 3480, 4575, 2160));
    list1_->setUniformItemSizes(true);
    list1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list1_->setModel(listModel_);

    const auto whiteCheckBox = [client](const char* name, const QString& caption, QRect where) {
        auto* box = new QCheckBox(caption, client);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(where);
        // A check box fills its background in the button colour unless told
        // otherwise: make it fill in the window colour, set to white.
        box->setBackgroundRole(QPalette::Window);
        box->setAutoFillBackground(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Window, Qt::white);
        box->setPalette(palette);
        return box;
    };
    auto* ckdummy = whiteCheckBox("ckdummy", QStringLiteral("Use Dummy Data for Report"),
                                  twipRect(240, 5760, 2775, 375));
    auto* ckwriteraw = whiteCheckBox("ckwriteraw", QStringLiteral("Write Raw Data to C:\\raw.txt"),
                                     twipRect(240, 6120, 2655, 255));

    // Tab order: Exit, Transfer, status field, Update Firmware, list, boxes.
    setTabOrder(cmdexit_, cmddownloaddata_);
    setTabOrder(cmddownloaddata_, txtinfo_);
    setTabOrder(txtinfo_, cmdloadflash_);
    setTabOrder(cmdloadflash_, list1_);
    setTabOrder(list1_, ckdummy);
    setTabOrder(ckdummy, ckwriteraw);
    cmdexit_->setFocus();
}

QAction* MainWindow::addOperationEntry(QMenu* menu, const char* name, const QString& caption,
                                       const MainWindowHandler& handler) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [this, &handler] { runHandler(handler); });
    operationEntries_.append(action);
    return action;
}

void MainWindow::buildMenus() {
    QMenu* mnufile = menuBar()->addMenu(QStringLiteral("&File"));
    mnufile->setObjectName(QStringLiteral("mnufile"));
    mnuManCal_ = addOperationEntry(mnufile, "mnuManCal", QStringLiteral("&Noise Level Calibration"),
                                   handlers_.noiseCalibration);
    mnuManTest_ = addOperationEntry(mnufile, "mnuManTest", QStringLiteral("&Noise Level Test"),
                                    handlers_.noiseTest);
    mnuEngCal_ = addOperationEntry(mnufile, "mnuEngCal", QStringLiteral("&EEPROM Access "),
                                   handlers_.eepromAccess);
    addOperationEntry(mnufile, "mnuErase", QStringLiteral("&Erase Reports in KSX-4"),
                      handlers_.eraseReports);
    addOperationEntry(mnufile, "mnuReportArchive", QStringLiteral("Report &Archive..."),
                      handlers_.reportArchive);
    mnuexit_ = mnufile->addAction(QStringLiteral("&Exit"));
    mnuexit_->setObjectName(QStringLiteral("mnuexit"));
    connect(mnuexit_, &QAction::triggered, this, [this] { close(); });

    QMenu* mnuSet = menuBar()->addMenu(QStringLiteral("&Set"));
    mnuSet->setObjectName(QStringLiteral("mnuSet"));
    addOperationEntry(mnuSet, "mnuReportNames", QStringLiteral("&Report Names"),
                      handlers_.reportNames);
    addOperationEntry(mnuSet, "mnuOKBADLimits", QStringLiteral("&OK/BAD Limits"),
                      handlers_.okBadLimits);
    mnuSet->addSeparator();
    mnuAlsoPdf_ = mnuSet->addAction(QStringLiteral("Also Save Reports as &PDF"));
    mnuAlsoPdf_->setObjectName(QStringLiteral("mnuAlsoPdf"));
    mnuAlsoPdf_->setCheckable(true);
    mnuAlsoPdf_->setChecked(QSettings().value(kAlsoPdfKey, false).toBool());
    connect(mnuAlsoPdf_, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(kAlsoPdfKey, checked); });

    QMenu* mnuhelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuhelp->setObjectName(QStringLiteral("mnuhelp"));
    QAction* help = mnuhelp->addAction(QStringLiteral("KSX-4 Assistant Help"));
    help->setObjectName(QStringLiteral("mnuassistanthelp"));
    connect(help, &QAction::triggered, this, [this] { showHelp(); });
    QAction* about = mnuhelp->addAction(QStringLiteral("About KSX-4 Assistant"));
    about->setObjectName(QStringLiteral("mnuabout"));
    connect(about, &QAction::triggered, this, [this] { showAbout(); });
}

bool MainWindow::alsoSaveReportsAsPdf() const {
    return mnuAlsoPdf_->isChecked();
}

void MainWindow::attach(ProgramState& state, OperationRunner& runner) {
    state_ = &state;
    runner_ = &runner;
    runner.addControls([this](bool enabled) { setOperationsEnabled(enabled); });
}

bool MainWindow::start() {
    if (!state_ || !runner_) return false;
    runner_->run([this] { startProgram(*state_, *this); });
    return !runner_->programEnded();
}

void MainWindow::hideEngineeringEntries() {
    engineeringHidden_ = true;
    for (QAction* entry : {mnuManCal_, mnuManTest_, mnuEngCal_}) {
        entry->setVisible(false);
        entry->setEnabled(false);
    }
}

void MainWindow::showMainWindow() {
    // centerWindow, as the window's load handler does.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(centeredWindowTopLeft(screen->availableGeometry(), frameGeometry().size()));
    }
    show();
}

void MainWindow::runHandler(const MainWindowHandler& handler) {
    if (!handler || !state_ || !runner_) return;
    runner_->run([this, &handler] { handler(*state_, *this); }, this);
}

void MainWindow::setOperationsEnabled(bool enabled) {
    runnerAllowsOperations_ = enabled;
    applyTransferAndFirmwareEnabled();
    for (QAction* entry : std::as_const(operationEntries_)) {
        const bool engineering = entry == mnuManCal_ || entry == mnuManTest_ || entry == mnuEngCal_;
        entry->setEnabled(enabled && !(engineering && engineeringHidden_));
    }
}

void MainWindow::setTransferAndFirmwareEnabled(bool enabled) {
    proceduresAllowTransferAndFirmware_ = enabled;
    applyTransferAndFirmwareEnabled();
}

void MainWindow::applyTransferAndFirmwareEnabled() {
    const bool enabled = runnerAllowsOperations_ && proceduresAllowTransferAndFirmware_;
    cmddownloaddata_->setEnabled(enabled);
    cmdloadflash_->setEnabled(enabled);
}

void MainWindow::showAbout() {
    if (state_) state_->ui.message(aboutText(), Buttons::Ok, Icon::Information, kAboutTitle);
}

void MainWindow::showHelp() {
    if (state_) state_->ui.message(helpText(), Buttons::Ok, Icon::Information, kHelpTitle);
}

QRect MainWindow::busyArea() const {
    const QRect field = txtinfo_->geometry();
    const QRect operations = cmddownloaddata_->geometry().united(cmdloadflash_->geometry());
    return {QPoint(field.left(), field.bottom() + 3), operations.bottomRight()};
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exitSequence()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::closeLinkQuietly() {
    if (!state_) return;
    try {
        state_->link.closeDevice();  // result ignored
    } catch (const LinkLibraryUnavailable&) {
        // Nothing was ever opened.
    }
}

bool MainWindow::exitSequence() {
    // A link-library call running on its worker thread (boot loading) must
    // not meet a close from here: the exit waits until the call returns, the
    // operation ends right after it, and the runner's closing of the windows
    // brings the exit back here to finish.
    if (state_ && state_->ui.waiting()) {
        if (!exiting_ && runner_) runner_->requestExit();
        exiting_ = true;
        closeAfterWait_ = true;
        // Asked once; the busy panel says that the exit waits.
        cmdexit_->setEnabled(false);
        mnuexit_->setEnabled(false);
        return false;
    }
    if (exiting_) {
        if (closeAfterWait_) {
            closeAfterWait_ = false;
            closeLinkQuietly();
        }
        return true;
    }
    exiting_ = true;
    closeLinkQuietly();
    // While an operation runs, it unwinds at its next pause and the runner
    // then ends the program.
    if (runner_ && !runner_->requestExit()) return true;
    QCoreApplication::quit();
    return true;
}

}  // namespace ksx4
