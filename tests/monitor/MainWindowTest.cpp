// SPDX-License-Identifier: MIT
// The desktop window as a user meets it before connecting: its controls by
// name, their hints, shortcuts and groups, the edits' check, About, and the
// settings written at Quit.
#include <About.h>
#include <Application.h>
#include <MainWindow.h>
#include <MessageBoxes.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

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
            {"mnuMainCodeGenerate", "", false}};
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
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
