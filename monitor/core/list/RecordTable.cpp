// SPDX-License-Identifier: MIT
#include "RecordTable.h"

#include "RowTexts.h"

#include "TransferRecord.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace vexal::monitor {

namespace {

// The monitor's own names; they differ from the library's in "HeapRealloc".
constexpr size_t TypeCount = 12; // MemoryAccessType's allocation kinds
constexpr std::array<const char *, TypeCount> TypeNames = {
    "malloc",    "calloc",     "realloc",   "strdup",      "wcsdup", "mbsdup",
    "GlobalAlloc", "LocalAlloc", "HeapAlloc", "HeapRealloc", "valloc", "memalign"};
constexpr const char *UnknownTypeName = "Unknown type";
constexpr int UnknownTypeSlot = int(TypeCount);

int typeSlot(int32_t type)
{
    return type >= 0 && type < int32_t(TypeCount) ? int(type) : UnknownTypeSlot;
}

// Position of each type name in byte order, so that a sort by name compares
// small numbers.
const std::array<int, TypeCount + 1> &typeNameRanks()
{
    static const auto ranks = [] {
        std::array<int, TypeCount + 1> order{};
        std::iota(order.begin(), order.end(), 0);
        auto name = [](int slot) {
            return QByteArrayView(slot == UnknownTypeSlot ? UnknownTypeName : TypeNames[size_t(slot)]);
        };
        std::sort(order.begin(), order.end(), [&](int a, int b) { return name(a) < name(b); });
        std::array<int, TypeCount + 1> rankOfSlot{};
        for (size_t rank = 0; rank < order.size(); ++rank)
            rankOfSlot[size_t(order[rank])] = int(rank);
        return rankOfSlot;
    }();
    return ranks;
}

template <typename Key>
void stableSortBy(std::vector<ListRecord> &records, bool descending, Key key)
{
    if (descending)
        std::stable_sort(records.begin(), records.end(),
                         [&](const ListRecord &a, const ListRecord &b) { return key(b) < key(a); });
    else
        std::stable_sort(records.begin(), records.end(),
                         [&](const ListRecord &a, const ListRecord &b) { return key(a) < key(b); });
}

qsizetype countDistinct(std::vector<uint32_t> values)
{
    std::sort(values.begin(), values.end());
    return std::unique(values.begin(), values.end()) - values.begin();
}

// Marks each name that, followed by a line number, could read as another
// name followed by another number: one name and the other name plus a
// run of digits (or a minus sign, of a negative line).
std::vector<char> namesRunningIntoNumbers(const std::vector<QByteArray> &names)
{
    std::vector<uint32_t> order(names.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return names[a] < names[b]; });
    std::vector<char> marked(names.size(), 0);
    // The names that start with a name follow it directly in byte order.
    for (size_t i = 0; i < order.size(); ++i) {
        const QByteArray &prefix = names[order[i]];
        for (size_t j = i + 1; j < order.size() && names[order[j]].startsWith(prefix); ++j) {
            const QByteArrayView rest = QByteArrayView(names[order[j]]).sliced(prefix.size());
            if (std::all_of(rest.begin(), rest.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); }))
                marked[order[i]] = marked[order[j]] = 1;
        }
    }
    return marked;
}

} // namespace

void RecordTable::reset(qsizetype count)
{
    records_.assign(size_t(std::max<qsizetype>(count, 0)), ListRecord{});
    records_.shrink_to_fit();
    fileIds_.clear();
    fileNames_.clear();
    internFile({}); // id 0: the empty name of a record not received yet
    descending_.fill(false);
    posix_ = true;
}

void RecordTable::setRecord(qsizetype i, const TransferRecord &received)
{
    Q_ASSERT(i >= 0 && i < size());
    const size_t nameLength = strnlen(received.fileName, sizeof received.fileName);
    ListRecord &rec = records_[size_t(i)];
    rec.fileId = internFile(QByteArrayView(received.fileName, qsizetype(nameLength)));
    rec.line = received.line;
    rec.type = received.recordType;
    rec.size = received.recordSize;
    rec.threadId = uint32_t(received.threadId);
    rec.index = received.recordIndex;
    rec.address = received.address;
    if (i == 0)
        posix_ = !file(0).contains('\\');
}

uint32_t RecordTable::internFile(QByteArrayView name)
{
    const std::string_view key(name.data(), size_t(name.size()));
    if (auto it = fileIds_.find(key); it != fileIds_.end())
        return it->second;
    const auto id = uint32_t(fileNames_.size());
    fileNames_.append(name.toByteArray());
    const QByteArray &stored = fileNames_.constLast();
    fileIds_.emplace(std::string_view(stored.constData(), size_t(stored.size())), id);
    return id;
}

QByteArray RecordTable::cell(qsizetype row, ListColumn column, bool fullPath) const
{
    RowTexts texts;
    texts.fill(*this, row, fullPath);
    return texts[column].toByteArray();
}

QString RecordTable::text(qsizetype row, ListColumn column, bool fullPath) const
{
    return QString::fromUtf8(cell(row, column, fullPath));
}

