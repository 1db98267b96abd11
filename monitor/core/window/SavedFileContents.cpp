// SPDX-License-Identifier: MIT
#include "SavedFileContents.h"

#include "files/SavedFiles.h"

namespace vexal::monitor {

namespace {

// What the data-origin line field reads.
QString dataLineField(const Origin &origin)
{
    return origin.kind == OriginKind::Application ? QString::number(origin.line) : QStringLiteral("N/A");
}

} // namespace

QByteArray SavedFileContents::summary()
{
    return state_.connection.locked([this](ReceivedState &state) {
        return summaryFileBytes(summaryOrigin(dataLineField(state_.origin), state.statusCall, state.listCall),
                                state_.summary.rows());
    });
}

QByteArray SavedFileContents::list(const RecordTable *table, bool fullPath, const QList<qsizetype> &selectedRows)
{
    return state_.connection.locked([&](ReceivedState &state) {
        const std::optional<CallSite> origin = listOrigin(dataLineField(state_.origin), state.listCall);
        if (table == nullptr)
            return listFileBytes(origin, 0, [](qsizetype, ListColumn) { return QByteArray(); });
        return listFileBytes(origin, *table, fullPath, selectedRows);
    });
}

QByteArray SavedFileContents::code(const GeneratedCode *code, const QList<qsizetype> &selectedRows, int indentation,
                                   bool tabs)
{
    return state_.connection.locked([&](ReceivedState &) {
        if (code == nullptr)
            return QByteArray();
        return codeFileBytes(*code, selectedRows, indentation, tabs, state_.posixApplication ? "\n" : "\r\n");
    });
}

} // namespace vexal::monitor
