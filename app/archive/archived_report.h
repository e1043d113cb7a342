#pragma once
// One report as the archive keeps it: the source bytes the workbook is made
// from, and the decoded facts that searches and trends run over.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace ksx4::archive {

// One judged row of a report: a segment measurement (device empty) or a
// device row's value, as the workbook shows it and as a number.
struct JudgedValue {
    QString measure;               // "voltage", "signal", "ff-avg", ..., "retransmits"
    std::optional<int> device;     // the device's address for device rows
    std::optional<int64_t> value;  // in the tester's unit (mV, a count, a code)
    QString valueText;             // the workbook's B cell
    std::optional<int64_t> limit;
    QString limitText;  // the workbook's C cell
    QString judgement;  // "OK", "WARN", "BAD", or empty when not judged
};

// What list shows of a report.
struct ReportSummary {
    int64_t id = 0;  // given by the archive
    int testerSerial = 0;
    int testerKind = 0;  // 0 KSX-4, 1 KSX-4-PA
    int slot = 0;
    QString location;              // stored with the report, trailing blanks removed
    QString reportName;            // the storage location's name at the transfer
    std::optional<QString> saved;  // "YYYY-MM-DDTHH:MM:SS" as the workbook shows it
    int64_t transferredMs = 0;     // UTC, milliseconds since 1970
    int utcOffsetSeconds = 0;      // the transferring PC's offset then
    int devices = 0;
    QString verdict;  // the worst judgement: "BAD", "WARN" or "OK"
    QString workbookPath;
    QString workbookSha256;  // lower-case hex

    // "KSX-4" or "KSX-4-PA".
    QString testerKindName() const;
    // ISO 8601 with the UTC offset, for example "2026-03-01T09:30:00+01:00".
    QString transferredText() const;
    // The saved time, or where the report holds none the transfer time in
    // the transferring PC's local time: what lists sort and filter by.
    QString reportTime() const;
};

// Everything of one report.
struct ArchivedReport {
    ReportSummary summary;
    QByteArray slotBytes;    // the report's 256 bytes as read from the flash
    QByteArray eepromBytes;  // the tester's 256 EEPROM bytes at the transfer
    int firmwareMarker = 0;
    QString localeName;      // the number and date formats the workbook used
    QString programVersion;  // the program that wrote the workbook
    std::vector<JudgedValue> values;
    // Which copy this is: 1 the first transfer's, counting up with each
    // later transfer that showed the report with another name or other
    // limits; and how many copies the archive keeps of it.
    int copy = 1;
    int copyCount = 1;
};

inline constexpr int kSourceBytes = 256;

}  // namespace ksx4::archive
