// SPDX-License-Identifier: MIT
// The table of the last fetched list of live allocations: the records as
// received, their view texts, sorting, the counts shown beside the list and
// the application's platform as told by the first record.
//
// Row i of a view shows record i; every text is computed when asked, so a
// model over a million rows keeps no strings of its own.
#pragma once

#include "ListRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TransferRecord;

namespace vexal::monitor {

enum class ListColumn : int { File, Line, MemType, Memory, ThreadId, Index, Pointer };
inline constexpr int ListColumnCount = 7;

// The three distinct counts shown beside the list; letter case is ignored.
struct RecordCounts {
    qsizetype files = 0;
    qsizetype uniqueLines = 0; // key: the file name directly followed by the line
    qsizetype threads = 0;
};

class RecordTable {
public:
    // Progress is reported every this many records, while receiving and
    // while filling the view.
    static constexpr qsizetype ProgressStep = 100;

    // Starts a new list of `count` empty records: forgets the file names,
    // clears the sort directions and takes the application for a POSIX one
    // until record 0 says otherwise.
    void reset(qsizetype count);
    // Copies the received record into record i. Record 0 decides the
    // application's platform.
    void setRecord(qsizetype i, const TransferRecord &received);

    qsizetype size() const { return qsizetype(records_.size()); }
    bool isEmpty() const { return records_.empty(); }
    const ListRecord &record(qsizetype i) const { return records_[size_t(i)]; }
    // The full file name of record i, the bytes as received.
    const QByteArray &file(qsizetype i) const { return fileName(records_[size_t(i)].fileId); }

    // The pool of distinct file names; ListRecord::fileId indexes it.
    qsizetype fileNameCount() const { return fileNames_.size(); }
    const QByteArray &fileName(uint32_t fileId) const { return fileNames_[fileId]; }

    // The cell of row i as the list shows it and the list file writes it.
    QByteArray cell(qsizetype row, ListColumn column, bool fullPath) const;
    // The same for display.
    QString text(qsizetype row, ListColumn column, bool fullPath) const;

    // Stable sort by the column's key, ascending while its direction flag is
    // clear; then flips that column's flag only.
    void sortBy(ListColumn column);
    bool sortsDescending(ListColumn column) const { return descending_[size_t(column)]; }

    RecordCounts counts() const;

    bool posixApplication() const { return posix_; }
    // The line ending of generated code: LF for a POSIX application, CR LF
    // for a Windows one.
    QByteArrayView codeLineEnding() const { return posix_ ? "\n" : "\r\n"; }

    static QString columnCaption(ListColumn column);
    // The memory function's name by the monitor's own table.
    static QByteArrayView typeName(int32_t type);
    // What follows the last slash or backslash; the whole name if none.
    static QByteArrayView shortFileName(QByteArrayView name);
    // "%p" style: 8 upper-case hex digits for a value that fits 32 bits
    // (a negative one as its 32-bit pattern), 16 otherwise.
    static QByteArray pointerText(int64_t address);
    static constexpr qsizetype PointerTextMax = 16;
    // The same written into `out`, room for PointerTextMax characters.
    static QByteArrayView pointerText(int64_t address, char *out);
    // "Got n records..." / "Loaded n records..." for every ProgressStep-th
    // record n, an empty text for the others.
    static QString receivingProgressText(qsizetype n);
    static QString loadingProgressText(qsizetype n);

private:
    uint32_t internFile(QByteArrayView name);

    std::vector<ListRecord> records_;
    QList<QByteArray> fileNames_;
    // Views into fileNames_' bytes, which stay put while the list grows.
    std::unordered_map<std::string_view, uint32_t> fileIds_;
    std::array<bool, ListColumnCount> descending_{};
    // Windows until a list says otherwise, as the monitor starts up.
    bool posix_ = false;
};

} // namespace vexal::monitor
