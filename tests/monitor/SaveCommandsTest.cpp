// SPDX-License-Identifier: MIT
// Save and Save as: the dialog, the name kept per kind, the Paths settings,
// and the two File Error boxes.
#include "RecordingView.h"

#include <settings/MonitorSettings.h>
#include <window/SaveCommands.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vexal::monitor;
using vexal::monitor::test::RecordingView;

namespace {

QByteArray contentsOf(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SaveCommandsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    QTemporaryDir files_;
    SettingsStore store_;

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid() && files_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }
    void init() { resetSettings(store_); }

    void saveAsAddsTheExtensionRemembersThePlaceAndSaveReusesTheName()
    {
        RecordingView view;
        SaveCommands saving(view, store_);
        view.chosenFile = files_.filePath(QStringLiteral("report"));
        const QString written = files_.filePath(QStringLiteral("report.txt"));
        saving.save(SavedFileKind::List, [](ByteWriter &out) { out.append("first"); });
        QCOMPARE(view.dialogs, (std::vector<SaveFileDialog>{{QStringLiteral("Choose file to save detailed list on"),
                                                             QStringLiteral("Text files (*.txt);;All files (*)"),
                                                             QStringLiteral(".")}}));
        QCOMPARE(contentsOf(written), QByteArray("first"));
        QCOMPARE(saving.currentName(SavedFileKind::List), written);
        QCOMPARE(store_.readString(subkey::kPaths, QStringLiteral("ListPath"), {}), written);
        QCOMPARE(view.statuses.last(), QStringLiteral("Data written to file ") + written);

        // No dialog the second time; the other kinds still have none.
        saving.save(SavedFileKind::List, [](ByteWriter &out) { out.append("second"); });
        QCOMPARE(view.dialogs.size(), std::size_t(1));
        QCOMPARE(contentsOf(written), QByteArray("second"));
        QVERIFY(saving.currentName(SavedFileKind::Code).isEmpty());

        view.chosenFile = files_.filePath(QStringLiteral("free"));
        saving.saveAs(SavedFileKind::Code, [](ByteWriter &out) { out.append("code"); });
        QCOMPARE(view.dialogs.back().title, QStringLiteral("Choose file to save VXG Code on"));
        QCOMPARE(contentsOf(files_.filePath(QStringLiteral("free.c"))), QByteArray("code"));
        QCOMPARE(view.statuses.last(), QStringLiteral("Code written to file ") + files_.filePath("free.c"));
        QVERIFY(view.messages.empty());

        // A cancelled dialog changes nothing.
        view.chosenFile.reset();
        saving.saveAs(SavedFileKind::List, [](ByteWriter &out) { out.append("third"); });
        QCOMPARE(saving.currentName(SavedFileKind::List), written);
        QCOMPARE(contentsOf(written), QByteArray("second"));
    }

    void aReadOnlyOrUnopenableFileIsRefusedWithAFileErrorBox()
    {
        RecordingView view;
        SaveCommands saving(view, store_);
        const QString locked = files_.filePath(QStringLiteral("locked.txt"));
        QVERIFY(writeFile(locked, [](ByteWriter &out) { out.append("kept"); }));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        view.chosenFile = locked;
        saving.saveAs(SavedFileKind::Summary, [](ByteWriter &out) { out.append("lost"); });
        const QString text = QStringLiteral("The file ") + locked + QStringLiteral(" is locked for writing!");
        QCOMPARE(view.messages, (std::vector<MessageBox>{{QStringLiteral("File Error"), text, MessageIcon::Warning}}));
        QCOMPARE(contentsOf(locked), QByteArray("kept"));
        QVERIFY(saving.currentName(SavedFileKind::Summary).isEmpty());
        QCOMPARE(store_.readString(subkey::kPaths, QStringLiteral("SummaryPath"), QStringLiteral(".")),
                 QStringLiteral("."));

        const QString nowhere = files_.filePath(QStringLiteral("missing/out.txt"));
        view.chosenFile = nowhere;
        saving.saveAs(SavedFileKind::Summary, [](ByteWriter &out) { out.append("lost"); });
        QCOMPARE(view.messages.back().text,
                 QStringLiteral("The file ") + nowhere + QStringLiteral(" could not be opened for writing!"));
        QVERIFY(saving.currentName(SavedFileKind::Summary).isEmpty());
        QCOMPARE(store_.readString(subkey::kPaths, QStringLiteral("SummaryPath"), {}), nowhere);
        QCOMPARE(view.cursor, Cursor::Default);
    }
};

QTEST_GUILESS_MAIN(SaveCommandsTest)
#include "SaveCommandsTest.moc"
