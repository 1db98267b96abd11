// SPDX-License-Identifier: MIT
// The bytes of the three saved files from what the window shows and where
// it came from, read under the communication lock.
#pragma once

#include "MonitorState.h"
#include "list/RecordTable.h"
#include "synthesis/CodeSynthesis.h"

#include <QByteArray>
#include <QList>

namespace vexal::monitor {

class SavedFileContents {
public:
    explicit SavedFileContents(MonitorState &state) : state_(state) {}

    QByteArray summary();
    // The list view's table (none: an empty list) and its selected rows.
    QByteArray list(const RecordTable *table, bool fullPath, const QList<qsizetype> &selectedRows);
    // The code view's code (none: nothing) and its selected rows; the line
    // ending is the application's platform's, as the last list told it.
    QByteArray code(const GeneratedCode *code, const QList<qsizetype> &selectedRows, int indentation, bool tabs);

private:
    MonitorState &state_;
};

} // namespace vexal::monitor
