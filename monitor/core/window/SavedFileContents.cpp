// SPDX-License-Identifier: MIT
#include "SavedFileContents.h"

#include "files/SavedFiles.h"
#include "list/RowSelection.h"

namespace vexal::monitor {

namespace {

// What the data-origin line field reads.
QString dataLineField(const Origin &origin)
{
    return origin.kind == OriginKind::Application ? QString::number(origin.line) : QStringLiteral("N/A");
}

} // namespace

void SavedFileContents::summary(ByteWriter &out)
{
    state_.connection.locked([&](ReceivedState &state) {
        out.append(summaryFileBytes(summaryOrigin(dataLineField(state_.origin), state.statusCall, state.listCall),
                                    state_.summary.rows()));
    });
}

void SavedFileContents::list(ByteWriter &out, const RecordTable *table, bool fullPath,
                             const QList<qsizetype> &selectedRows)
{
    state_.connection.locked([&](ReceivedState &state) {
        const std::optional<CallSite> origin = listOrigin(dataLineField(state_.origin), state.listCall);
        const RecordTable none;
        const RecordTable &shown = table != nullptr ? *table : none;
        writeListFile(out, origin, shown, fullPath, rowsToUse(shown.size(), selectedRows));
    });
}

void SavedFileContents::code(ByteWriter &out, const GeneratedCode *code, const QList<qsizetype> &selectedRows,
                             int indentation, bool tabs)
{
    state_.connection.locked([&](ReceivedState &) {
        if (code != nullptr)
            writeCodeFile(out, *code, selectedRows, indentation, tabs, state_.posixApplication ? "\n" : "\r\n");
    });
}

} // namespace vexal::monitor
