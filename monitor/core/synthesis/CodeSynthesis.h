// SPDX-License-Identifier: MIT
// Leak-freeing code: one VexalFreeThese (or VexalFreeAll) statement per
// listed record, filtered by the synthesis panel's choices, without repeats
// and in text order.
#pragma once

#include "list/ListRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
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

// The generated statements, numbered from 1 in the code view. "The exact
// index" makes one statement per record of a list that may hold a million,
// so each is kept as the numbers it differs in and composed when asked for.
class GeneratedCode {
public:
    qsizetype size() const { return freeAll_ ? 1 : qsizetype(statements_.size()); }
    bool isEmpty() const { return size() == 0; }
    // The statement numbered j + 1, composed into `room`: reused from one
    // statement to the next, it spares an allocation per statement.
    QByteArrayView line(qsizetype j, std::string &room) const;
    QByteArray line(qsizetype j) const;

private:
    friend GeneratedCode generateCode(const RecordTable &, const SynthesisOptions &, const QList<qsizetype> &);

    struct Statement {
        int64_t size;
        int64_t index;
        int32_t line;
        uint32_t fileId; // into fileArguments_
    };

    SynthesisOptions options_;
    bool posix_ = true;
    bool freeAll_ = false;
    std::vector<QByteArray> fileArguments_; // by file id: the name as the statement writes it
    std::vector<Statement> statements_;
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
