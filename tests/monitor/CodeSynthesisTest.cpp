// SPDX-License-Identifier: MIT
#include "MonitorTestSupport.h"
#include <synthesis/CodeSynthesis.h>

#include <QTest>

using namespace vexal::monitor;

namespace {

constexpr int All = int(FilterChoice::All);
constexpr int Exact = int(FilterChoice::Exact);
constexpr int Between = int(FilterChoice::Between);

QList<QByteArray> lines(const GeneratedCode &code)
{
    QList<QByteArray> out;
    for (qsizetype j = 0; j < code.size(); ++j)
        out.append(code.line(j));
    return out;
}

SynthesisOptions allChoices()
{
    SynthesisOptions options;
    options.line.choice = options.size.choice = options.index.choice = All;
    return options;
}

} // namespace

class CodeSynthesisTest : public QObject {
    Q_OBJECT
private slots:
    void composesEachFilterAsItsRowOfTheTable()
    {
        const Received rec{.file = "C:\\src\\main.c", .line = 42, .size = 6'000'000'000,
                           .index = 5'000'000'000, .threadId = 3};
        const RecordTable windows = tableOf({rec});
        const RecordTable posix = tableOf({{.file = "/home/u/main.c", .line = 42}});
        auto line = [](const RecordTable &table, const SynthesisOptions &options) {
            return composeCodeLine(options, table.file(0), table.record(0), table.posixApplication());
        };

        SynthesisOptions options = allChoices();
        options.line.choice = Exact;
        QCOMPARE(line(windows, options), R"(VexalFreeThese("C:\\src\\main.c", 42, 42, 0, 0, 0, 0, 0);)");
        QCOMPARE(line(posix, options), R"(VexalFreeThese("/home/u/main.c", 42, 42, 0, 0, 0, 0, 0);)");

        options = allChoices();
        QCOMPARE(line(windows, options), R"(VexalFreeThese("C:\\src\\main.c", 0, 0, 0, 0, 0, 0, 0);)");
        options.regardlessOfFile = true;
        QCOMPARE(line(windows, options), "VexalFreeAll();");

        options.callingThread = true;
        QCOMPARE(line(windows, options), R"(VexalFreeThese("", 0, 0, 0, 0, GetCurrentThreadId(), 0, 0);)");
        QCOMPARE(line(posix, options), R"(VexalFreeThese("", 0, 0, 0, 0, pthread_self(), 0, 0);)");

        options = allChoices();
        options.regardlessOfFile = true;
        options.size = {Between, 0, 0}; // still restricts, though the library reads 0, 0 as any size
        QCOMPARE(line(windows, options), R"(VexalFreeThese("", 0, 0, 0, 0, 0, 0, 0);)");
        options.size = {Exact};
        options.index = {Exact};
        options.line = {Between, 9, 3}; // written as it stands
        QCOMPARE(line(windows, options),
                 R"(VexalFreeThese("", 9, 3, 6000000000, 6000000000, 0, 5000000000, 5000000000);)");

        // A group with no choice restricts to the record's own value.
        options = allChoices();
        options.regardlessOfFile = true;
        options.line.choice = 7;
        QCOMPARE(line(windows, options), R"(VexalFreeThese("", 42, 42, 0, 0, 0, 0, 0);)");
    }

    void generateSortsAsTextAndDropsRepeats()
    {
        const RecordTable table = tableOf({
            {.file = "/p/x.c", .line = 10},
            {.file = "/p/x.c", .line = 10},
            {.file = "/p/x.c", .line = 20},
            {.file = "/p/x.c", .line = 9},
            {.file = "/p/X.C", .line = 9}, // the same line to the collection
        });
        SynthesisOptions options = allChoices();
        options.line.choice = Exact;
        const QList<QByteArray> expected = {
            R"(VexalFreeThese("/p/x.c", 10, 10, 0, 0, 0, 0, 0);)",
            R"(VexalFreeThese("/p/x.c", 20, 20, 0, 0, 0, 0, 0);)",
            R"(VexalFreeThese("/p/x.c", 9, 9, 0, 0, 0, 0, 0);)",
        };
        QCOMPARE(lines(generateCode(table, options, {})), expected);

        // A quote in a name orders by the whole text, not name by name.
        const RecordTable quoted = tableOf({{.file = "x", .line = 1}, {.file = "x\"", .line = 5}});
        QCOMPARE(lines(generateCode(quoted, options, {})),
                 QList<QByteArray>({"VexalFreeThese(\"x\"\", 5, 5, 0, 0, 0, 0, 0);",
                                    R"(VexalFreeThese("x", 1, 1, 0, 0, 0, 0, 0);)"}));

        // A name that starts another sorts by the quote that ends it.
        const RecordTable prefixed = tableOf({{.file = "a.c"}, {.file = "a.c 2"}});
        QCOMPARE(lines(generateCode(prefixed, allChoices(), {})),
                 QList<QByteArray>({R"(VexalFreeThese("a.c 2", 0, 0, 0, 0, 0, 0, 0);)",
                                    R"(VexalFreeThese("a.c", 0, 0, 0, 0, 0, 0, 0);)"}));

        // Numbers as text: the minus sign first, a number before those its digits start.
        options = allChoices();
        options.regardlessOfFile = true;
        options.index.choice = Exact;
        QList<QByteArray> indexes;
        for (const QByteArray &line : lines(generateCode(
                 tableOf({{.index = 4}, {.index = -50}, {.index = 40}, {.index = -5}, {.index = 5'000'000'000},
                          {.index = 39}, {.index = 0}, {.index = INT64_MIN}}),
                 options, {})))
            indexes.append(line.sliced(line.lastIndexOf(", ") + 2).chopped(2));
        QCOMPARE(indexes, QList<QByteArray>({"-5", "-50", "-9223372036854775808", "0", "39", "4", "40", "5000000000"}));

        options = allChoices();
        options.regardlessOfFile = true;
        QCOMPARE(lines(generateCode(table, options, {})), QList<QByteArray>{"VexalFreeAll();"});
        QVERIFY(generateCode(RecordTable(), options, {}).isEmpty());
    }

    void caseRepeatsKeepTheFirstRowsSpelling()
    {
        const RecordTable table = tableOf({{.file = "dir/b.c"}, {.file = "Dir/B.c"}, {.file = "dir/C.c"}});
        const QList<QByteArray> expected = {
            R"(VexalFreeThese("dir/b.c", 0, 0, 0, 0, 0, 0, 0);)",
            R"(VexalFreeThese("dir/C.c", 0, 0, 0, 0, 0, 0, 0);)",
        };
        QCOMPARE(lines(generateCode(table, allChoices(), {})), expected);
    }

    void onlySelectedRowsMakeLines()
    {
        const RecordTable table = tableOf({{.index = 10}, {.index = 11}, {.index = 12}, {.index = 13}});
        SynthesisOptions options = allChoices();
        options.regardlessOfFile = true;
        options.index.choice = Exact;
        const QList<QByteArray> expected = {
            R"(VexalFreeThese("", 0, 0, 0, 0, 0, 11, 11);)",
            R"(VexalFreeThese("", 0, 0, 0, 0, 0, 13, 13);)",
        };
        QCOMPARE(lines(generateCode(table, options, {3, 1, 3})), expected);
        QCOMPARE(lines(generateCode(table, options, {})).size(), 4);
    }
};

QTEST_GUILESS_MAIN(CodeSynthesisTest)
#include "CodeSynthesisTest.moc"
