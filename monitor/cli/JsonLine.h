// SPDX-License-Identifier: MIT
// vxl's JSON: one compact document per line, whatever the command, so that
// a stream of samples or reports reads the same as a single one.
#pragma once

#include <files/ByteWriter.h>
#include <files/SavedFiles.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace vexal::cli {

inline QByteArray jsonLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// File names are bytes as the application passed them; JSON holds text, so
// they are read as UTF-8 (a byte that is not becomes U+FFFD).
inline QString jsonFileName(const QByteArray &file) { return QString::fromUtf8(file); }

inline QJsonObject originJson(const monitor::CallSite &origin)
{
    return {{QStringLiteral("file"), jsonFileName(origin.file)}, {QStringLiteral("line"), origin.line}};
}

// The JSON string, quotes included, that a document holding
// jsonFileName(bytes) has: for output too large to build as a document.
void appendJsonString(monitor::ByteWriter &out, QByteArrayView bytes);
QByteArray jsonString(QByteArrayView bytes);

} // namespace vexal::cli
