// SPDX-License-Identifier: MIT
#include "CodeSynthesis.h"

#include "list/RecordTable.h"
#include "list/RowSelection.h"

#include <algorithm>
#include <array>
#include <bit>
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

// The numbers of one record that a statement may carry.
struct RecordNumbers {
    int64_t line;
    int64_t size;
    int64_t index;
};

// Appends what follows the file argument: its closing quote, the seven
// other arguments and the statement's end.
void appendArguments(std::string &out, const SynthesisOptions &options, const RecordNumbers &record,
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
constexpr std::string_view FreeAllStatement = "VexalFreeAll();";

void composeStatement(std::string &out, const SynthesisOptions &options, QByteArrayView fileArgument,
                      const RecordNumbers &record, bool posixApplication)
{
    out.assign(CallStart);
    out.append(fileArgument.data(), size_t(fileArgument.size()));
    appendArguments(out, options, record, posixApplication);
}

// A group's bounds differ from record to record only with the exact choice
// (or none, which writes the record's value as well).
bool varies(const FilterSetting &setting)
{
    return setting.choice != int(FilterChoice::All) && setting.choice != int(FilterChoice::Between);
}

constexpr std::array<uint64_t, 20> PowersOfTen = [] {
    std::array<uint64_t, 20> powers{};
    uint64_t power = 1;
    for (uint64_t &p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

// Sorting a million statements asks this tens of millions of times: the
// bit width gives the count or one more, and one comparison settles it.
int digitCount(uint64_t value)
{
    const int guess = (std::bit_width(value) * 1233) >> 12; // 1233 / 4096 just under log10(2)
    return std::max(1, guess + 1 - int(value < PowersOfTen[size_t(guess)]));
}

// Orders two numbers as their decimal texts order byte by byte, where each
// is followed by ", " or ");", which sort below the digits: a minus sign
// comes first, and a number whose digits start another's sorts before it.
int compareAsText(int64_t a, int64_t b)
{
    if (a == b)
        return 0;
    if ((a < 0) != (b < 0))
        return a < 0 ? -1 : 1;
    const uint64_t ma = a < 0 ? 0 - uint64_t(a) : uint64_t(a);
    const uint64_t mb = b < 0 ? 0 - uint64_t(b) : uint64_t(b);
    const int da = digitCount(ma);
    const int db = digitCount(mb);
    // The longer one's leading digits, as many as the shorter has.
    if (da < db)
        return ma <= mb / PowersOfTen[size_t(db - da)] ? -1 : 1;
    if (da > db)
        return ma / PowersOfTen[size_t(da - db)] < mb ? -1 : 1;
    return ma < mb ? -1 : 1;
}

// Letters vary between statements only in the file argument (the rest is
// digits and text the same in every statement), so statements are ordered
// first by their folded file argument with its closing quote and then by
// the numbers that vary, as text. A quote inside a name defeats the first
// step: then statements of different names are compared as whole texts.
struct FileArguments {
    std::vector<QByteArray> written; // by file id: the argument as written
    std::vector<QByteArray> folded;  // ... with ASCII letters folded
    std::vector<uint32_t> groupOf;   // by file id: the rank of its folded argument
    size_t groups = 0;
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
            files.folded[id] = files.written[id].toLower() + '"'; // ASCII letters only
            usedIds.push_back(id);
        }
    }
    const auto &folded = files.folded;
    files.quoteInName = std::any_of(usedIds.begin(), usedIds.end(),
                                    [&](uint32_t id) { return folded[id].count('"') > 1; });
    std::sort(usedIds.begin(), usedIds.end(), [&](uint32_t a, uint32_t b) { return folded[a] < folded[b]; });
    for (size_t i = 0; i < usedIds.size(); ++i) {
        const bool sameAsPrevious = i > 0 && folded[usedIds[i]] == folded[usedIds[i - 1]];
        files.groupOf[usedIds[i]] = uint32_t(sameAsPrevious ? files.groups - 1 : files.groups++);
    }
    return files;
}

} // namespace

QByteArrayView GeneratedCode::line(qsizetype j, std::string &room) const
{
    if (freeAll_)
        return QByteArrayView(FreeAllStatement.data(), qsizetype(FreeAllStatement.size()));
    const Statement &s = statements_[size_t(j)];
    composeStatement(room, options_, fileArguments_[s.fileId], {s.line, s.size, s.index}, posix_);
    return QByteArrayView(room.data(), qsizetype(room.size()));
}

