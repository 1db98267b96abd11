// SPDX-License-Identifier: MIT
// The settings store: first run, a round trip, the stored forms, and Reset
// and Quit answered both ways.
#include "RecordingView.h"

#include <settings/MonitorSettings.h>
#include <window/MonitorController.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace vexal::monitor;
using vexal::monitor::test::RecordingView;

class SettingsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    SettingsStore store_;

    QString configFile() const { return home_.filePath(QStringLiteral("Quillon/Vexal.conf")); }

    static MonitorSettings changedSettings()
    {
        MonitorSettings s;
        s.mainTop = 7;
        s.mainLeft = -20;
        s.ipAddress = {QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
        s.portNumber = QStringLiteral("6000");
        s.autoStart = true;
        s.videoSpeed = 200;
        s.fullPath = true;
        s.lineCheck = 2;
        s.sizeCheck = 0;
        s.indexCheck = 1;
        s.minLine = QStringLiteral("1");
        s.maxLine = QStringLiteral("2");
        s.minSize = QStringLiteral("3");
        s.maxSize = QStringLiteral("4");
        s.minIndex = QStringLiteral("5");
        s.maxIndex = QStringLiteral("6");
        s.skipFileName = true;
        s.callingThread = true;
        s.spaces = false;
        s.tabs = true;
        s.indentation = 999;
        return s;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }

    void init() { resetSettings(store_); }

    void aFirstRunReadsTheDefaults()
    {
        const MonitorSettings loaded = MonitorSettings::load(store_);
        QCOMPARE(loaded, MonitorSettings{});
        QCOMPARE(loaded.mainTop, 50);
        QCOMPARE(loaded.portNumber, QStringLiteral("5913"));
        QCOMPARE(loaded.videoSpeed, kPeriodFast);
        QCOMPARE(loaded.lineCheck, int(FilterChoice::Exact));
        QCOMPARE(loaded.indexCheck, int(FilterChoice::All));
        QCOMPARE(loaded.indentation, 2);
    }

    void everyValueComesBackInItsStoredForm()
    {
        changedSettings().save(store_);
        QCOMPARE(MonitorSettings::load(store_), changedSettings());

        QSettings raw(configFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Connection/AutoStart")).toString(), QStringLiteral("1"));
        QCOMPARE(raw.value(QStringLiteral("Synthesis/Spaces")).toString(), QStringLiteral("0"));
        QCOMPARE(raw.value(QStringLiteral("Connection/IPAddress_0")).toString(), QStringLiteral("10"));
        QCOMPARE(raw.childGroups(), (QStringList{"Analysis", "Connection", "Position", "Synthesis"}));
    }

    void aValueOfAnotherTypeReadsAsTheDefault()
    {
        store_.writeString(subkey::kPosition, QStringLiteral("mainTop"), QStringLiteral("high"));
        store_.writeString(subkey::kConnection, QStringLiteral("AutoStart"), QStringLiteral("yes"));
        const MonitorSettings loaded = MonitorSettings::load(store_);
        QCOMPARE(loaded.mainTop, 50);
        QCOMPARE(loaded.autoStart, false);
    }

    void resetAndQuitAnsweredNoChangesNothing()
    {
        changedSettings().save(store_);
        RecordingView view;
        MonitorController controller(view);
        view.answerYes = false;
        QVERIFY(!controller.resetAndQuit(store_));
        QCOMPARE(view.statuses.last(), QStringLiteral("Nothing changed."));
        QCOMPARE(view.messages.size(), std::size_t(1));
        QCOMPARE(view.messages[0],
                 (MessageBox{QStringLiteral("Reset IP Address, Port Number, and all other settings"),
                             QStringLiteral("Are you sure you want to reset all to their default values?"),
                             MessageIcon::Question}));
        QCOMPARE(MonitorSettings::load(store_), changedSettings());
    }

    void resetAndQuitAnsweredYesLeavesAFirstRun()
    {
        changedSettings().save(store_);
        store_.writeString(subkey::kPaths, QStringLiteral("CodePath"), QStringLiteral("/tmp/x.c"));
        RecordingView view;
        MonitorController controller(view);
        view.answerYes = true;
        QVERIFY(controller.resetAndQuit(store_));
        QCOMPARE(view.messages.size(), std::size_t(2));
        QCOMPARE(view.messages[1],
                 (MessageBox{QStringLiteral("Quitting..."),
                             QStringLiteral("All settings done in the program are reset to default values.\r\n"
                                            "The program will now terminate. Please restart the program to go on."),
                             MessageIcon::None}));
        QCOMPARE(MonitorSettings::load(store_), MonitorSettings{});
        QVERIFY(QSettings(configFile(), QSettings::IniFormat).childGroups().isEmpty());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
