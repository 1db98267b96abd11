// SPDX-License-Identifier: MIT
// The contents of the saved summary, list and code files, and the rules of
// saving that need no dialog: the added extension, the read-only check,
// writing the bytes and the texts that report it.
//
// Inputs are plain data, so that the desktop window and the command-line
// monitor write the same bytes.
#pragma once

#include "ByteWriter.h"

#include "connection/ReceivedState.h"
#include "list/RecordTable.h"
#include "summary/SummaryState.h"
#include "synthesis/CodeSynthesis.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

namespace vexal::monitor {

// The origin a saved summary names, if any: none while the data-origin
// line field reads "N/A"; otherwise the ShowStatus call site, or the
// ShowList one when no ShowStatus call was remembered.
std::optional<CallSite> summaryOrigin(QStringView dataLineField, const CallSite &showStatus,
                                      const CallSite &showList);
// The origin a saved list names: the ShowList call site unless "N/A".
std::optional<CallSite> listOrigin(QStringView dataLineField, const CallSite &showList);

// The rows of the summary table as it shows them; every row but the last
// (the library's own bookkeeping) is written.
QByteArray summaryFileBytes(const std::optional<CallSite> &origin, const std::vector<SummaryRow> &rows);

// The list file of `rows` of the table, in that order, as shown with full
// or short file names.
void writeListFile(ByteWriter &out, const std::optional<CallSite> &origin, const RecordTable &table,
                   bool fullPath, const QList<qsizetype> &rows);

// The selected generated lines, or all when none is selected, each after
// `indentation` spaces or tabs and followed by `lineEnding`.
void writeCodeFile(ByteWriter &out, const GeneratedCode &code, const QList<qsizetype> &selectedRows,
                   int indentation, bool tabs, QByteArrayView lineEnding);

enum class SavedFileKind { Summary, List, Code };

// The chosen name, with "." and the kind's extension ("txt" or "c") added
// when it holds no "." anywhere, its directories included.
QString withDefaultExtension(const QString &chosenName, SavedFileKind kind);
// An existing file that must not be written: read-only by its attributes,
// even for a user (root) whom the system would let write it.
bool isLockedForWriting(const QString &name);
// Creates or truncates the file and writes what `write` writes, a buffer at
// a time; false if any of it failed (`write` is not called when the file
// cannot be opened).
using FileContents = std::function<void(ByteWriter &out)>;
bool writeFile(const QString &name, const FileContents &write);

inline constexpr const char *FileErrorCaption = "File Error";
QString lockedForWritingMessage(const QString &name);
QString cannotOpenForWritingMessage(const QString &name);
QString writingFileText(SavedFileKind kind);
QString fileWrittenText(SavedFileKind kind, const QString &name);

} // namespace vexal::monitor
