// SPDX-License-Identifier: MIT
#include "CodeSynthesis.h"

#include "list/RecordTable.h"
#include "list/RowSelection.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <string>
#include <string_view>

namespace vexal::monitor {

namespace {

// Statements are composed in a std::string: its appends are inline, and a
// million statements are composed at a time.
void appendNumber(std::string &out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A group's bounds as written.
struct Bounds {
    qint64 min = 0;
    qint64 max = 0;
};

bool restricts(const FilterSetting &setting)
{
    return setting.choice != int(FilterChoice::All);
}

Bounds boundsOf(const FilterSetting &setting, qint64 recordValue)
{
    switch (FilterChoice(setting.choice)) {
    case FilterChoice::All:
        return {};
    case FilterChoice::Between:
        return {setting.min, setting.max};
    case FilterChoice::Exact:
    default:
        // A group with none of its choices (only a stored setting can cause
        // it) must not widen what the statement frees: freeing a block
        // still in use breaks the application, so take the record's own
        // value, the narrowest bound there is.
        return {recordValue, recordValue};
    }
}

// Nothing restricts the statement: it frees everything.
bool freesAll(const SynthesisOptions &options)
{
    return options.regardlessOfFile && !options.callingThread && !restricts(options.line)
           && !restricts(options.size) && !restricts(options.index);
}

// The file argument: backslashes doubled for a Windows application, so
// that the name reads right inside a C string; nothing when ignored.
QByteArray fileArgument(const SynthesisOptions &options, QByteArrayView file, bool posixApplication)
{
    if (options.regardlessOfFile)
        return {};
    QByteArray argument = file.toByteArray();
    return posixApplication ? argument : argument.replace("\\", "\\\\");
}

// Appends what follows the file argument: its closing quote, the seven
// other arguments and the statement's end.
void appendArguments(std::string &out, const SynthesisOptions &options, const ListRecord &record,
                     bool posixApplication)
{
    auto appendBounds = [&out](Bounds bounds) {
        appendNumber(out, bounds.min);
        out += ", ";
        appendNumber(out, bounds.max);
    };
    out += "\", ";
    appendBounds(boundsOf(options.line, record.line));
    out += ", ";
    appendBounds(boundsOf(options.size, record.size));
    out += ", ";
    if (options.callingThread)
        out += posixApplication ? "pthread_self()" : "GetCurrentThreadId()";
    else
        out += '0';
    out += ", ";
    appendBounds(boundsOf(options.index, record.index));
    out += ");";
}

constexpr std::string_view CallStart = "VexalFreeThese(\"";
// What follows the file argument at the most: six 64-bit numbers, the
// thread expression and the punctuation.
constexpr size_t MostArgumentsBytes = 6 * 20 + 20 + 8 * 2 + 3;

// Letters vary between statements only in the file argument (the rest is
// digits and text the same in every statement), so statements are ordered
// first by their folded file argument and then by the rest as bytes. A
// name's argument followed by its closing quote orders the statements of
// different names, unless a name holds a quote itself: then all are one
// group and the whole folded argument joins the rest.
struct FileArguments {
    std::vector<QByteArray> written; // by file id: the argument as written
    std::vector<QByteArray> folded;  // ... with ASCII letters folded
    std::vector<uint32_t> groupOf;   // by file id: the rank of its folded argument
    size_t groups = 1;
    bool quoteInName = false;
};

FileArguments prepareFileArguments(const RecordTable &table, const QList<qsizetype> &rows,
                                   const SynthesisOptions &options)
{
    FileArguments files;
    const auto count = size_t(table.fileNameCount());
    files.written.resize(count);
    files.folded.resize(count);
    files.groupOf.assign(count, 0);
    std::vector<uint32_t> usedIds;
    for (qsizetype row : rows) {
        const uint32_t id = table.record(row).fileId;
        if (files.written[id].isNull()) {
            files.written[id] = fileArgument(options, table.fileName(id), table.posixApplication());
            files.written[id].detach(); // not null even when empty
            files.folded[id] = files.written[id].toLower(); // ASCII letters only
            usedIds.push_back(id);
        }
    }
    const auto &folded = files.folded;
    files.quoteInName = std::any_of(usedIds.begin(), usedIds.end(),
                                    [&](uint32_t id) { return folded[id].contains('"'); });
    if (files.quoteInName)
        return files;
    std::sort(usedIds.begin(), usedIds.end(), [&](uint32_t a, uint32_t b) { return folded[a] < folded[b]; });
    files.groups = 0;
    for (size_t i = 0; i < usedIds.size(); ++i) {
        const bool sameAsPrevious = i > 0 && folded[usedIds[i]] == folded[usedIds[i - 1]];
        files.groupOf[usedIds[i]] = uint32_t(sameAsPrevious ? files.groups - 1 : files.groups++);
    }
    return files;
}

} // namespace

QByteArrayView GeneratedCode::line(qsizetype j) const
{
    const qsizetype begin = j == 0 ? 0 : ends_[size_t(j - 1)];
    return QByteArrayView(text_.data() + begin, ends_[size_t(j)] - begin);
}

void GeneratedCode::reserve(qsizetype bytes, qsizetype lines)
{
    text_.reserve(size_t(bytes));
    ends_.reserve(size_t(lines));
}

void GeneratedCode::append(QByteArrayView line)
{
    text_.append(line.data(), size_t(line.size()));
    ends_.push_back(qsizetype(text_.size()));
}

QByteArray composeCodeLine(const SynthesisOptions &options, QByteArrayView file,
                           const ListRecord &record, bool posixApplication)
{
    if (freesAll(options))
        return "VexalFreeAll();";
    std::string line(CallStart);
    line += fileArgument(options, file, posixApplication).toStdString();
    appendArguments(line, options, record, posixApplication);
    return QByteArray::fromStdString(line);
}

GeneratedCode generateCode(const RecordTable &table, const SynthesisOptions &options,
                           const QList<qsizetype> &selectedRows)
{
    GeneratedCode code;
    const QList<qsizetype> rows = rowsToUse(table.size(), selectedRows);
    if (rows.isEmpty())
        return code;
    if (freesAll(options)) {
        code.append("VexalFreeAll();");
        return code;
    }

    const bool posix = table.posixApplication();
    const FileArguments files = prepareFileArguments(table, rows, options);
    const std::vector<uint32_t> &groupOf = files.groupOf;
    const size_t groups = files.groups;
    const bool quoteInName = files.quoteInName;

    // The rows' positions grouped by name in order, each group keeping the
    // rows' order, so that the first row wins a tie.
    std::vector<size_t> groupStart(groups + 1, 0);
    for (qsizetype row : rows)
        ++groupStart[groupOf[table.record(row).fileId] + 1];
    std::partial_sum(groupStart.begin(), groupStart.end(), groupStart.begin());

    // The keys in one text, laid out group by group: a million small
    // allocations would cost more than the sorting, and a group's keys
    // sort within the cache.
    struct Keyed {
        size_t offset;
        uint32_t length;
        uint32_t position; // in the rows' order; a list holds fewer than 2^31
        uint32_t fileId;
    };
    std::vector<Keyed> keyed(size_t(rows.size()));
    {
        std::vector<size_t> next(groupStart.begin(), groupStart.end() - 1);
        for (qsizetype position = 0; position < rows.size(); ++position) {
            const uint32_t id = table.record(rows[position]).fileId;
            keyed[next[groupOf[id]]++] = {0, 0, uint32_t(position), id};
        }
    }
    // Reserving the most the arguments can take spares the copies of a
    // growing text (the pages beyond what is written are never touched);
    // keys with names, the rare case, may still grow.
    std::string keys;
    keys.reserve(keyed.size() * MostArgumentsBytes);
    for (Keyed &k : keyed) {
        k.offset = keys.size();
        if (quoteInName)
            keys.append(files.folded[k.fileId].constData(), size_t(files.folded[k.fileId].size()));
        appendArguments(keys, options, table.record(rows[k.position]), posix);
        k.length = uint32_t(keys.size() - k.offset);
    }
    auto key = [&keys](const Keyed &k) { return std::string_view(keys).substr(k.offset, k.length); };
    auto kept = keyed.begin();
    for (size_t g = 0; g < groups; ++g) {
        const auto begin = keyed.begin() + ptrdiff_t(groupStart[g]);
        const auto end = keyed.begin() + ptrdiff_t(groupStart[g + 1]);
        std::sort(begin, end, [&](const Keyed &a, const Keyed &b) {
            const int order = key(a).compare(key(b));
            return order != 0 ? order < 0 : a.position < b.position;
        });
        const auto groupEnd = std::unique(begin, end, [&](const Keyed &a, const Keyed &b) {
            return key(a) == key(b);
        });
        kept = kept == begin ? groupEnd : std::move(begin, groupEnd, kept);
    }
    keyed.erase(kept, keyed.end());

    // Each statement is the call, its name as written and the arguments
    // that follow it in the key.
    auto arguments = [&](const Keyed &k) {
        return key(k).substr(quoteInName ? size_t(files.folded[k.fileId].size()) : 0);
    };
    qsizetype codeBytes = 0;
    for (const Keyed &k : keyed)
        codeBytes += qsizetype(CallStart.size() + arguments(k).size()) + files.written[k.fileId].size();
    code.reserve(codeBytes, qsizetype(keyed.size()));
    std::string line;
    for (const Keyed &k : keyed) {
        const QByteArray &name = files.written[k.fileId];
        line.assign(CallStart);
        line.append(name.constData(), size_t(name.size()));
        line.append(arguments(k));
        code.append(QByteArrayView(line.data(), qsizetype(line.size())));
    }
    return code;
}

} // namespace vexal::monitor
