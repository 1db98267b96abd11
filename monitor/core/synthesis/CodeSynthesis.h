// SPDX-License-Identifier: MIT
// Leak-freeing code: one VexalFreeThese (or VexalFreeAll) statement per
// listed record, filtered by the synthesis panel's choices, without repeats
// and in text order.
#pragma once

#include "list/ListRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <string>
#include <vector>

namespace vexal::monitor {

class RecordTable;

// The stored numbers of a filter group's radio buttons.
enum class FilterChoice : int { All = 0, Exact = 1, Between = 2 };

struct FilterSetting {
    // Kept as the stored number: a setting may hold a value outside 0..2.
    int choice = int(FilterChoice::All);
    // The Min and Max edits, used by the between choice.
    qint64 min = 0;
    qint64 max = 0;
};

// The synthesis panel's choices, defaults as on a first run.
struct SynthesisOptions {
    bool regardlessOfFile = false; // "Regardless of file name"
    bool callingThread = false;    // "Only the calling thread"
    FilterSetting line{int(FilterChoice::Exact)};
    FilterSetting size{int(FilterChoice::Exact)};
    FilterSetting index{int(FilterChoice::All)};
    int indentation = 2; // characters ahead of each saved line
    bool tabs = false;   // indent with tabs rather than spaces
};

// The generated statements, numbered from 1 in the code view. Held as one
// text, since "The exact index" makes one line per record of a list that
// may hold a million.
class GeneratedCode {
public:
    qsizetype size() const { return qsizetype(ends_.size()); }
    bool isEmpty() const { return ends_.empty(); }
    // The statement numbered j + 1.
    QByteArrayView line(qsizetype j) const;
    void reserve(qsizetype bytes, qsizetype lines);
    void append(QByteArrayView line);

private:
    std::string text_; // appended a million times: std::string's appends are inline
    std::vector<qsizetype> ends_;
};

// The statement for one record whose full file name is `file`.
QByteArray composeCodeLine(const SynthesisOptions &options, QByteArrayView file,
                           const ListRecord &record, bool posixApplication);

// The statements for the given rows of the table (all of them when none is
// selected), sorted ascending ignoring ASCII letter case, a statement equal
// in that way to an earlier row's left out.
GeneratedCode generateCode(const RecordTable &table, const SynthesisOptions &options,
                           const QList<qsizetype> &selectedRows);

} // namespace vexal::monitor
