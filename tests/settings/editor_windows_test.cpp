// The two editor windows, offscreen, opened from the main window's Set menu
// against a simulated tester: their captions, rows and buttons, an edit
// saved into the tester's EEPROM, buttons disabled while an operation runs,
// and the window kept when hidden. With KSX4_SCREENSHOT_DIR set, each editor
// is also saved there as a PNG.
#include "core/clock.h"
#include "core/main_window.h"
#include "core/operation_runner.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/pooled_threads.h"
#include "platform/qt/qt_operator.h"
#include "settings/limits_editor.h"
#include "settings/limits_window.h"
#include "settings/report_names_editor.h"
#include "settings/report_names_window.h"
#include "tester_image.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace ksx4 {
namespace {

// A hundred times faster than real time: the operations' pauses take
// milliseconds while the windows still process real events.
class FastClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override { return real_.now() * 100; }

  private:
    SteadyClock real_;
};

// Closes every message box that opens and keeps its text and the window it
// opened over.
class MessageCatcher {
  public:
    MessageCatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->text());
                owners.append(box->parentWidget());
                box->reject();
            }
        });
        timer_.start(5);
    }
    QStringList texts;
    QList<QWidget*> owners;

  private:
    QTimer timer_;
};

// Texts of the widgets of kind T in reading order: top to bottom, then left
// to right.
template <typename T>
QStringList textsInReadingOrder(QWidget* window) {
    QList<T*> widgets = window->findChildren<T*>();
    std::sort(widgets.begin(), widgets.end(), [](T* a, T* b) {
        const QRect ra = a->geometry(), rb = b->geometry();
        return ra.top() != rb.top() ? ra.top() < rb.top() : ra.left() < rb.left();
    });
    QStringList texts;
    for (T* widget : widgets) texts.append(widget->text());
    return texts;
}

void saveScreenshot(QWidget* window, const char* name) {
    const QString folder = qEnvironmentVariable("KSX4_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    window->grab().save(QDir(folder).filePath(QString::fromLatin1(name) + ".png"));
}

class EditorWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        qputenv("KSX4_SIM_DIR", folder.path().toLocal8Bit());
        ASSERT_TRUE(sim::writeTester(dir(), 1, sim::blankTester(false, 1001)));

        // Wired as main() wires them: each editor made at its first use.
        handlers.okBadLimits = [this](ProgramState& s, MainWindowForm&) {
            if (!limits) limits = std::make_unique<LimitsWindow>(s, *runner);
            mnuOKBADLimits_Click(s, *limits);
        };
        handlers.reportNames = [this](ProgramState& s, MainWindowForm&) {
            if (!names) names = std::make_unique<ReportNamesWindow>(s, *runner);
            mnuReportNames_Click(s, *names);
        };
        window = std::make_unique<MainWindow>(handlers);
        ui =
            std::make_unique<QtOperator>(window.get(), window->statusField(), window->statusList());
        state = std::make_unique<ProgramState>(*ui, clock, link);
        runner = std::make_unique<OperationRunner>(*ui, [] { QApplication::closeAllWindows(); });
        window->attach(*state, *runner);
        ASSERT_TRUE(window->start());
    }

    void TearDown() override {
        // The editors use the runner and state: they go first.
        limits.reset();
        names.reset();
    }

    std::filesystem::path dir() const { return folder.path().toStdString(); }
    std::array<uint8_t, 256> eeprom() const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(dir(), 1, image));
        return image.eeprom;
    }

    template <typename T>
    T* find(QWidget* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void trigger(const char* menuEntry) { find<QAction>(window.get(), menuEntry)->trigger(); }

    // Clicks a button and notes whether every operation control was disabled
    // while the operation ran (seen at its first pause).
    bool clickDisablesControls(QWidget* editor, const char* button) {
        bool disabled = false;
        QTimer::singleShot(0, [&] {
            disabled = !find<QPushButton>(editor, "Command1")->isEnabled() &&
                       !find<QPushButton>(editor, "Command4")->isEnabled() &&
                       !find<QPushButton>(window.get(), "cmddownloaddata")->isEnabled();
        });
        find<QPushButton>(editor, button)->click();
        return disabled;
    }

    QTemporaryDir folder;
    FastClock clock;
    LinkLibrary link;
    MainWindowHandlers handlers;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QtOperator> ui;
    std::unique_ptr<ProgramState> state;
    std::unique_ptr<OperationRunner> runner;
    std::unique_ptr<LimitsWindow> limits;
    std::unique_ptr<ReportNamesWindow> names;
    MessageCatcher messages;
};

