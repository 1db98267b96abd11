// SPDX-License-Identifier: MIT
// The product's promise, end to end: a leaking program linked with libVexal
// serves its list; the monitor fetches it, generates code with "The exact
// index" and saves it; the saved code, compiled into the same program where
// it would free its leaks, leaves no live record.
#include "Watched.h"

#include <window/SaveCommands.h>

#include <QProcess>
#include <QTemporaryDir>

using namespace vexal::monitor;
using vexal::monitor::test::peerPort;
using vexal::monitor::test::Watched;

class LeakFreeingTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }

    void theSavedCodeFreesEveryLeakWhereTheProgramWouldHaveFreedThem()
    {
        Watched w(peerPort(0), kPeriodFast, QStringLiteral(VEXAL_LEAKING_PROGRAM));
        QVERIFY(w.connect());
        w.controller.getList();
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Got list of outstanding memory allocations"));
        QCOMPARE(w.view.list->size(), 29);  // 12 nodes with their names, 4 arrays, the grown buffer

        SynthesisOptions options;  // the exact line and size, as on a first run
        options.index.choice = int(FilterChoice::Exact);
        w.controller.generateCode(w.view.list.get(), options, {});
        QCOMPARE(w.view.code->size(), 29);
        SettingsStore store;
        SaveCommands saving(w.view, store);
        w.view.chosenFile = dir_.filePath(QStringLiteral("free_leaks"));
        saving.saveAs(SavedFileKind::Code,
                      [&](ByteWriter &out) { w.controller.codeFileContents(out, w.view.code.get(), {}, 4, false); });
        const QString saved = dir_.filePath(QStringLiteral("free_leaks.c"));
        QCOMPARE(w.view.statuses.last(), QStringLiteral("Code written to file ") + saved);

        const QString freeing = dir_.filePath(QStringLiteral("freeing_program"));
        QProcess compiler;
        compiler.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments = QProcess::splitCommand(QStringLiteral(VEXAL_C_FLAGS));
        arguments << QStringLiteral("-I" VEXAL_INCLUDE_DIR) << QStringLiteral("-DVEXAL_FREEING_CODE=\"%1\"").arg(saved)
                  << QStringLiteral(VEXAL_LEAKING_SOURCE) << QStringLiteral("-o") << freeing
                  << QStringLiteral(VEXAL_LIBRARY) << QStringLiteral("-Wl,-rpath," VEXAL_LIBRARY_DIR);
        compiler.start(QStringLiteral(VEXAL_C_COMPILER), arguments);
        QVERIFY(compiler.waitForFinished(60000));
        QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());

        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(freeing, {});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.readAll().trimmed(), QByteArray("0 live"));
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(LeakFreeingTest)
#include "LeakFreeingTest.moc"
