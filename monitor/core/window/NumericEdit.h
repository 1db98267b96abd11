// SPDX-License-Identifier: MIT
// The check that the address, port and filter edits run on every change of
// their text: only a whole number from 0 to the edit's maximum is taken;
// anything else puts the last accepted text back.
#pragma once

#include <QString>

namespace vexal::monitor {

// Maximum values of the checked edits.
constexpr qint64 kAddressPartMaximum = 255;
constexpr qint64 kPortMaximum = 999999;
constexpr qint64 kFilterMaximum = 2147483647;

// Whether `text` is a whole number from 0 to `maximum`: decimal digits only
// (no sign, no blanks) that fit a signed 32-bit value.
bool isAcceptableNumber(const QString &text, qint64 maximum);

class NumericEdit {
public:
    NumericEdit(QString initial, qint64 maximum) : lastValid_(std::move(initial)), maximum_(maximum) {}

    // The text the edit is to show after its text became `text`: `text`
    // itself when acceptable (it is then the last valid text), otherwise the
    // last valid text, with the caret after its last character.
    const QString &change(const QString &text);

    const QString &lastValid() const { return lastValid_; }
    // Texts from the settings store are taken unchecked.
    void setLastValid(QString text) { lastValid_ = std::move(text); }
    qint64 maximum() const { return maximum_; }

private:
    QString lastValid_;
    qint64 maximum_;
};

} // namespace vexal::monitor
