// "Update Firmware" in the real main window against the simulated tester,
// with a latency that makes the boot load last a second or two: the window
// keeps painting the elapsed time meanwhile, and an Exit waits for the load.
// KSX4_GUI_SCREENSHOT=FILE.png keeps a picture of the window during the load
// (and FILE.png-exit.png one while an exit waits for it).
#include "core/clock.h"
#include "core/main_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "firmware/firmware_update.h"
#include "firmware_fixture.h"
#include "intel_hex_text.h"
#include "platform/link_library.h"
#include "platform/pooled_threads.h"
#include "platform/qt/qt_operator.h"
#include "tester_image.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace ksx4 {
namespace {

using test::applicationAreaBySrecCat;
using test::assembleFirmware;
using test::haveTool;

// Pauses (the program's own waits) run a hundred times faster than real time.
class FastClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override { return real_.now() * 100; }

  private:
    SteadyClock real_;
};

// Counts the paint events of the widgets of one name, made before or after.
class PaintCounter final : public QObject {
  public:
    explicit PaintCounter(QString name) : name_(std::move(name)) {
        QApplication::instance()->installEventFilter(this);
    }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->objectName() == name_) ++count;
        return false;
    }
    int count = 0;

  private:
    QString name_;
};

class FirmwareWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        dir = folder.path().toStdString();
        ::setenv("KSX4_SIM_DIR", dir.c_str(), 1);
        before = sim::blankTester(false, 1001);
        ASSERT_TRUE(sim::writeTester(dir, 1, before));
        handlers.updateFirmware = [](ProgramState& s, MainWindowForm&) { cmdloadflash_Click(s); };
        window = std::make_unique<MainWindow>(handlers);
        ui =
            std::make_unique<QtOperator>(window.get(), window->statusField(), window->statusList());
        ui->setBusyArea(window->busyArea());
        state = std::make_unique<ProgramState>(*ui, clock, link);
        runner = std::make_unique<OperationRunner>(*ui, [] { QApplication::closeAllWindows(); });
        window->attach(*state, *runner);
        ASSERT_TRUE(window->start());
    }
    void TearDown() override { ::unsetenv("KSX4_SIM_LATENCY_US"); }

    template <typename T>
    T* find(const char* name) {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // Clicks "Update Firmware" and answers its dialogs: file chooses the HEX
    // file, "Final check!" gets OK, any other message is recorded and closed.
    // duringLoad runs every few milliseconds while the boot load runs.
    void update(const QString& file, std::function<void()> duringLoad) {
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                // Chosen once; a dialog that refused the choice is given up.
                if (++fileDialogs > 1) return static_cast<QDialog*>(dialog)->reject();
                dialogTitle = dialog->windowTitle();
                dialogFolder = dialog->directory().absolutePath();
                dialogFilters = dialog->nameFilters();
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept();  // virtual: the file dialog's own
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                if (box->windowTitle() != "Final check!") otherMessages.append(box->text());
                // A question asked again and again is given up, not answered forever.
                if (otherMessages.size() > 3 || !box->button(QMessageBox::Ok)) return box->reject();
                box->button(QMessageBox::Ok)->click();
            } else if (ui->waiting()) {
                ++ticksDuringLoad;
                duringLoad();
            }
        });
        watcher.start(5);
        find<QPushButton>("cmdloadflash")->click();
    }

    sim::TesterImage stored() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(dir, 1, image));
        return image;
    }

    QString statusText() const { return window->statusField()->text(); }
    QImage screenGrab() const { return window->screen()->grabWindow(window->winId()).toImage(); }

    QTemporaryDir folder;
    std::filesystem::path dir;
    sim::TesterImage before;
    FastClock clock;
    LinkLibrary link;
    MainWindowHandlers handlers;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QtOperator> ui;
    std::unique_ptr<ProgramState> state;
    std::unique_ptr<OperationRunner> runner;

    QString dialogTitle, dialogFolder;
    QStringList dialogFilters;
    QStringList otherMessages;
    int ticksDuringLoad = 0;
    int fileDialogs = 0;
};

const QString kPleaseWait = "Firmware update will take a few moments. Please wait...";