void RecordTable::sortBy(ListColumn column)
{
    bool &descending = descending_[size_t(column)];
    switch (column) {
    case ListColumn::File: {
        // Names are unique in the pool: rank them once in byte order.
        std::vector<uint32_t> ids(size_t(fileNames_.size()));
        std::iota(ids.begin(), ids.end(), 0u);
        std::sort(ids.begin(), ids.end(),
                  [&](uint32_t a, uint32_t b) { return fileNames_[a] < fileNames_[b]; });
        std::vector<uint32_t> rank(ids.size());
        for (size_t r = 0; r < ids.size(); ++r)
            rank[ids[r]] = uint32_t(r);
        stableSortBy(records_, descending, [&](const ListRecord &r) { return rank[r.fileId]; });
        break;
    }
    case ListColumn::Line:
        stableSortBy(records_, descending, [](const ListRecord &r) { return r.line; });
        break;
    case ListColumn::MemType: {
        const auto &ranks = typeNameRanks();
        stableSortBy(records_, descending,
                     [&](const ListRecord &r) { return ranks[size_t(typeSlot(r.type))]; });
        break;
    }
    case ListColumn::Memory:
        stableSortBy(records_, descending, [](const ListRecord &r) { return r.size; });
        break;
    case ListColumn::ThreadId:
        stableSortBy(records_, descending, [](const ListRecord &r) { return r.threadId; });
        break;
    case ListColumn::Index:
        stableSortBy(records_, descending, [](const ListRecord &r) { return r.index; });
        break;
    case ListColumn::Pointer:
        stableSortBy(records_, descending, [](const ListRecord &r) { return r.address; });
        break;
    }
    descending = !descending;
}

RecordCounts RecordTable::counts() const
{
    constexpr uint32_t Unused = std::numeric_limits<uint32_t>::max();
    std::vector<uint32_t> foldedId(size_t(fileNames_.size()), Unused);
    for (const ListRecord &rec : records_)
        foldedId[rec.fileId] = 0;

    // Names that differ only in ASCII letter case share one folded id.
    std::vector<QByteArray> foldedNames;
    QHash<QByteArray, uint32_t> idOfFolded;
    for (size_t id = 0; id < foldedId.size(); ++id) {
        if (foldedId[id] == Unused)
            continue;
        const QByteArray folded = fileNames_[qsizetype(id)].toLower(); // ASCII letters only
        auto it = idOfFolded.constFind(folded);
        if (it == idOfFolded.cend()) {
            it = idOfFolded.insert(folded, uint32_t(foldedNames.size()));
            foldedNames.push_back(folded);
        }
        foldedId[id] = it.value();
    }

    std::vector<uint64_t> codeLines;
    std::vector<uint32_t> threads;
    codeLines.reserve(records_.size());
    threads.reserve(records_.size());
    for (const ListRecord &rec : records_) {
        codeLines.push_back(uint64_t(foldedId[rec.fileId]) << 32 | uint32_t(rec.line));
        threads.push_back(rec.threadId);
    }
    std::sort(codeLines.begin(), codeLines.end());
    codeLines.erase(std::unique(codeLines.begin(), codeLines.end()), codeLines.end());

    // A code line's key is the name followed by the line, so a.c with 12
    // and a.c1 with 2 are one. Only names that run into another name's
    // line number can meet that way: key their lines as text, count the
    // others as distinct pairs.
    const std::vector<char> runsIntoNumber = namesRunningIntoNumbers(foldedNames);
    qsizetype uniqueLines = 0;
    QSet<QByteArray> textKeys;
    for (uint64_t pair : codeLines) {
        const auto name = uint32_t(pair >> 32);
        if (runsIntoNumber[name])
            textKeys.insert(foldedNames[name] + QByteArray::number(int32_t(uint32_t(pair))));
        else
            ++uniqueLines;
    }

    RecordCounts counts;
    counts.files = qsizetype(foldedNames.size());
    counts.uniqueLines = uniqueLines + textKeys.size();
    counts.threads = countDistinct(std::move(threads));
    return counts;
}

QString RecordTable::columnCaption(ListColumn column)
{
    static const std::array<QString, ListColumnCount> captions = {
        QStringLiteral("File"),      QStringLiteral("Line"),  QStringLiteral("Mem Type"),
        QStringLiteral("Memory (B)"), QStringLiteral("Thread Id"), QStringLiteral("Index"),
        QStringLiteral("Pointer")};
    return captions[size_t(column)];
}

QByteArrayView RecordTable::typeName(int32_t type)
{
    const int slot = typeSlot(type);
    return slot == UnknownTypeSlot ? UnknownTypeName : TypeNames[size_t(slot)];
}

QByteArrayView RecordTable::shortFileName(QByteArrayView name)
{
    for (qsizetype i = name.size(); i > 0; --i) {
        if (name[i - 1] == '\\' || name[i - 1] == '/')
            return name.sliced(i);
    }
    return name;
}

QByteArray RecordTable::pointerText(int64_t address)
{
    char digits[PointerTextMax];
    return pointerText(address, digits).toByteArray();
}

QByteArrayView RecordTable::pointerText(int64_t address, char *out)
{
    const bool fits32 = address >= std::numeric_limits<int32_t>::min()
                        && address <= int64_t(std::numeric_limits<uint32_t>::max());
    uint64_t value = fits32 ? uint32_t(address) : uint64_t(address);
    const qsizetype length = fits32 ? 8 : PointerTextMax;
    for (qsizetype i = length - 1; i >= 0; --i, value >>= 4)
        out[i] = "0123456789ABCDEF"[value & 15];
    return QByteArrayView(out, length);
}

QString RecordTable::receivingProgressText(qsizetype n)
{
    return n % ProgressStep == 0 ? QStringLiteral("Got %1 records...").arg(n) : QString();
}

QString RecordTable::loadingProgressText(qsizetype n)
{
    return n % ProgressStep == 0 ? QStringLiteral("Loaded %1 records...").arg(n) : QString();
}

} // namespace vexal::monitor
