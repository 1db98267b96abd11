// SPDX-License-Identifier: MIT
// CSV as RFC 4180 writes it: fields separated by commas, records ended by
// CR LF, and a field holding a comma, a double quote, CR or LF enclosed in
// double quotes with each double quote doubled.
#pragma once

#include <files/ByteWriter.h>

#include <QByteArray>
#include <QByteArrayView>

#include <initializer_list>

namespace vexal::cli {

inline constexpr QByteArrayView kCsvLineEnding = "\r\n";

QByteArray csvField(QByteArrayView text);
void appendCsvField(monitor::ByteWriter &out, QByteArrayView text);

// One record, its line ending included.
QByteArray csvRecord(std::initializer_list<QByteArrayView> fields);

// Builds a record field by field.
class CsvRecord {
public:
    CsvRecord &operator<<(QByteArrayView field);
    // The record with its line ending.
    QByteArray line() const { return line_ + kCsvLineEnding.toByteArray(); }

private:
    QByteArray line_;
    bool first_ = true;
};

} // namespace vexal::cli
