// Saving: the replace question, refusals, and that a failed save loses
// nothing and leaves nothing behind.
#include "platform/xls/spreadsheet.h"
#include "scripted_operator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ksx4::xls {
namespace {

class SaveTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    std::unique_ptr<Application> app = Application::create(ui);
    Workbook& book = app->addWorkbook();

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    int saveError(const QString& file) {
        try {
            book.saveAs(file);
        } catch (const SpreadsheetError& e) {
            return e.number;
        }
        return 0;
    }
};

TEST_F(SaveTest, WritesACompoundFileWithoutAsking) {
    book.worksheet(1).range("A1").setValue("Report");
    ASSERT_EQ(saveError(path("Tank farm 2005-03-15 14-07.xls")), 0);
    EXPECT_TRUE(ui.messages.empty());
    const QByteArray bytes = contents(path("Tank farm 2005-03-15 14-07.xls"));
    EXPECT_TRUE(bytes.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")));
    EXPECT_EQ(bytes.size() % 512, 0);
    EXPECT_EQ(entries(), QStringList{"Tank farm 2005-03-15 14-07.xls"});
}

TEST_F(SaveTest, AnExistingFileIsReplacedOnlyAfterYes) {
    const QString target = path("Tank.xls");
    writeFile(target, "old contents");

    ui.answers = {Answer::No};
    EXPECT_EQ(saveError(target), kErrRequestRefused);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(
        ui.messages[0].text,
        "A file named 'Tank.xls' already exists in this location. Do you want to replace it?");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(contents(target), "old contents");

    ui.answers = {Answer::Yes};
    EXPECT_EQ(saveError(target), 0);
    EXPECT_TRUE(contents(target).startsWith(QByteArray::fromHex("D0CF11E0")));
    EXPECT_EQ(entries(), QStringList{"Tank.xls"});
}

TEST_F(SaveTest, AFailedWriteRaises1004AndLeavesTheOldFileAndNoTemporaryFile) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.xls"));
    ui.answers = {Answer::Yes};
    EXPECT_EQ(saveError(path("folder.xls")), kErrRequestRefused);  // a folder cannot be replaced
    EXPECT_EQ(saveError(path("missing/Tank.xls")), kErrRequestRefused);
    EXPECT_EQ(saveError(""), kErrRequestRefused);

    const QString target = path("Tank.xls");
    writeFile(target, "old contents");
    book.worksheet(1).pageSetup().printArea = "not an address";
    ui.answers = {Answer::Yes};
    EXPECT_EQ(saveError(target), kErrRequestRefused);
    EXPECT_EQ(contents(target), "old contents");
    EXPECT_EQ(entries(), (QStringList{"Tank.xls", "folder.xls"}));
}

TEST_F(SaveTest, InjectedFailureOnSaveWritesNothingAndCloseNeverAsks) {
    app->injectFailure(1, 1004, "Method 'SaveAs' of object '_Workbook' failed");
    EXPECT_EQ(saveError(path("Tank.xls")), kErrRequestRefused);
    EXPECT_TRUE(entries().isEmpty());
    book.close(false);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(saveError(path("Tank.xls")), 424);
}

}  // namespace
}  // namespace ksx4::xls
