#include "engineering/gpib_instrument.h"

#include "core/end_program.h"
#include "engineering/gpib_failure_text.h"
#include "platform/ansi_text.h"

#include <exception>

namespace ksx4 {
namespace {

constexpr uint32_t kRegistrationFailedCount = 0xDEAD37F0;

}  // namespace

bool GpibInstrument::registerGpibGlobals() {
    const int result = gpib_.registerGlobals();
    if (result == 0) {
        globalsRegistered_ = true;
        return true;
    }
    if (result == 1) {
        gpib_.unregisterGlobals();
        gpib_.registerGlobals();
        globalsRegistered_ = true;
        return true;
    }
    if (result == 2 || result == 3) gpib_.unregisterGlobals();
    ibsta_ = gpib::kErr;
    iberr_ = gpib::kEdvr;
    ibcnt_ = static_cast<uint16_t>(kRegistrationFailedCount & 0xFFFF);
    return false;
}

bool GpibInstrument::readyForCall() {
    return globalsRegistered_ || registerGpibGlobals();
}

void GpibInstrument::copyStatus() {
    ibsta_ = static_cast<uint16_t>(gpib_.ibsta());
    iberr_ = static_cast<uint16_t>(gpib_.iberr());
    ibcnt_ = static_cast<uint16_t>(gpib_.ibcnt());
}

bool GpibInstrument::openInstrument() {
    try {
        if (readyForCall()) {
            instrumentHandle_ = gpib_.ibdev(kBoard, kPrimaryAddress, gpib::kNoSecondaryAddress,
                                            gpib::kTimeout10s, gpib::kEotAssertEoi, gpib::kNoEos);
            copyStatus();
        }
        if (failed()) gpibFailure(QStringLiteral("Error opening device."));

        if (readyForCall()) {
            gpib_.ibclr(instrumentHandle_);
            copyStatus();
        }
        if (failed()) gpibFailure(QStringLiteral("Error clearing device."));

        writeInstrument(QStringLiteral("*RST"));
        writeInstrument(QStringLiteral("*CLS"));
        return true;
    } catch (const std::exception& error) {
        ui_.message(QStringLiteral("Command Error: ") + QString::fromUtf8(error.what()));
        return false;
    }
}

void GpibInstrument::writeInstrument(const QString& text) {
    const QByteArray bytes = textToAnsi(text);
    if (readyForCall()) {
        gpib_.ibwrt(instrumentHandle_, bytes.constData(), static_cast<long>(bytes.size()));
        copyStatus();
    }
    if (failed()) gpibFailure(QStringLiteral("Error writing to device."));
}

void GpibInstrument::gpibFailure(const QString& message) {
    ui_.message(gpibFailureText(message, ibsta_, iberr_, ibcnt_), Buttons::Ok, Icon::Exclamation,
                QStringLiteral("Error"));
    if (readyForCall()) gpib_.ibonl(instrumentHandle_, 0);
    throw EndProgram{};
}

}  // namespace ksx4
