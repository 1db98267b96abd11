// SPDX-License-Identifier: MIT
// The desktop window as a user meets it: its controls by name, their hints,
// shortcuts and groups, the edits' check, About, the settings written at
// Quit; and against an application, the list, its sorting and names, the
// code, the three saved files, and the leak sites' window.
#include "PeerProcess.h"

#include <About.h>
#include <Application.h>
#include <FileDialogs.h>
#include <MainWindow.h>
#include <MessageBoxes.h>
#include <SitesChart.h>
#include <SitesWindow.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <map>

using namespace vexal::monitor;

namespace {

class NoBoxes : public MessageBoxes {
public:
    void inform(QWidget *, const MessageBox &box) override { shown.push_back(box); }
    bool ask(QWidget *, const MessageBox &box) override
    {
        shown.push_back(box);
        return false;
    }
    std::vector<MessageBox> shown;
};

// Answers each file dialog by its title.
class NoDialogs : public FileDialogs {
public:
    std::optional<QString> chooseSaveFile(QWidget *, const SaveFileDialog &dialog) override
    {
        asked.push_back(dialog);
        const auto answer = answers.find(dialog.title);
        return answer != answers.end() ? std::optional<QString>(answer->second) : std::nullopt;
    }
    std::map<QString, QString> answers;
    std::vector<SaveFileDialog> asked;
};

QByteArray contentsOf(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <class T>
T *named(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (found == nullptr)
        qWarning("no %s", name);
    return found;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
        describeApplication();
    }

    void aboutShowsTheSameThreeLinesEachTime()
    {
        About about;
        const QStringList expected = {"Name: Vexal - Monitor", "Version: 1.1", ""};
        for (int shown = 0; shown < 2; ++shown) {
            about.show();
            about.hide();
            QStringList lines;
            for (int row = 0; row < about.lines()->count(); ++row)
                lines << about.lines()->item(row)->text();
            QCOMPARE(lines, expected);
        }
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    }

    void theWindowStartsDisconnectedWithEveryControlInPlace()
    {
        NoBoxes boxes;
        MainWindow window(boxes);
        QCOMPARE(window.windowTitle(), QStringLiteral("Vexal - Monitor"));
        QCOMPARE(window.centralWidget()->width(), 922);
        QCOMPARE(window.centralWidget()->height() + window.statusBar()->height(), 654);
        QCOMPARE(window.statusText(),
                 QStringLiteral("Connect to an application, analyze memory allocations, generate code to copy into "
                                "this application, and get rid of memory leaks."));

        QStringList menus;
        for (QAction *menu : window.menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus, (QStringList{"&File", "&Connect", "Analyze", "Synthesize", "Help"}));

        // name, shortcut, enabled at start-up
        const std::vector<std::tuple<const char *, const char *, bool>> actions = {
            {"mnuMainFileConnect", "Ctrl+K", true},         {"mnuMainFileDisconnect", "Ctrl+D", false},
            {"mnuMainControlPause", "Ctrl+P", false},       {"mnuMainControlRelease", "Ctrl+R", false},
            {"mnuMainViewSingleStatus", "Ctrl+G", false},   {"mnuMainViewContinousStatus", "Ctrl+W", false},
            {"mnuMainViewStopContinousStatus", "Ctrl+T", false}, {"mnuMainViewGetList", "Ctrl+L", false},
            {"mnuMainFileSave", "Ctrl+S", false},           {"mnuMainFileQuit", "Ctrl+Q", true},
            {"mnuMainHelpTopics", "Ctrl+H", true},          {"mnuMainHelpAbout", "Ctrl+A", true},
            {"mnuMainFileSaveStatus", "", false},          {"mnuMainFileSaveCodeAs", "", false},
            {"mnuMainCodeGenerate", "", false},             {"mnuMainViewSites", "Ctrl+E", true}};
        for (const auto &[name, shortcut, enabled] : actions) {
            QAction *action = named<QAction>(window, name);
            QVERIFY2(action != nullptr, name);
            QCOMPARE(action->shortcut().toString(), QString::fromLatin1(shortcut));
            QVERIFY2(action->isEnabled() == enabled, name);
        }

        // Each button runs its operation's action, copies with their twin's hint.
        const std::vector<std::tuple<const char *, const char *, const char *>> buttons = {
            {"btnConnect", "btnConnectCopy", "Connect to application"},
            {"btnDisconnect", "btnDisconnectCopy", "Disconnect from application"},
            {"btnPauseAppl", "btnPauseApplCopy", "Pause the application"},
            {"btnContAppl", "btnContApplCopy", "Release the application"},
            {"btnGetSingleStatus", "btnGetSingleStatusCopy", "Get summary snapshot"},
            {"btnGetContinousStatus", "btnGetContinousStatusCopy", "Start getting continous summary"},
            {"btnStopContinousStatus", "btnStopContinousStatusCopy", "Stop getting continous summary"},
            {"btnGetList", "btnGetListCopy", "Get list of allocations"},
            {"btnGenerateCode", "btnGenerateCodeCopy", "Generate 'Vexal' code"},
            {"btnSaveAll", "btnSaveAll", "Save all shown, or selected, data on file(s)"},
            {"btnExit", "btnExit", "Exit from the program"}};
        for (const auto &[name, copy, hint] : buttons) {
            QToolButton *button = named<QToolButton>(window, name);
            QToolButton *twin = named<QToolButton>(window, copy);
            QVERIFY2(button && twin, name);
            QCOMPARE(button->toolTip(), QString::fromLatin1(hint));
            QCOMPARE(twin->defaultAction(), button->defaultAction());
        }
        QVERIFY(named<QToolButton>(window, "btnConnectCopy")->isEnabled());
        QVERIFY(!named<QToolButton>(window, "btnDisconnectCopy")->isEnabled());
        QVERIFY(named<QWidget>(window, "chbShowFullPath")->isEnabled());
        QVERIFY(named<QRadioButton>(window, "rbnFast")->isChecked());
        QVERIFY(named<QAction>(window, "mnuMainViewContinousStatusFast")->isChecked());
        for (const char *name : {"grbConnect", "Chart1", "grbGenGarbCollCode", "grbAnalyze", "grbStatus", "grpList",
                                 "lvwStatus", "lvwList", "lvwCode", "edtIndentations", "updIndent", "lblLoadingList",
                                 "stbStatusBar", "edtVXGDataFile", "edtVXGDataLine", "lblOnOff"})
            QVERIFY2(named<QWidget>(window, name) != nullptr, name);
        QCOMPARE(named<QLineEdit>(window, "edtVXGDataFile")->text(), QStringLiteral("N/A"));
    }

    void anEditTakesBackItsLastValidText()
    {
        NoBoxes boxes;
        MainWindow window(boxes);
        QLineEdit *part = named<QLineEdit>(window, "edtIP0");
        part->selectAll();
        QTest::keyClicks(part, QStringLiteral("256"));
        QCOMPARE(part->text(), QStringLiteral("25"));
        QCOMPARE(part->cursorPosition(), 2);
        part->setText(QString());
        QCOMPARE(part->text(), QStringLiteral("25"));
    }

    void quitWritesTheSettingsResetAndQuitAnsweredNoDoesNot()
    {
        NoBoxes boxes;
        {
            MainWindow window(boxes);
            named<QAction>(window, "mnuResetAll")->trigger();
            QCOMPARE(window.statusText(), QStringLiteral("Nothing changed."));
            named<QLineEdit>(window, "edtPortNumber")->setText(QStringLiteral("6001"));
            window.close();
        }
        QSettings stored(home_.filePath(QStringLiteral("Quillon/Vexal.conf")), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("Connection/PortNumber")).toString(), QStringLiteral("6001"));
        QCOMPARE(stored.value(QStringLiteral("Analysis/VideoSpeed")).toInt(), 1000);
        QCOMPARE(stored.childGroups(), (QStringList{"Analysis", "Connection", "Position", "Synthesis"}));
    }


