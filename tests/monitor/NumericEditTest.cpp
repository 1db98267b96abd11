// SPDX-License-Identifier: MIT
// The numeric check of the address, port and filter edits.
#include <window/NumericEdit.h>

#include <QTest>

using namespace vexal::monitor;

class NumericEditTest : public QObject {
    Q_OBJECT

private slots:
    void anAddressPartTakesZeroTo255AndPutsTheLastValidTextBack()
    {
        NumericEdit edit(QStringLiteral("127"), kAddressPartMaximum);
        QCOMPARE(edit.change(QStringLiteral("256")), QStringLiteral("127"));
        QCOMPARE(edit.change(QString()), QStringLiteral("127"));
        QCOMPARE(edit.change(QStringLiteral("255")), QStringLiteral("255"));
        QCOMPARE(edit.change(QStringLiteral("25a")), QStringLiteral("255"));
        QCOMPARE(edit.lastValid(), QStringLiteral("255"));
    }

    void thePortTakesEveryWholeNumberUpTo999999()
    {
        QVERIFY(isAcceptableNumber(QStringLiteral("0"), kPortMaximum));
        QVERIFY(isAcceptableNumber(QStringLiteral("999999"), kPortMaximum));
        QVERIFY(!isAcceptableNumber(QStringLiteral("1000000"), kPortMaximum));
    }

    void signsBlanksAndNumbersBeyond32BitsAreRefused()
    {
        for (const char *text : {"-1", "-0", "+5", " 5", "5 ", "-", "2147483648", "99999999999999999999"})
            QVERIFY2(!isAcceptableNumber(QString::fromLatin1(text), kFilterMaximum), text);
        QVERIFY(isAcceptableNumber(QStringLiteral("2147483647"), kFilterMaximum));
        QVERIFY(isAcceptableNumber(QStringLiteral("007"), kAddressPartMaximum));
    }
};

QTEST_APPLESS_MAIN(NumericEditTest)
#include "NumericEditTest.moc"
