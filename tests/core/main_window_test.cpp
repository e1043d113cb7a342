// The real main window, offscreen, against simulated testers: start-up to
// "Ready", the menus a user sees, the about box, Exit, and one operation at
// a time.
#include "core/main_window.h"
#include "core/clock.h"
#include "core/help_texts.h"
#include "core/operation_runner.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/pooled_threads.h"
#include "platform/qt/qt_operator.h"
#include "tester_image.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

// Runs a hundred times faster than real time, so start-up's pauses take
// milliseconds while the window still processes real events.
class FastClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override { return real_.now() * 100; }

  private:
    SteadyClock real_;
};

// Answers the next message box: hands it to answer, which must close it.
class MessageWatcher {
  public:
    explicit MessageWatcher(std::function<void(QMessageBox&)> answer) : answer_(std::move(answer)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            ++seen;
            answer_(*box);
        });
        timer_.start(5);
    }
    int seen = 0;

  private:
    std::function<void(QMessageBox&)> answer_;
    QTimer timer_;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        qputenv("KSX4_SIM_DIR", folder.path().toLocal8Bit());
        ASSERT_TRUE(sim::writeTester(dir(), 1, sim::blankTester(false, 1001)));
    }

    std::filesystem::path dir() const { return folder.path().toStdString(); }

    // Builds the window with the handlers set so far, as main() does, and
    // runs start-up.
    bool start() {
        window = std::make_unique<MainWindow>(handlers);
        ui =
            std::make_unique<QtOperator>(window.get(), window->statusField(), window->statusList());
        state = std::make_unique<ProgramState>(*ui, clock, link);
        runner = std::make_unique<OperationRunner>(*ui, [] { QApplication::closeAllWindows(); });
        window->attach(*state, *runner);
        return window->start();
    }

    template <typename T>
    T* find(const char* name) {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QTemporaryDir folder;
    FastClock clock;
    LinkLibrary link;
    MainWindowHandlers handlers;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QtOperator> ui;
    std::unique_ptr<ProgramState> state;
    std::unique_ptr<OperationRunner> runner;
};

QStringList visibleEntries(QMenu* menu) {
    QStringList captions;
    for (QAction* action : menu->actions()) {
        if (action->isVisible()) captions.append(action->text());
    }
    return captions;
}

TEST_F(MainWindowTest, StartsOnASimulatedTesterAndShowsReady) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Tessel KSX-4 Assistant");
    EXPECT_EQ(window->statusField()->text(), "Ready");
    EXPECT_EQ(visibleEntries(find<QMenu>("mnufile")),
              (QStringList{"&Erase Reports in KSX-4", "Report &Archive...", "&Exit"}));
    EXPECT_FALSE(find<QAction>("mnuEngCal")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("cmddownloaddata")->isEnabled());
    EXPECT_EQ(find<QPushButton>("cmddownloaddata")->text(), "Transfer Reports  from KSX-4");
    // The debug area lies below the client area the window opens with.
    EXPECT_GE(find<QWidget>("Label1")->geometry().top(), window->centralWidget()->height());
    EXPECT_GE(find<QWidget>("List1")->geometry().top(), window->centralWidget()->height());
    // ... and stays there: the window cannot be made larger.
    const QSize opened = window->size();
    window->resize(opened * 2);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), opened);
    EXPECT_EQ(window->maximumSize(), opened);
}

TEST_F(MainWindowTest, AlsoSaveReportsAsPdfIsRememberedBetweenRuns) {
    QSettings().clear();
    for (const bool check : {true, false}) {
        MainWindow first(handlers);
        auto* entry = first.findChild<QAction*>(QStringLiteral("mnuAlsoPdf"));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->text(), "Also Save Reports as &PDF");
        EXPECT_TRUE(entry->isCheckable());
        EXPECT_EQ(first.alsoSaveReportsAsPdf(), !check);
        entry->trigger();
        EXPECT_EQ(first.alsoSaveReportsAsPdf(), check);

        const MainWindow next(handlers);
        EXPECT_EQ(next.alsoSaveReportsAsPdf(), check);
        EXPECT_EQ(next.findChild<QAction*>(QStringLiteral("mnuAlsoPdf"))->isChecked(), check);
    }
}