    void aFetchedListSortsSwitchesNamesAndIsSavedWithItsCode()
    {
        test::PeerProcess peer(test::peerPort(0));
        peer.send("leak 250");
        QCOMPARE(peer.readLine(), QByteArray("ok"));
        NoBoxes boxes;
        NoDialogs dialogs;
        StartOptions options;
        options.port = QString::number(peer.port());
        MainWindow window(boxes, options, &dialogs);
        QAction *getList = named<QAction>(window, "mnuMainViewGetList");
        // The library listens a moment after it starts.
        const QDeadlineTimer deadline(std::chrono::seconds(10));
        while (!getList->isEnabled() && !deadline.hasExpired()) {
            window.mnuMainFileConnectClick();
            QTest::qWait(20);
        }
        QVERIFY2(getList->isEnabled(), qPrintable(window.statusText()));
        // A busy machine can leave the peer's listener a moment behind "ok":
        // the attempts before it answered said so in boxes of their own.
        boxes.shown.clear();

        getList->trigger();
        QCOMPARE(window.statusText(), QStringLiteral("Got list of outstanding memory allocations"));
        QTableView *list = named<QTableView>(window, "lvwList");
        QCOMPARE(list->model()->rowCount(), 250);
        QStringList counters;
        for (const char *label : {"lblNumberValueOfRecords", "lblNoFilesData", "lblNoUniquesData", "lblNoThreadsData"})
            counters << named<QLabel>(window, label)->text();
        QCOMPARE(counters, (QStringList{"250", "1", "1", "1"}));

        QHeaderView *header = list->horizontalHeader();
        emit header->sectionClicked(3);
        QCOMPARE(window.statusText(), QStringLiteral("Sorted 'Detailed List' after 'Memory (B)'"));
        QCOMPARE(list->model()->index(0, 3).data().toString(), QStringLiteral("1"));
        emit header->sectionClicked(3);
        QCOMPARE(list->model()->index(0, 3).data().toString(), QStringLiteral("64"));

        // Two rows chosen; the full names keep them chosen.
        list->selectRow(0);
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        named<QCheckBox>(window, "chbShowFullPath")->click();
        QCOMPARE(list->selectionModel()->selectedRows().size(), 2);
        const QString fullName = list->model()->index(0, 0).data().toString();
        QVERIFY(fullName.endsWith(QStringLiteral("/monitor_peer.c")) && fullName.size() > 14);

        named<QRadioButton>(window, "rbnOneIndex")->click();
        named<QAction>(window, "mnuMainCodeGenerate")->trigger();
        QCOMPARE(window.statusText(), QStringLiteral("Vexal Code created."));
        QTableView *code = named<QTableView>(window, "lvwCode");
        QCOMPARE(code->model()->rowCount(), 2);
        const QString statement = code->model()->index(0, 1).data().toString();
        QVERIFY(statement.startsWith(QStringLiteral("VexalFreeThese(\"") + fullName + QStringLiteral("\", ")));

        // Save All: each kind asks for its file once.
        QTemporaryDir files;
        dialogs.answers = {{"Choose file to save summary on", files.filePath("summary")},
                           {"Choose file to save detailed list on", files.filePath("list")},
                           {"Choose file to save VXG Code on", files.filePath("code")}};
        named<QAction>(window, "mnuMainFileSave")->trigger();
        QCOMPARE(dialogs.asked.size(), std::size_t(3));
        QCOMPARE(dialogs.asked[2].filter, QStringLiteral("C Source Code (*.c);;Source files (*.c);;All files (*)"));
        QVERIFY(contentsOf(files.filePath("summary.txt")).startsWith("Summary of Allocations\r\n"));
        const QList<QByteArray> listLines = contentsOf(files.filePath("list.txt")).split('\n');
        QCOMPARE(listLines.size(), 2 + 1 + 2 + 1);  // caption, underline, head, two rows, nothing after the last
        QCOMPARE(contentsOf(files.filePath("code.c")),
                 "  " + code->model()->index(0, 1).data().toString().toUtf8() + "\n  "
                     + code->model()->index(1, 1).data().toString().toUtf8() + "\n");
        QCOMPARE(window.statusText(), QStringLiteral("Code written to file ") + files.filePath("code.c"));
        QVERIFY(boxes.shown.empty());
    }

