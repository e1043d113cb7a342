#include "engineering/gpib_failure_text.h"

#include "core/operator.h"

namespace ksx4 {
namespace {

struct NamedBit {
    uint16_t bit;
    const char* name;
};

// In the order they are listed.
constexpr NamedBit kStatusBits[] = {
    {0x8000, "ERR"},  {0x4000, "TIMO"}, {0x2000, "END"},  {0x1000, "SRQI"}, {0x0800, "RQS"},
    {0x0100, "CMPL"}, {0x0080, "LOK"},  {0x0040, "REM"},  {0x0020, "CIC"},  {0x0010, "ATN"},
    {0x0008, "TACS"}, {0x0004, "LACS"}, {0x0002, "DTAS"}, {0x0001, "DCAS"},
};

struct ErrorText {
    uint16_t code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, "iberr = EDVR <DOS Error>"},         {1, "iberr = ECIC <Not CIC>"},
    {2, "iberr = ENOL <No Listener>"},       {3, "iberr = EADR <Address Error>"},
    {4, "iberr = EARG <Invalid argument>"},  {5, "iberr = ESAC <Not Sys Ctrlr>"},
    {6, "iberr = EABO <Op. aborted>"},       {7, "iberr = ENEB <No GPIB board>"},
    {10, "iberr = EOIP <Async I/O in prg>"}, {11, "iberr = ECAP <No capability>"},
    {12, "iberr = EFSO <File sys. error>"},  {14, "iberr = EBUS <Command error>"},
    {15, "iberr = ESTB <Status byte lost>"}, {16, "iberr = ESRQ <SRQ stuck high>"},
    {20, "iberr = ETAB <Table overflow>"},
};

QString upperHex(uint16_t value) {
    return QString::number(value, 16).toUpper();
}

QString statusBitNames(uint16_t ibsta) {
    QString names;
    for (const NamedBit& named : kStatusBits)
        if (ibsta & named.bit) names += QLatin1Char(' ') + QLatin1String(named.name);
    return names;
}

// Codes without a text add nothing.
QString errorText(uint16_t iberr) {
    for (const ErrorText& known : kErrorTexts)
        if (known.code == iberr) return QLatin1String(known.text);
    return {};
}

}  // namespace

QString gpibFailureText(const QString& message, uint16_t ibsta, uint16_t iberr, uint16_t ibcnt) {
    return message + kCrLf + QStringLiteral("ibsta = &H") + upperHex(ibsta) + QStringLiteral(" <") +
           statusBitNames(ibsta) + QStringLiteral(">") + kCrLf + errorText(iberr) + kCrLf +
           QStringLiteral("ibcnt = 0x") + upperHex(ibcnt) + QStringLiteral("\r\r") +
           QStringLiteral("I'm quitting!");
}

}  // namespace ksx4
