// SPDX-License-Identifier: MIT
#include "JsonLine.h"

#include <QJsonArray>

#include <algorithm>

namespace vexal::cli {

void appendJsonString(monitor::ByteWriter &out, QByteArrayView bytes)
{
    // Printable ASCII needs only its quotes and backslashes escaped; the
    // rest (control characters, bytes to be read as UTF-8) is rare enough
    // to go through the document writer itself, which then says how.
    const bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (!plain) {
        const QByteArray inArray =
            QJsonDocument(QJsonArray{QString::fromUtf8(bytes)}).toJson(QJsonDocument::Compact);
        out.append(QByteArrayView(inArray).sliced(1, inArray.size() - 2)); // without [ ]
        return;
    }
    out.append('"');
    for (char c : bytes) {
        if (c == '"' || c == '\\')
            out.append('\\');
        out.append(c);
    }
    out.append('"');
}

QByteArray jsonString(QByteArrayView bytes)
{
    return monitor::collectBytes([bytes](monitor::ByteWriter &out) { appendJsonString(out, bytes); });
}

} // namespace vexal::cli
