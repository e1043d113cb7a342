#include "report/report_record.h"

#include "core/program_state.h"
#include "core/version.h"
#include "report/flash_fields.h"
#include "report/record_layout.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace ksx4 {
namespace {

QString fileSha256(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) return {};
    return QString::fromLatin1(hash.result().toHex());
}

}  // namespace

QString overallVerdict(const std::vector<archive::JudgedValue>& values) {
    QString verdict = QStringLiteral("OK");
    for (const archive::JudgedValue& value : values) {
        if (value.judgement == QLatin1String("BAD")) return value.judgement;
        if (value.judgement == QLatin1String("WARN")) verdict = value.judgement;
    }
    return verdict;
}

int testerSerialNumber(const ProgramState& state) {
    const int word = state.testerSerialWord;
    return state.testerType == kKsx4Pa && word >= static_cast<int>(eeprom::kPaSerialBase)
               ? word - static_cast<int>(eeprom::kPaSerialBase)
               : word;
}

archive::ArchivedReport archivedReport(ProgramState& state, int slot,
                                       std::vector<archive::JudgedValue> judged,
                                       const QString& workbookPath, const QDateTime& transferTime,
                                       const QLocale& locale) {
    const int base = flash::slotBase(slot);
    archive::ArchivedReport report;
    archive::ReportSummary& s = report.summary;
    s.testerSerial = testerSerialNumber(state);
    s.testerKind = state.testerType == kKsx4Pa ? 1 : 0;
    s.slot = slot;
    s.location = storedLocationName(state, base);
    s.reportName = trimBlanks(readEepromField(state, eeprom::reportName(slot)));
    const record::Layout& layout =
        state.testerType == kKsx4Pa ? record::kProfibusPa : record::kFieldbus;
    if (layout.savedTime != record::kNone) {
        if (const auto saved = flashTimeStamp(state, base + layout.savedTime))
            s.saved = saved->toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    }
    s.transferredMs = transferTime.toMSecsSinceEpoch();
    s.utcOffsetSeconds = transferTime.offsetFromUtc();
    s.devices = countDeviceEntries(state, slot);
    s.verdict = overallVerdict(judged);
    s.workbookPath = QFileInfo(workbookPath).absoluteFilePath();
    s.workbookSha256 = fileSha256(workbookPath);

    report.slotBytes =
        QByteArray(reinterpret_cast<const char*>(state.flashImage.data()) + base, flash::kSlotSize);
    report.eepromBytes =
        QByteArray(reinterpret_cast<const char*>(state.eepromImage.data()), eeprom::kSize);
    // One read fills the image up to 254; the serial number's low byte
    // (255) comes from the kind's own read.
    report.eepromBytes[eeprom::kSize - 1] = static_cast<char>(state.testerSerialWord & 0xff);
    report.firmwareMarker = state.firmwareMarker;
    report.localeName = locale.name();
    report.programVersion = programVersionText();
    report.values = std::move(judged);
    return report;
}

}  // namespace ksx4
