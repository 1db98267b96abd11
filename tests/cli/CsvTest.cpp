// SPDX-License-Identifier: MIT
// vxl's CSV writer: file names hold commas, quotes and even line breaks.
#include <Csv.h>

#include <QTest>

using namespace vexal::cli;

class CsvTest : public QObject {
    Q_OBJECT

private slots:
    void aFieldIsQuotedOnlyWhenItMustBeAndItsQuotesAreDoubled()
    {
        QCOMPARE(csvRecord({"plain.c", "a,b.c", "say \"hi\".c", "two\nlines", "cr\r", ""}),
                 QByteArray("plain.c,\"a,b.c\",\"say \"\"hi\"\".c\",\"two\nlines\",\"cr\r\",\r\n"));
    }
};

QTEST_APPLESS_MAIN(CsvTest)
#include "CsvTest.moc"
