#pragma once
// The OK/BAD limits editor frmLimits as its handlers see it: the nine
// editable boxes, the number format their texts are read in, and the
// window's visibility. The window, the console and the tests implement it.
#include <QLocale>
#include <QString>

namespace ksx4 {

// The editable boxes, top to bottom (the two fixed rows between Text8 and
// Text11 are the window's alone).
enum class LimitBox {
    Voltage,            // Text1, volts
    Signal,             // Text2
    AvgFieldbusNoise,   // Text3
    PeakFieldbusNoise,  // Text4
    AvgLowNoise,        // Text5
    PeakLowNoise,       // Text6
    AvgHighNoise,       // Text7
    PeakHighNoise,      // Text8
    Retransmits,        // Text11
};

class LimitsForm {
  public:
    virtual ~LimitsForm() = default;
    virtual QString text(LimitBox box) const = 0;
    virtual void setText(LimitBox box, const QString& text) = 0;
    // The PC's number format: "12,5" is a number where the decimal sign is
    // a comma.
    virtual QLocale numberFormat() const = 0;
    // Decimal places of the voltage box. The window shows one; a form that
    // writes back limits nobody changed needs three, the whole millivolt.
    virtual int voltDecimals() const { return 1; }
    // Shows the editor without blocking the main window.
    virtual void show() = 0;
    virtual void hide() = 0;
};

}  // namespace ksx4
