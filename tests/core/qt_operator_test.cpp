// The Operator on Qt's dialogs: which buttons a message offers, what a click
// answers, how message lines and file filters are shown.
#include "platform/qt/qt_operator.h"
#include "core/status_list_model.h"
#include "platform/pooled_threads.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

namespace ksx4 {
namespace {

struct OperatorFixture {
    QWidget parent;
    QLineEdit status{&parent};
    StatusListModel list;
    QtOperator ui{&parent, &status, &list};
};

// Shows a message and clicks `click` as soon as the box is open.
Answer clickIn(QtOperator& ui, Buttons buttons, QMessageBox::StandardButton click,
               QMessageBox::StandardButtons* offered = nullptr, QString* text = nullptr,
               QString* title = nullptr, Qt::TextFormat* format = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (offered) *offered = box->standardButtons();
        if (text) *text = box->text();
        if (title) *title = box->windowTitle();
        if (format) *format = box->textFormat();
        box->button(click)->click();
    });
    return ui.message("Line <b>one</b>\r\n\r\nLine three", buttons, Icon::Critical, {});
}

TEST(QtOperatorMessage, EveryButtonOfEverySetAnswersItself) {
    using SB = QMessageBox::StandardButton;
    struct Case {
        Buttons buttons;
        SB click;
        Answer answer;
    };
    const Case cases[] = {
        {Buttons::Ok, SB::Ok, Answer::Ok},
        {Buttons::OkCancel, SB::Ok, Answer::Ok},
        {Buttons::OkCancel, SB::Cancel, Answer::Cancel},
        {Buttons::YesNo, SB::Yes, Answer::Yes},
        {Buttons::YesNo, SB::No, Answer::No},
        {Buttons::YesNoCancel, SB::No, Answer::No},
        {Buttons::YesNoCancel, SB::Cancel, Answer::Cancel},
        {Buttons::RetryCancel, SB::Retry, Answer::Retry},
        {Buttons::RetryCancel, SB::Cancel, Answer::Cancel},
    };
    OperatorFixture f;
    for (const auto& c : cases) EXPECT_EQ(clickIn(f.ui, c.buttons, c.click), c.answer);
}

TEST(QtOperatorMessage, LinesBreakAndTheProgramTitleIsTheDefault) {
    OperatorFixture f;
    QMessageBox::StandardButtons offered;
    QString text, title;
    Qt::TextFormat format = Qt::AutoText;
    clickIn(f.ui, Buttons::YesNoCancel, QMessageBox::Yes, &offered, &text, &title, &format);
    EXPECT_EQ(offered, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(text, "Line <b>one</b>\n\nLine three");
    EXPECT_EQ(format, Qt::PlainText);  // shown as typed, never as markup
    EXPECT_EQ(title, "Tessel KSX-4 Assistant");
}

TEST(QtOperatorStatus, StatusFieldAndListShowWhatOperationsWrite) {
    OperatorFixture f;
    f.ui.setStatus("Opening KSX-4");
    EXPECT_EQ(f.status.text(), "Opening KSX-4");
    EXPECT_EQ(f.ui.status(), "Opening KSX-4");
    f.ui.appendToList({"a", "b"});
    f.ui.appendToList({});
    f.ui.appendToList({"c"});
    EXPECT_EQ(f.list.lines(), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(f.list.rowCount(), 3);
}

// The call runs on another thread and waits for the window thread, which
// can only answer while its event loop runs.
TEST(QtOperatorWait, TheWindowAnswersWhileTheCallRuns) {
    OperatorFixture f;
    f.ui.setStatus("Please wait...");
    std::promise<void> answered;
    std::thread::id callThread;
    bool busyShownDuringCall = false, waitingDuringCall = false;
    QTimer::singleShot(0, [&] {
        busyShownDuringCall = f.parent.findChild<QWidget*>("busyIndicator") != nullptr &&
                              f.parent.findChild<QLabel*>("elapsedTime")->text() == "0:00";
        waitingDuringCall = f.ui.waiting();
        answered.set_value();
    });
    f.ui.waitFor([&] {
        callThread = std::this_thread::get_id();
        answered.get_future().wait();
    });
    EXPECT_NE(callThread, std::this_thread::get_id());
    EXPECT_TRUE(busyShownDuringCall);
    EXPECT_TRUE(waitingDuringCall);
    EXPECT_FALSE(f.ui.waiting());
    EXPECT_EQ(f.parent.findChild<QWidget*>("busyIndicator"), nullptr);
    EXPECT_EQ(f.ui.status(), "Please wait...");
}

TEST(QtOperatorWait, FailuresAndExitRequestsComeBackAfterTheCall) {
    OperatorFixture f;
    EXPECT_THROW(f.ui.waitFor([] { throw std::runtime_error("unplugged"); }), std::runtime_error);
    EXPECT_FALSE(f.ui.waiting());

    bool returned = false;
    QTimer::singleShot(0, [&] { f.ui.requestEnd(); });
    std::promise<void> endRequested;
    QTimer::singleShot(0, [&] { endRequested.set_value(); });
    EXPECT_THROW(f.ui.waitFor([&] {
        endRequested.get_future().wait();
        returned = true;
    }),
                 EndProgram);
    EXPECT_TRUE(returned) << "the call ran to its end first";
}

// The call's thread has ended completely, its exit clean-up included, when
// the wait returns: nothing of it is left for a program that ends next.
TEST(QtOperatorWait, TheCallsThreadHasEndedWhenTheWaitReturns) {
    struct ExitCleanUp {
        std::atomic<bool>* done;
        ~ExitCleanUp() { *done = true; }
    };
    static std::atomic<bool> cleanedUp{false};
    OperatorFixture f;
    f.ui.waitFor([] {
        const QObject onThisThread;  // Qt keeps data for the thread
        thread_local ExitCleanUp marker{&cleanedUp};
    });
    EXPECT_TRUE(cleanedUp);
}

TEST(QtNameFilters, PairsBecomeQtFilters) {
    EXPECT_EQ(qtNameFilters("xls Files (*.xls)|*.xls"), QStringList{"xls Files (*.xls)"});
    EXPECT_EQ(qtNameFilters("Hex Files|*.hex;*.HEX|All Files|*.*"),
              (QStringList{"Hex Files (*.hex *.HEX)", "All Files (*.*)"}));
    EXPECT_EQ(qtNameFilters(""), QStringList{"All Files (*)"});
    EXPECT_EQ(qtNameFilters("dangling"), QStringList{"All Files (*)"});
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
