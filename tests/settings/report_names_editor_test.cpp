// The report names editor: the checks of a name in their order, and against a
// simulated tester the blank-filled code page 1252 names, the rewrite from
// location 1 after a failed write and the end at the 81st failure.
#include "settings/report_names_editor.h"
#include "core/end_program.h"
#include "settings_fixture.h"

namespace ksx4::test {
namespace {

const QString kRetrying = "Data transmission error, retrying...";

QString forbidden(int location) {
    return QString("Location %1 name cannot contain \\/:*?\"<>").arg(location) + QChar(0x00A6) +
           ".\r\nChange this name before saving to the KSX-4.";
}
QString notEntered(int location) {
    return QString("Location %1 name not entered.\r\nEnter this name before saving to the KSX-4.")
        .arg(location);
}
QString tooLong(int location) {
    return QString(
               "Location %1 name should be 15 characters or less.\r\n"
               "Change this name before saving to the KSX-4.")
        .arg(location);
}
QString notStorable(int location) {
    return QString(
               "Location %1 name contains characters the KSX-4 cannot store.\r\n"
               "Change this name before saving to the KSX-4.")
        .arg(location);
}

TEST(ReportNameProblem, ChecksInTheirOrder) {
    const std::pair<QString, QString> cases[] = {
        {"Pump A", {}},
        {"Zürich", {}},
        {"Café €", {}},
        {"  Fifteen chars!", {}},  // 15 once the leading blanks are gone
        {"a/b", forbidden(3)},
        {"  ", notEntered(3)},
        {"", notEntered(3)},
        {"Sixteen chars!!!", tooLong(3)},
        {"東京", notStorable(3)},
        {"Pump \U0001F600", notStorable(3)},
        // The forbidden characters are looked for in the text as typed,
        // before anything else.
        {"  |  ", forbidden(3)},
        {"東京/", forbidden(3)},
        {"東京東京東京東京東京東京東京東京", tooLong(3)},
    };
    for (const auto& [name, problem] : cases) {
        const auto found = reportNameProblem(3, name);
        EXPECT_EQ(found.value_or(QString()), problem) << name.toStdString();
    }
    for (QChar c : QString("\\/:*?\"<>|")) {
        EXPECT_EQ(reportNameProblem(1, QString("Pump") + c), forbidden(1))
            << QString(c).toStdString();
    }
}

TEST(CheckChars, FindsTheCharacterAnywhere) {
    EXPECT_TRUE(checkChars('/', "/ab"));
    EXPECT_TRUE(checkChars('/', "ab/"));
    EXPECT_FALSE(checkChars('/', "ab"));
    EXPECT_FALSE(checkChars('/', ""));
}

class ReportNamesEditorTest : public SettingsTest {
  protected:
    // The stored 15 bytes of a location.
    QByteArray storedName(int location) const {
        const auto image = eeprom();
        const auto* first = reinterpret_cast<const char*>(image.data()) + 116 + 15 * (location - 1);
        return QByteArray(first, 15);
    }
    std::vector<uint32_t> writtenAddresses() const {
        std::vector<uint32_t> addresses;
        for (const RecordedWrite& w : recorder.writes) addresses.push_back(w.address);
        return addresses;
    }

