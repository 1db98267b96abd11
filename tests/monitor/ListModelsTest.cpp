// SPDX-License-Identifier: MIT
// The list and code views' models, watched by Qt's model tester while they
// are filled, switched, reordered and emptied.
#include "MonitorTestSupport.h"

#include <list/RecordTableModel.h>
#include <synthesis/GeneratedCodeModel.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace vexal::monitor;

class ListModelsTest : public QObject {
    Q_OBJECT

private slots:
    void rowIShowsRecordIThroughEveryChange()
    {
        RecordTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto table = std::make_shared<RecordTable>(tableOf({
            {.file = "C:\\src\\b.c", .line = 7, .size = 300, .index = 4, .address = -1},
            {.file = "/usr/src/a.c", .line = 12, .size = 20, .index = 5, .type = 1},
        }));
        model.setTable(table);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), ListColumnCount);
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Memory (B)"));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("b.c"));
        QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("calloc"));
        QCOMPARE(model.index(0, 6).data().toString(), QStringLiteral("FFFFFFFF"));

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.setFullPath(true);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("C:\\src\\b.c"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(reset.size(), 0);  // a reset would drop the selection

        table->sortBy(ListColumn::Memory);
        model.setTable(table);
        QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral("20"));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("/usr/src/a.c"));

        model.setTable(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }

    void codeRowsAreNumberedFromOne()
    {
        GeneratedCodeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        SynthesisOptions options;
        options.size.choice = int(FilterChoice::All);
        model.setCode(std::make_shared<GeneratedCode>(
            generateCode(tableOf({{.file = "a.c", .line = 1}, {.file = "b.c", .line = 2}}), options, {})));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Code Lines"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("2"));
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("VexalFreeThese(\"b.c\", 2, 2, 0, 0, 0, 0, 0);"));
        model.setCode(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(ListModelsTest)
#include "ListModelsTest.moc"
