// SPDX-License-Identifier: MIT
// The bytes of the three saved files from what the window shows and where
// it came from, read and written under the communication lock.
#pragma once

#include "MonitorState.h"
#include "files/ByteWriter.h"
#include "list/RecordTable.h"
#include "synthesis/CodeSynthesis.h"

#include <QList>

namespace vexal::monitor {

class SavedFileContents {
public:
    explicit SavedFileContents(MonitorState &state) : state_(state) {}

    void summary(ByteWriter &out);
    // The list view's table (none: an empty list) and its selected rows.
    void list(ByteWriter &out, const RecordTable *table, bool fullPath, const QList<qsizetype> &selectedRows);
    // The code view's code (none: nothing) and its selected rows; the line
    // ending is the application's platform's, as the last list told it.
    void code(ByteWriter &out, const GeneratedCode *code, const QList<qsizetype> &selectedRows, int indentation,
              bool tabs);

private:
    MonitorState &state_;
};

} // namespace vexal::monitor