TEST_F(MainWindowTest, DebugCheckBoxesAreWhite) {
    ASSERT_TRUE(start());
    for (const char* name : {"ckdummy", "ckwriteraw"}) {
        QCheckBox* box = find<QCheckBox>(name);
        const QImage pixels = box->grab().toImage();
        // The top right corner: background, above the caption's letters.
        const QColor corner = pixels.pixelColor(pixels.width() - 1, 0);
        EXPECT_EQ(corner, QColor(Qt::white)) << name << " " << corner.name().toStdString();
    }
}

TEST_F(MainWindowTest, NoTesterAsksAndOkAfterPluggingInReachesReady) {
    sim::setAttached(dir(), 0);
    QString asked;
    MessageWatcher watcher([&](QMessageBox& box) {
        asked = box.text();
        sim::setAttached(dir(), 1);
        box.button(QMessageBox::Ok)->click();
    });
    ASSERT_TRUE(start());
    EXPECT_EQ(asked, "Connect KSX-4 to the PC USB port");
    EXPECT_EQ(window->statusField()->text(), "Ready");
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersion) {
    ASSERT_TRUE(start());
    QString title, text;
    MessageWatcher watcher([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        box.button(QMessageBox::Ok)->click();
    });
    find<QAction>("mnuabout")->trigger();
    EXPECT_EQ(title, kAboutTitle);
    EXPECT_TRUE(text.startsWith("Version 2.09\n")) << text.toStdString();
}

TEST_F(MainWindowTest, ExitWithTheTesterGoneClosesWithoutAMessage) {
    ASSERT_TRUE(start());
    sim::setAttached(dir(), 0);
    MessageWatcher watcher([](QMessageBox& box) { box.reject(); });
    find<QPushButton>("cmdexit")->click();
    QApplication::processEvents();
    EXPECT_EQ(watcher.seen, 0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, OneOperationAtATimeAndExitEndsAWaitingOne) {
    bool firmwareEnabled = true, eraseEnabled = true, exitEnabled = false, finished = false;
    int started = 0;
    handlers.transferReports = [&](ProgramState& s, MainWindowForm&) {
        ++started;
        firmwareEnabled = find<QPushButton>("cmdloadflash")->isEnabled();
        eraseEnabled = find<QAction>("mnuErase")->isEnabled();
        exitEnabled = find<QPushButton>("cmdexit")->isEnabled();
        QTimer::singleShot(0, [&] {
            find<QPushButton>("cmddownloaddata")->click();  // refused: disabled
            find<QPushButton>("cmdexit")->click();
        });
        pauseMs(s, 600000);
        finished = true;
    };
    ASSERT_TRUE(start());
    find<QPushButton>("cmddownloaddata")->click();
    EXPECT_EQ(started, 1);
    EXPECT_FALSE(firmwareEnabled);
    EXPECT_FALSE(eraseEnabled);
    EXPECT_TRUE(exitEnabled);
    EXPECT_FALSE(finished);
    EXPECT_TRUE(runner->programEnded());
    EXPECT_FALSE(window->isVisible());
}

// The noise procedures disable the transfer and firmware buttons on top of
// the runner: enabling them again never does so while an operation runs,
// and buttons a procedure left disabled stay so after it has ended.
TEST_F(MainWindowTest, TransferAndFirmwareButtonsFollowRunnerAndProcedures) {
    bool enabledInsideAfterReenabling = true;
    handlers.noiseTest = [&](ProgramState&, MainWindowForm& form) {
        form.setTransferAndFirmwareEnabled(false);
        form.setTransferAndFirmwareEnabled(true);
        enabledInsideAfterReenabling = find<QPushButton>("cmddownloaddata")->isEnabled();
    };
    handlers.noiseCalibration = [](ProgramState&, MainWindowForm& form) {
        form.setTransferAndFirmwareEnabled(false);  // and never again
    };
    ASSERT_TRUE(start());
    // The entries are out of reach: run their handlers as the runner would.
    EXPECT_FALSE(find<QAction>("mnuManTest")->isEnabled());
    runner->run([&] { handlers.noiseTest(*state, *window); });
    EXPECT_FALSE(enabledInsideAfterReenabling);
    EXPECT_TRUE(find<QPushButton>("cmddownloaddata")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("cmdloadflash")->isEnabled());

    runner->run([&] { handlers.noiseCalibration(*state, *window); });
    EXPECT_FALSE(find<QPushButton>("cmddownloaddata")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("cmdloadflash")->isEnabled());
    EXPECT_TRUE(find<QAction>("mnuErase")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("cmdexit")->isEnabled());
}

}  // namespace
}  // namespace ksx4

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    QStandardPaths::setTestModeEnabled(true);  // the settings go to a test folder
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