TEST_F(EditorWindowsTest, LimitsEditorSavesAnEditIntoTheTester) {
    trigger("mnuOKBADLimits");
    ASSERT_TRUE(limits);
    EXPECT_TRUE(limits->isVisible());
    EXPECT_EQ(limits->windowTitle(), "Set OK/BAD Limits");
    EXPECT_EQ(window->statusField()->text(), "Set OK/BAD limits");
    EXPECT_EQ(textsInReadingOrder<QLabel>(limits.get()),
              (QStringList{"Measurement",
                           "OK/BAD Limits",
                           "Voltage",
                           "V Minimum",
                           "Signal Level",
                           "mV Minimum",
                           "Avg Fieldbus Frequency Noise",
                           "mV Maximum",
                           "Peak Fieldbus Frequency Noise",
                           "mV Maximum",
                           "Avg Low Frequency Noise",
                           "mV Maximum",
                           "Peak Low Frequency Noise",
                           "mV Maximum",
                           "Avg High Frequency Noise",
                           "mV Maximum",
                           "Peak High Frequency Noise",
                           "mV Maximum",
                           "Shield Short",
                           "Device Add or Drop",
                           "Device Retransmits",
                           "Maximum"}));
    const QString nine = QLocale::system().toString(9.0, 'f', 1);
    EXPECT_EQ(textsInReadingOrder<QLineEdit>(limits.get()),
              (QStringList{nine, "150", "75", "75", "150", "150", "150", "150", "No Shorts",
                           "None Added/Dropped", "0"}));
    EXPECT_TRUE(find<QLineEdit>(limits.get(), "Text9")->isReadOnly());
    EXPECT_EQ(textsInReadingOrder<QPushButton>(limits.get()),
              (QStringList{"Show Default Limits", "Read Limits from KSX-4", "Save Limits to KSX-4",
                           "Cancel"}));
    saveScreenshot(limits.get(), "limits_editor");

    find<QLineEdit>(limits.get(), "Text1")->setText(QLocale::system().toString(12.5, 'f', 1));
    find<QLineEdit>(limits.get(), "Text11")->setText("7");
    EXPECT_TRUE(clickDisablesControls(limits.get(), "Command3"));

    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    EXPECT_FALSE(limits->isVisible());
    EXPECT_EQ(window->statusField()->text(), "OK/BAD limits written to KSX-4.  Ready...");
    const auto stored = eeprom();
    EXPECT_EQ(stored[236] << 8 | stored[237], 12500);
    EXPECT_EQ(stored[112] << 8 | stored[113], 7);
    EXPECT_TRUE(find<QPushButton>(limits.get(), "Command1")->isEnabled());

    // Opened again: the same window, refilled from the tester.
    LimitsWindow* first = limits.get();
    trigger("mnuOKBADLimits");
    EXPECT_EQ(limits.get(), first);
    EXPECT_EQ(find<QLineEdit>(limits.get(), "Text11")->text(), "7");
    // Closing it is Cancel.
    limits->close();
    EXPECT_FALSE(limits->isVisible());
    EXPECT_EQ(window->statusField()->text(), "Ready");
}

TEST_F(EditorWindowsTest, ReportNamesEditorSavesAnEditIntoTheTester) {
    trigger("mnuReportNames");
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->isVisible());
    EXPECT_EQ(names->windowTitle(), "Display/Edit Report Names");
    EXPECT_EQ(window->statusField()->text(), "Edit report names");
    EXPECT_EQ(textsInReadingOrder<QLabel>(names.get()),
              (QStringList{reportNamesInstruction(), "Report Name", "Location 1", "Location 2",
                           "Location 3", "Location 4", "Location 5", "Location 6", "Location 7",
                           "Location 8"}));
    EXPECT_EQ(find<QLineEdit>(names.get(), "Text1_7")->text(), "Report 8       ");
    EXPECT_EQ(textsInReadingOrder<QPushButton>(names.get()),
              (QStringList{"Show Default Names", "Read Current Names from KSX-4",
                           "Save Report Names to KSX-4", "Cancel"}));
    saveScreenshot(names.get(), "report_names_editor");

    find<QLineEdit>(names.get(), "Text1_2")->setText("Zürich");
    EXPECT_TRUE(clickDisablesControls(names.get(), "Command3"));

    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    EXPECT_FALSE(names->isVisible());
    EXPECT_EQ(window->statusField()->text(), "Report names written to KSX-4.  Ready...");
    const auto stored = eeprom();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(stored.data()) + 146, 15),
              QByteArray("Z\xFCrich         "));
}

// A check's message opens over the editor the user is typing in, not over
// the main window.
TEST_F(EditorWindowsTest, EditorMessagesOpenOverTheEditor) {
    trigger("mnuOKBADLimits");
    ASSERT_TRUE(limits);
    find<QLineEdit>(limits.get(), "Text1")->setText("7");
    find<QPushButton>(limits.get(), "Command3")->click();
    trigger("mnuReportNames");
    ASSERT_TRUE(names);
    find<QLineEdit>(names.get(), "Text1_3")->setText("a/b");
    find<QPushButton>(names.get(), "Command3")->click();

    ASSERT_EQ(messages.texts.size(), 2);
    EXPECT_TRUE(messages.texts[0].startsWith("Voltage limit should be at least 8V."));
    EXPECT_TRUE(messages.texts[1].startsWith("Location 4 name cannot contain"));
    EXPECT_EQ(messages.owners, (QList<QWidget*>{limits.get(), names.get()}));
    EXPECT_EQ(eeprom(), sim::blankTester(false, 1001).eeprom);
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