QByteArray GeneratedCode::line(qsizetype j) const
{
    std::string room;
    return line(j, room).toByteArray();
}

QByteArray composeCodeLine(const SynthesisOptions &options, QByteArrayView file,
                           const ListRecord &record, bool posixApplication)
{
    if (freesAll(options))
        return QByteArray(FreeAllStatement.data(), qsizetype(FreeAllStatement.size()));
    std::string line;
    composeStatement(line, options, fileArgument(options, file, posixApplication),
                     {record.line, record.size, record.index}, posixApplication);
    return QByteArray::fromStdString(line);
}

GeneratedCode generateCode(const RecordTable &table, const SynthesisOptions &options,
                           const QList<qsizetype> &selectedRows)
{
    GeneratedCode code;
    code.options_ = options;
    code.posix_ = table.posixApplication();
    const QList<qsizetype> rows = rowsToUse(table.size(), selectedRows);
    if (rows.isEmpty())
        return code;
    if (freesAll(options)) {
        code.freeAll_ = true;
        return code;
    }

    FileArguments files = prepareFileArguments(table, rows, options);
    const std::vector<uint32_t> &groupOf = files.groupOf;
    // Without a quote in a name, a group sorts on its own; with one, all
    // statements are one group.
    const size_t groups = files.quoteInName ? 1 : files.groups;
    auto groupOfId = [&](uint32_t id) { return files.quoteInName ? 0u : groupOf[id]; };

    // The statements grouped by name in order, each group keeping the rows'
    // order, so that of equal statements the first row's stays.
    using Statement = GeneratedCode::Statement;
    std::vector<size_t> groupStart(groups + 1, 0);
    for (qsizetype row : rows)
        ++groupStart[groupOfId(table.record(row).fileId) + 1];
    std::partial_sum(groupStart.begin(), groupStart.end(), groupStart.begin());
    std::vector<Statement> &statements = code.statements_;
    statements.resize(size_t(rows.size()));
    {
        std::vector<size_t> next(groupStart.begin(), groupStart.end() - 1);
        for (qsizetype row : rows) {
            const ListRecord &rec = table.record(row);
            statements[next[groupOfId(rec.fileId)]++] = {rec.size, rec.index, rec.line, rec.fileId};
        }
    }

    const bool lineVaries = varies(options.line);
    const bool sizeVaries = varies(options.size);
    const bool indexVaries = varies(options.index);
    auto compareNumbers = [&](const Statement &a, const Statement &b) {
        int order = lineVaries ? compareAsText(a.line, b.line) : 0;
        if (order == 0 && sizeVaries)
            order = compareAsText(a.size, b.size);
        if (order == 0 && indexVaries)
            order = compareAsText(a.index, b.index);
        return order;
    };
    // Only with a quote in a name: the folded names and what follows them.
    std::string textA;
    std::string textB;
    auto compare = [&](const Statement &a, const Statement &b) {
        // Without a quote in a name, each group is sorted on its own.
        if (!files.quoteInName || groupOf[a.fileId] == groupOf[b.fileId])
            return compareNumbers(a, b);
        const QByteArray &nameA = files.folded[a.fileId];
        const QByteArray &nameB = files.folded[b.fileId];
        textA.assign(nameA.constData(), size_t(nameA.size() - 1)); // without the added quote
        appendArguments(textA, options, {a.line, a.size, a.index}, code.posix_);
        textB.assign(nameB.constData(), size_t(nameB.size() - 1));
        appendArguments(textB, options, {b.line, b.size, b.index}, code.posix_);
        return textA.compare(textB);
    };
    auto kept = statements.begin();
    for (size_t g = 0; g < groups; ++g) {
        const auto begin = statements.begin() + ptrdiff_t(groupStart[g]);
        const auto end = statements.begin() + ptrdiff_t(groupStart[g + 1]);
        std::stable_sort(begin, end, [&](const Statement &a, const Statement &b) { return compare(a, b) < 0; });
        const auto groupEnd =
            std::unique(begin, end, [&](const Statement &a, const Statement &b) { return compare(a, b) == 0; });
        kept = kept == begin ? groupEnd : std::move(begin, groupEnd, kept);
    }
    statements.erase(kept, statements.end());
    if (statements.size() < statements.capacity() / 2)
        statements.shrink_to_fit();
    code.fileArguments_ = std::move(files.written);
    return code;
}

} // namespace vexal::monitor