TEST_F(FirmwareWindowTest, LoadsGpasmFirmwareWhileTheWindowShowsTheElapsedTime) {
    if (!haveTool("gpasm") || !haveTool("srec_cat")) {
        GTEST_SKIP() << "needs gpasm (Debian gputils) and srec_cat (Debian srecord)";
    }
    std::string problem;
    const auto hexFile = assembleFirmware("ksx4_firmware", dir, false, &problem);
    ASSERT_TRUE(hexFile) << problem;
    const auto application = applicationAreaBySrecCat(*hexFile, &problem);
    ASSERT_TRUE(application) << problem;
    // About 1000 exchanges: a second and a half.
    ::setenv("KSX4_SIM_LATENCY_US", "1500", 1);

    // The screen is grabbed after the elapsed time was painted as 0:00, and
    // again after it was painted as 0:01.
    PaintCounter paints("elapsedTime");
    QImage atStart, aSecondLater;
    int paintsSeen = 0;
    QRect elapsedArea;
    bool statusKept = true, controlsDisabled = true, exitEnabled = true, busyShown = true;
    update(QString::fromStdString(hexFile->string()), [&] {
        statusKept = statusKept && statusText() == kPleaseWait && ui->status() == kPleaseWait;
        controlsDisabled = controlsDisabled && !find<QPushButton>("cmdloadflash")->isEnabled() &&
                           !find<QPushButton>("cmddownloaddata")->isEnabled();
        exitEnabled = exitEnabled && find<QPushButton>("cmdexit")->isEnabled();
        auto* busy = window->findChild<QProgressBar*>("busyIndicator");
        busyShown = busyShown && busy && busy->isVisible();
        auto* elapsed = window->findChild<QLabel*>("elapsedTime");
        if (!elapsed) return;
        elapsedArea = QRect(elapsed->mapTo(window.get(), QPoint(0, 0)), elapsed->size());
        // A paint since the last look shows the time as it is now.
        if (paints.count == paintsSeen) return;
        paintsSeen = paints.count;
        if (atStart.isNull() && elapsed->text() == "0:00") atStart = screenGrab();
        if (aSecondLater.isNull() && elapsed->text() == "0:01") {
            aSecondLater = screenGrab();
            if (const char* png = std::getenv("KSX4_GUI_SCREENSHOT")) aSecondLater.save(png);
        }
    });

    EXPECT_EQ(dialogTitle, "Choose Hex File");
    EXPECT_EQ(dialogFolder, QCoreApplication::applicationDirPath());
    EXPECT_EQ(dialogFilters, QStringList{"HEX Files (*.HEX)"});
    EXPECT_TRUE(otherMessages.isEmpty()) << otherMessages.join("|").toStdString();
    EXPECT_EQ(statusText(), "KSX-4 firmware loaded.  Ready...");
    EXPECT_EQ(window->findChild<QProgressBar*>("busyIndicator"), nullptr);
    EXPECT_EQ(window->findChild<QLabel*>("elapsedTime"), nullptr);
    EXPECT_TRUE(find<QPushButton>("cmdloadflash")->isEnabled());

    EXPECT_GT(ticksDuringLoad, 10) << "the window answered events during the load";
    EXPECT_TRUE(statusKept);
    EXPECT_TRUE(controlsDisabled);
    EXPECT_TRUE(exitEnabled);
    EXPECT_TRUE(busyShown);
    ASSERT_FALSE(atStart.isNull());
    ASSERT_FALSE(aSecondLater.isNull()) << "the elapsed time went on to 0:01";
    // What the screen shows changed with the elapsed time: the window was
    // painted again during the load.
    const qreal ratio = aSecondLater.devicePixelRatio();
    const QRect area(elapsedArea.topLeft() * ratio, elapsedArea.size() * ratio);
    EXPECT_NE(atStart.copy(area), aSecondLater.copy(area));

    const sim::TesterImage loaded = stored();
    EXPECT_TRUE(
        std::equal(application->begin(), application->end(), loaded.flash.begin() + 0x0800));
    EXPECT_TRUE(
        std::equal(loaded.flash.begin(), loaded.flash.begin() + 0x0800, before.flash.begin()));
}

TEST_F(FirmwareWindowTest, ExitDuringTheBootLoadWaitsForItThenEndsTheProgram) {
    std::vector<uint8_t> firmware(0x1000);
    for (size_t a = 0; a < firmware.size(); ++a) firmware[a] = static_cast<uint8_t>(a * 5 + 1);
    const auto hexFile = dir / "small.hex";
    std::ofstream(hexFile) << test::hexImageFile(0, firmware);
    // 480 erases and 128 rows: about a second.
    ::setenv("KSX4_SIM_LATENCY_US", "1500", 1);

    bool exitClicked = false, stayedWhileLoading = true, exitDisabled = true;
    bool wholeStatusShown = false, noticeShown = false;
    update(QString::fromStdString(hexFile.string()), [&] {
        auto* text = window->findChild<QLabel*>("busyText");
        if (!exitClicked) {
            // The status field cuts the text; the busy panel shows all of it.
            wholeStatusShown = text && text->isVisible() && text->text() == kPleaseWait &&
                               text->heightForWidth(text->width()) <= text->height();
            exitClicked = true;
            find<QPushButton>("cmdexit")->click();
            // Closing the window by other means waits the same way.
            window->close();
            return;
        }
        stayedWhileLoading = stayedWhileLoading && window->isVisible();
        exitDisabled = exitDisabled && !find<QPushButton>("cmdexit")->isEnabled() &&
                       !find<QAction>("mnuexit")->isEnabled();
        const bool notice = text &&
                            text->text().startsWith(kPleaseWait + "\nExit: the program ends") &&
                            text->heightForWidth(text->width()) <= text->height();
        if (notice && !noticeShown) {
            if (const char* png = std::getenv("KSX4_GUI_SCREENSHOT")) {
                screenGrab().save(QString::fromLocal8Bit(png) + "-exit.png");
            }
        }
        noticeShown = noticeShown || notice;
    });

    EXPECT_TRUE(exitClicked);
    EXPECT_TRUE(stayedWhileLoading);
    EXPECT_TRUE(wholeStatusShown);
    EXPECT_TRUE(exitDisabled);
    EXPECT_TRUE(noticeShown);
    EXPECT_TRUE(otherMessages.isEmpty()) << otherMessages.join("|").toStdString();
    EXPECT_TRUE(runner->programEnded());
    EXPECT_FALSE(window->isVisible());
    EXPECT_NE(statusText(), "KSX-4 firmware loaded.  Ready...") << "ended right after the load";
    // Nothing closed the connection under the load: it ran to its end.
    const sim::TesterImage loaded = stored();
    EXPECT_TRUE(std::equal(loaded.flash.begin() + 0x0800, loaded.flash.begin() + 0x1000,
                           firmware.begin() + 0x0800));
    EXPECT_TRUE(std::all_of(loaded.flash.begin() + 0x1000, loaded.flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    // ... and the exit closed it afterwards.
    EXPECT_EQ(link.closeDevice(), DEVICE_NOT_OPENED_YET);
}

}  // namespace
}  // namespace ksx4

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
