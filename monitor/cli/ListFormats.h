// SPDX-License-Identifier: MIT
// The list and the generated code as vxl prints them: text is the window's
// saved list and code files, CSV the list and code views, JSON the records
// and statements. A list may hold a million records: each is written as it
// is formatted, never gathered into a whole document first.
#pragma once

#include "Options.h"

#include <files/ByteWriter.h>
#include <files/SavedFiles.h>
#include <list/RecordTable.h>
#include <synthesis/CodeSynthesis.h>

#include <QList>

#include <optional>

namespace vexal::cli {

// The rows whose index is at least `sinceIndex`, in the table's order.
QList<qsizetype> rowsSince(const monitor::RecordTable &table, long long sinceIndex);

// `rows` of the table; `origin` is the application's VexalShowList call
// that asked for the list, if any.
void writeList(monitor::ByteWriter &out, Format format, const std::optional<monitor::CallSite> &origin,
               const monitor::RecordTable &table, const QList<qsizetype> &rows, bool fullPath);

// `code` as generated from the table with `synthesis`.
void writeCode(monitor::ByteWriter &out, Format format, const monitor::GeneratedCode &code,
               const monitor::SynthesisOptions &synthesis, const monitor::RecordTable &table);

} // namespace vexal::cli
