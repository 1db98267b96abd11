// SPDX-License-Identifier: MIT
// The list and the generated code as vxl prints them: text is the window's
// saved list and code files, CSV the list and code views, JSON the records
// and statements.
#pragma once

#include "Options.h"

#include <files/SavedFiles.h>
#include <list/RecordTable.h>
#include <synthesis/CodeSynthesis.h>

#include <QByteArray>
#include <QList>

#include <optional>

namespace vexal::cli {

// The rows whose index is at least `sinceIndex`, in the table's order.
QList<qsizetype> rowsSince(const monitor::RecordTable &table, long long sinceIndex);

// `rows` of the table; `origin` is the application's VexalShowList call
// that asked for the list, if any.
QByteArray listOutput(Format format, const std::optional<monitor::CallSite> &origin, const monitor::RecordTable &table,
                      const QList<qsizetype> &rows, bool fullPath);

// `code` as generated from the table with `synthesis`.
QByteArray codeOutput(Format format, const monitor::GeneratedCode &code, const monitor::SynthesisOptions &synthesis,
                      const monitor::RecordTable &table);

} // namespace vexal::cli