    FakeNamesForm form;
};

TEST_F(ReportNamesEditorTest, OpeningShowsTheNamesAsStoredWithTheirBlanks) {
    mnuReportNames_Click(state, form);
    EXPECT_TRUE(form.shown);
    EXPECT_EQ(form.text(1), "Report 1       ");
    EXPECT_EQ(form.text(8), "Report 8       ");
    EXPECT_EQ(ui.statusHistory, (std::vector<QString>{"Opening KSX-4", "Edit report names"}));
}

TEST_F(ReportNamesEditorTest, OnlyTheFirstRefusedLocationIsShownAndNothingIsWritten) {
    mnuReportNames_Click(state, form);
    form.setText(3, "Tank/3");
    form.setText(5, "   ");

    EXPECT_EQ(saveNamesToTester(state, form), Outcome::Refused);
    form.setText(3, "Tank 3");
    EXPECT_EQ(saveNamesToTester(state, form), Outcome::Refused);

    EXPECT_EQ(ui.messageTexts(), (QStringList{forbidden(3), notEntered(5)}));
    EXPECT_EQ(ui.messages[0].title, "Display/Edit Report Names");
    EXPECT_EQ(ui.messages[0].icon, Icon::None);
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_TRUE(form.shown);
}

TEST_F(ReportNamesEditorTest, NamesAreStoredTrimmedBlankFilledInCodePage1252) {
    mnuReportNames_Click(state, form);
    const QString fifteen = "Fifteen chars!!";
    form.setText(1, "  " + fifteen);
    form.setText(2, "Café €");
    form.setText(3, " Zürich ");

    ASSERT_EQ(saveNamesToTester(state, form), Outcome::Done);

    EXPECT_EQ(storedName(1), fifteen.toLatin1());
    EXPECT_EQ(storedName(2), QByteArray("Caf\xE9 \x80         ", 15));
    EXPECT_EQ(storedName(3), QByteArray("Z\xFCrich         ", 15));
    EXPECT_EQ(storedName(4), "Report 4       ");  // read and saved unchanged
    EXPECT_EQ(ui.status(), "Report names written to KSX-4.  Ready...");
    EXPECT_FALSE(form.shown);
}

TEST_F(ReportNamesEditorTest, ANameTheCodePageLacksIsRefusedAfterTheChecksOfItsLocation) {
    mnuReportNames_Click(state, form);
    form.setText(2, "東京");
    form.setText(4, "a/b");

    EXPECT_EQ(saveNamesToTester(state, form), Outcome::Refused);

    EXPECT_EQ(ui.messageTexts(), QStringList{notStorable(2)});
    EXPECT_TRUE(recorder.writes.empty());
}

TEST_F(ReportNamesEditorTest, DefaultsThenSaveStoreReportNAtTheirAddressesAndNothingElse) {
    auto image = sim::blankTester(false, 1001);
    for (int n = 1; n <= 8; ++n) sim::setEepromText(image, 116 + 15 * (n - 1), 15, "Old");
    putTester(image);

    showDefaultNames(state, form);
    EXPECT_TRUE(recorder.writes.empty());
    ASSERT_EQ(saveNamesToTester(state, form), Outcome::Done);

    EXPECT_EQ(writtenAddresses(), (std::vector<uint32_t>{116, 131, 146, 161, 176, 191, 206, 221}));
    auto expected = image.eeprom;
    for (int n = 1; n <= 8; ++n) {
        const std::string name = "Report " + std::to_string(n) + "       ";
        std::copy(name.begin(), name.end(), expected.begin() + 116 + 15 * (n - 1));
    }
    EXPECT_EQ(eeprom(), expected);
}

TEST_F(ReportNamesEditorTest, AFailedWriteAtLocation6RewritesFromLocation1) {
    showDefaultNames(state, form);
    // Every write takes two exchanges (write, read-back): location 6's write
    // is exchange 11.
    setFaults("11 write-timeout\n");

    ASSERT_EQ(saveNamesToTester(state, form), Outcome::Done);

    EXPECT_EQ(writtenAddresses(), (std::vector<uint32_t>{116, 131, 146, 161, 176, 191, 116, 131,
                                                         146, 161, 176, 191, 206, 221}));
    EXPECT_NE(recorder.writes[5].result, 0);
    EXPECT_EQ(ui.statusHistory, (std::vector<QString>{"Opening KSX-4", kRetrying,
                                                      "Report names written to KSX-4.  Ready..."}));
    EXPECT_EQ(storedName(6), "Report 6       ");
}

struct FailureCase {
    const char* name;
    int failures;
    bool ends;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class NameWriteFailureTest : public ReportNamesEditorTest,
                             public ::testing::WithParamInterface<FailureCase> {};

// Every pass writes location 1 (two exchanges) and fails at location 2 (one
// exchange), so the counter runs over locations and passes.
TEST_P(NameWriteFailureTest, The81stFailedWriteEndsTheProgram) {
    const FailureCase& c = GetParam();
    auto image = sim::blankTester(false, 1001);
    sim::setEepromText(image, 131, 15, "Old 2");
    putTester(image);
    showDefaultNames(state, form);
    std::string rules;
    for (int pass = 1; pass <= c.failures; ++pass) {
        rules += std::to_string(3 * pass) + " write-timeout\n";
    }
    setFaults(rules);

    if (c.ends) {
        EXPECT_THROW(saveNamesToTester(state, form), EndProgram);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text,
                  "Unable to write report name for location 2 to KSX-4.\r\n"
                  "TessCommWriteEEMemory Return Value: 9\r\n\r\n");
        EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
        EXPECT_EQ(storedName(2), QByteArray("Old 2          "));
    } else {
        EXPECT_EQ(saveNamesToTester(state, form), Outcome::Done);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(storedName(2), "Report 2       ");
    }
    EXPECT_EQ(storedName(1), "Report 1       ");  // written before the failure, stays
    const auto history = ui.statusHistory;
    EXPECT_EQ(std::count(history.begin(), history.end(), kRetrying), c.failures);
    EXPECT_EQ(std::count(history.begin(), history.end(), QString("Opening KSX-4")), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, NameWriteFailureTest,
                         ::testing::Values(FailureCase{"EightyFailuresAreSurvived", 80, false},
                                           FailureCase{"TheEightyFirstEnds", 81, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A name typed while Save waits for the tester has not been checked and is
// not written.
TEST_F(ReportNamesEditorTest, SaveWritesTheNamesItChecked) {
    showDefaultNames(state, form);
    ui.onEvents = [this] { form.setText(1, "a/b"); };

    ASSERT_EQ(saveNamesToTester(state, form), Outcome::Done);

    EXPECT_GT(ui.eventRounds, 0);
    EXPECT_EQ(storedName(1), "Report 1       ");
}

TEST_F(ReportNamesEditorTest, CancelWritesNothing) {
    mnuReportNames_Click(state, form);
    form.setText(1, "Changed");

    cancelNamesEditor(state, form);

    EXPECT_FALSE(form.shown);
    EXPECT_EQ(ui.status(), "Ready");
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_EQ(eeprom(), initial.eeprom);
}

}  // namespace
}  // namespace ksx4::test