    void theLeakSitesWindowShowsTheSitesGeneratesTheirCodeAndEmptiesWithTheConnection()
    {
        test::PeerProcess peer(test::peerPort(1), QStringLiteral(VEXAL_SITES_PROGRAM), {QStringLiteral("leak,cache")});
        QMap<QByteArray, QList<QByteArray>> sites;  // name -> SITE name file line
        for (int i = 0; i < 4; ++i) {
            const QList<QByteArray> site = peer.readLine().split(' ');
            QCOMPARE(site.size(), 4);
            sites.insert(site[1], site);
        }
        NoBoxes boxes;
        StartOptions options;
        options.port = QString::number(peer.port());
        MainWindow window(boxes, options);
        SitesWindow &sitesWindow = window.sitesWindow();
        for (int attempt = 0; attempt < 200 && !sitesWindow.refreshAction()->isEnabled(); ++attempt) {
            window.mnuMainFileConnectClick();
            QTest::qWait(20);
        }
        QVERIFY(sitesWindow.refreshAction()->isEnabled());
        named<QAction>(window, "mnuMainViewSites")->trigger();
        QVERIFY(sitesWindow.isVisible() && sitesWindow.isWindow() && !sitesWindow.isModal());

        sitesWindow.refreshAction()->trigger();
        QTableView *table = sitesWindow.table();
        QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 2, 10000);
        QCOMPARE(sitesWindow.chart()->lineCount(), 2);
        const QString leakSite = QStringLiteral("sites_program.c:") + QString::fromLatin1(sites["leak"][3]);
        int leakRow = -1;
        for (int row = 0; row < 2; ++row) {
            if (table->model()->index(row, int(SiteColumn::Site)).data().toString() == leakSite)
                leakRow = row;
        }
        QVERIFY2(leakRow >= 0, qPrintable(leakSite));
        table->selectRow(leakRow);
        QCOMPARE(sitesWindow.chart()->lineCount(), 1);
        sitesWindow.generateAction()->trigger();
        QTableView *code = named<QTableView>(window, "lvwCode");
        QCOMPARE(code->model()->rowCount(), 1);
        QCOMPARE(code->model()->index(0, 1).data().toString(),
                 QStringLiteral("VexalFreeThese(\"%1\", %2, %2, 0, 0, 0, 0, 0);")
                     .arg(QString::fromLocal8Bit(sites["leak"][2]), QString::fromLatin1(sites["leak"][3])));
        QVERIFY(named<QAction>(window, "mnuMainFileSaveCode")->isEnabled());

