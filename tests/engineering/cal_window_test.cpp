// The calibration window offscreen: its captions, labels and initial texts,
// a layout in which nothing overlaps, and its buttons running the handlers
// through the one runner. Set KSX4_SCREENSHOT_DIR to keep a picture of it
// (cal_window.png).
#include "engineering/cal_window.h"
#include "core/operation_runner.h"
#include "fake_program.h"
#include "platform/pooled_threads.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>

namespace ksx4 {
namespace {

class CalWindowTest : public ::testing::Test {
  protected:
    template <typename T>
    T* find(const QString& name) {
        T* child = window.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    QLineEdit* box(int index) { return find<QLineEdit>(QStringLiteral("Text1_%1").arg(index)); }

    CalWindow window;
};

TEST_F(CalWindowTest, ShowsTheTableWithItsInitialTexts) {
    EXPECT_EQ(window.windowTitle(), "KSX-4 Calibration");
    // Index: initial text, row by row.
    const std::map<int, const char*> initial{
        {0, "3160"},  {1, "2160"}, {2, "212"},   {3, "0"},     {4, "667"},  {5, "3167"},
        {6, "479"},   {7, "500"},  {8, "2370"},  {9, "483"},   {10, "419"}, {11, "1979"},
        {12, "1023"}, {13, "419"}, {14, "1979"}, {15, "1023"}, {22, "667"}, {23, "3167"},
        {24, "479"},  {25, "400"}, {26, "1892"}, {27, "484"},  {28, "438"}, {29, "2073"},
        {30, "1023"}, {31, "438"}, {32, "2073"}, {33, "1023"}, {40, "667"}, {41, "3167"},
        {42, "479"},  {43, "500"}, {44, "2370"}, {45, "483"},  {46, "500"}, {47, "2370"},
        {48, "1023"}, {49, "500"}, {50, "2370"}, {51, "1023"}, {58, "0"},   {59, "0"},
        {60, "0"}};
    for (const auto& [index, text] : initial) {
        ASSERT_NE(box(index), nullptr);
        EXPECT_EQ(box(index)->text(), text) << index;
        EXPECT_EQ(window.text(index), text);
    }
    EXPECT_EQ(window.findChildren<QLineEdit*>().size(), 43);
    EXPECT_EQ(window.text(16), "");  // no box between the bands

    QStringList labels;
    for (const QLabel* shown : window.findChildren<QLabel*>()) labels.append(shown->text());
    for (const char* expected :
         {"Noise Calibration Table", "Slope", "Offset", "Range End", "DCV", "SIG", "LFN 1", "LFN 4",
          "FFN 1", "FFN 4", "HFN 1", "HFN 4", "Temperature", "Ser. Number", "Erase-all indicator",
          "When set to 21845, KSX-4 erases all FB memory at next boot",
          "KSX-4-PA serial number is encoded in EEPROM by adding 32768"}) {
        EXPECT_TRUE(labels.contains(expected)) << expected;
    }
    const std::map<QString, QString> buttons{
        {"cmdReadCal", "Read EEPROM Data"},
        {"cmdSaveCal", "Save Calibration Data to EEPROM"},
        {"cmdSaveSN", "Save Temperature, Serial Number and Erase-all Indicator to EEPROM"},
        {"cmdSaveDefaultData", "Save Default Data to EEPROM"}};
    for (const auto& [name, caption] : buttons) {
        ASSERT_NE(find<QPushButton>(name), nullptr);
        EXPECT_EQ(find<QPushButton>(name)->text(), caption);
    }
}

TEST_F(CalWindowTest, NothingOverlapsAndEverythingLiesInsideTheWindow) {
    window.show();
    QApplication::processEvents();
    std::vector<std::pair<QString, QRect>> placed;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(child) && !qobject_cast<QLabel*>(child) &&
            !qobject_cast<QAbstractButton*>(child)) {
            continue;
        }
        const QRect where(child->mapTo(&window, QPoint(0, 0)), child->size());
        EXPECT_TRUE(window.rect().contains(where)) << child->objectName().toStdString();
        for (const auto& [name, other] : placed) {
            EXPECT_FALSE(where.intersects(other))
                << child->objectName().toStdString() << " overlaps " << name.toStdString();
        }
        placed.emplace_back(child->objectName(), where);
    }
    // 43 boxes, 4 buttons; labels: heading, 3 column heads, 14 rows, 3 fields, 2 notes.
    EXPECT_EQ(placed.size(), 43u + 4u + 23u);

    const QString folder = qEnvironmentVariable("KSX4_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        EXPECT_TRUE(window.grab().save(QDir(folder).filePath("cal_window.png")));
    }
}

TEST_F(CalWindowTest, ButtonsRunTheirHandlersThroughTheRunner) {
    test::FakeProgram program;
    program.tester.setWord(8, 1234);  // box 4
    program.tester.setWord(254, 5);   // serial number
    OperationRunner runner(program.ui, [] {});
    window.attach(program.state, runner);
    bool enabledDuringRead = true;
    program.ui.onEvents = [&] {
        enabledDuringRead = enabledDuringRead && find<QPushButton>("cmdSaveCal")->isEnabled();
    };

    find<QPushButton>("cmdReadCal")->click();

    EXPECT_EQ(box(4)->text(), "1234");
    EXPECT_EQ(box(59)->text(), "5");
    EXPECT_EQ(program.ui.status(), "Calibration read complete");
    EXPECT_FALSE(enabledDuringRead);
    EXPECT_TRUE(find<QPushButton>("cmdSaveCal")->isEnabled());
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
