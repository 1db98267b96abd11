// SPDX-License-Identifier: MIT
#include "SummaryFormats.h"

#include "Csv.h"
#include "JsonLine.h"

#include <QJsonObject>

namespace vexal::cli {

using monitor::CallSite;
using monitor::kFunctionCount;
using monitor::StatusValues;
using monitor::summaryFileBytes;

namespace {

struct Totals {
    long long calls = 0;
    long long bytes = 0;
};

Totals totals(const StatusValues &values)
{
    Totals sum;
    for (int k = 0; k < kFunctionCount; ++k) {
        sum.calls += values.calls[k];
        sum.bytes += values.bytes[k];
    }
    return sum;
}

QJsonObject callsAndBytes(long long calls, long long bytes)
{
    return {{QStringLiteral("calls"), qint64(calls)}, {QStringLiteral("bytes"), qint64(bytes)}};
}

// The functions with calls, the totals and the library's own counters.
QJsonObject summaryJson(const StatusValues &values)
{
    QJsonObject functions;
    for (int k = 0; k < kFunctionCount; ++k) {
        if (values.calls[k] > 0)
            functions.insert(monitor::functionName(k), callsAndBytes(values.calls[k], values.bytes[k]));
    }
    const Totals sum = totals(values);
    return {{QStringLiteral("functions"), functions},
            {QStringLiteral("total"), callsAndBytes(sum.calls, sum.bytes)},
            {QStringLiteral("freeFailed"), qint64(values.freeFailed)},
            {QStringLiteral("notStored"), qint64(values.notStored)},
            {QStringLiteral("internalUse"), qint64(values.internalUse)}};
}

QByteArray number(long long value) { return QByteArray::number(value); }

} // namespace

QByteArray summaryOutput(Format format, const std::optional<CallSite> &origin,
                         const std::vector<monitor::SummaryRow> &rows, const StatusValues &values)
{
    switch (format) {
    case Format::Text:
        return summaryFileBytes(origin, rows);
    case Format::Csv: {
        QByteArray out = csvRecord({"Function", "No of calls", "Allocated (B)"});
        // The table's blank separator row carries nothing.
        for (const monitor::SummaryRow &row : rows) {
            if (!row.caption.isEmpty())
                out += csvRecord({row.caption.toUtf8(), row.calls.toUtf8(), row.bytes.toUtf8()});
        }
        return out;
    }
    case Format::Json:
        break;
    }
    QJsonObject summary = summaryJson(values);
    if (origin)
        summary.insert(QStringLiteral("origin"), originJson(*origin));
    return jsonLine(summary);
}

QByteArray SampleLines::line(double elapsedSeconds, const StatusValues &values)
{
    const Totals sum = totals(values);
    const QByteArray elapsed = QByteArray::number(elapsedSeconds, 'f', 3);
    switch (format_) {
    case Format::Text: {
        QByteArray out = "t=" + elapsed + " calls=" + number(sum.calls) + " bytes=" + number(sum.bytes);
        for (int k = 0; k < kFunctionCount; ++k) {
            if (values.calls[k] > 0)
                out += ' ' + monitor::functionName(k).toLatin1() + '=' + number(values.calls[k]) + '/'
                       + number(values.bytes[k]);
        }
        return out + '\n';
    }
    case Format::Csv: {
        // Every function has its columns, so that each line fits the head.
        QByteArray out;
        if (!std::exchange(headWritten_, true)) {
            CsvRecord head;
            head << "Elapsed (s)" << "Total calls" << "Total bytes";
            for (int k = 0; k < kFunctionCount; ++k) {
                const QByteArray name = monitor::functionName(k).toLatin1();
                head << name + " calls" << name + " bytes";
            }
            out += head.line();
        }
        CsvRecord sample;
        sample << elapsed << number(sum.calls) << number(sum.bytes);
        for (int k = 0; k < kFunctionCount; ++k)
            sample << number(values.calls[k]) << number(values.bytes[k]);
        return out + sample.line();
    }
    case Format::Json:
        break;
    }
    QJsonObject sample = summaryJson(values);
    sample.insert(QStringLiteral("elapsed"), elapsed.toDouble());
    return jsonLine(sample);
}

} // namespace vexal::cli