        // The connection lost ends the automatic refresh and empties the window.
        sitesWindow.autoRefreshAction()->trigger();
        peer.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!sitesWindow.autoRefreshAction()->isChecked(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 0, 10000);
        QVERIFY(!sitesWindow.refreshAction()->isEnabled());
        window.close();
    }

    void theSynthesisPanelKeepsItsChoicesBetweenRuns()
    {
        NoBoxes boxes;
        {
            MainWindow window(boxes);
            named<QRadioButton>(window, "rbnMinMaxSizes")->click();
            QLineEdit *max = named<QLineEdit>(window, "edtSizeMax");
            QVERIFY(max->isEnabled() && !named<QLineEdit>(window, "edtLineMax")->isEnabled());
            max->setText(QStringLiteral("2147483647"));
            max->setText(QStringLiteral("2147483648"));
            QCOMPARE(max->text(), QStringLiteral("2147483647"));
            named<QRadioButton>(window, "rbnAllLines")->click();
            named<QRadioButton>(window, "rbnTabs")->click();
            named<QSpinBox>(window, "updIndent")->setValue(5);
            named<QCheckBox>(window, "cbxThreadRemove")->click();
            window.close();
        }
        MainWindow window(boxes);
        QVERIFY(named<QRadioButton>(window, "rbnMinMaxSizes")->isChecked());
        QVERIFY(named<QRadioButton>(window, "rbnAllLines")->isChecked());
        QVERIFY(named<QLineEdit>(window, "edtSizeMax")->isEnabled());
        QCOMPARE(named<QLineEdit>(window, "edtSizeMax")->text(), QStringLiteral("2147483647"));
        QVERIFY(named<QRadioButton>(window, "rbnTabs")->isChecked() && !named<QRadioButton>(window, "rbnSpaces")->isChecked());
        QCOMPARE(named<QSpinBox>(window, "updIndent")->value(), 5);
        QVERIFY(named<QCheckBox>(window, "cbxThreadRemove")->isChecked());
        window.close();
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
