// SPDX-License-Identifier: MIT
// The monitor's storing of library messages: what each number stores and
// whom it wakes.
#include <connection/ReceivedState.h>

#include <QTest>

#include <cstring>
#include <string>

using namespace vexal::monitor;

namespace {

SocketData message(std::initializer_list<std::string> fields)
{
    SocketData sd;
    clearSocketData(&sd);
    for (const std::string &field : fields)
        addSocketData(&sd, field.c_str());
    return sd;
}

SocketData statusMessage(int number)
{
    SocketData sd;
    clearSocketData(&sd);
    addIntSocketData(&sd, number);
    for (int i = 1; i <= TRANSFER_STATUS_VALUES; ++i)
        addBigIntSocketData(&sd, i == 1 ? 9000000000LL : i == 13 ? -5 : i);
    return sd;
}

} // namespace

class ReceivedStateTest : public QObject {
    Q_OBJECT

private slots:
    void statusRepliesFillEveryCounterAndWakeTheirOwnWaiter()
    {
        ReceivedState state;
        QCOMPARE(receiveMessage(statusMessage(MSG_SUMMARY).data, state), Wake::SummaryReply);
        QCOMPARE(state.data.calls[0], 9000000000LL);
        QCOMPARE(state.data.calls[11], 12);
        QCOMPARE(state.data.stillAllocated[0], -5);
        QCOMPARE(state.data.stillAllocated[11], 24);
        QCOMPARE(state.data.freeFailed, 25);
        QCOMPARE(state.data.addressNotStored, 26);
        QCOMPARE(state.data.internalUse, 27);
        // The list's closing reply carries the same values but wakes the list wait.
        ReceivedState afterList;
        QCOMPARE(receiveMessage(statusMessage(MSG_LIST_END).data, afterList), Wake::ListReply);
        QCOMPARE(afterList.data.internalUse, 27);
    }

    void listRecordKeepsSixtyFourBitValuesAndCutsALongFileName()
    {
        ReceivedState state;
        state.data.command = MSG_LIST_NEXT;
        const std::string longName(700, 'f');
        const SocketData record = message({"3", "11", "6000000000", "42", "-140737488355328", longName, "77", "-3"});
        QCOMPARE(receiveMessage(record.data, state), Wake::ListRecord);
        QCOMPARE(state.data.recordType, 11);
        QCOMPARE(state.data.recordSize, 6000000000LL);
        QCOMPARE(state.data.line, 42);
        QCOMPARE(state.data.address, -140737488355328LL);
        QCOMPARE(std::strlen(state.data.fileName), sizeof state.data.fileName - 1);
        QCOMPARE(state.data.recordIndex, 77);
        QCOMPARE(state.data.threadId, -3);
        QCOMPARE(state.data.command, MSG_LIST_NEXT);  // the pending command is not the received number
    }

    void listLengthIsAlsoTheCountOfRecordsToLoad()
    {
        ReceivedState state;
        QCOMPARE(receiveMessage(message({"2", "250"}).data, state), Wake::ListReply);
        QCOMPARE(state.data.listLength, 250);
        QCOMPARE(state.recordsToLoad, 250);
    }

    void reportCallsStoreTheirOwnCallSiteAndEndContinuousSummary()
    {
        ReceivedState state;
        state.continuous = true;
        QCOMPARE(receiveMessage(message({"7", "src/job.c", "80"}).data, state), Wake::StatusCall);
        QCOMPARE(state.statusCall, (CallSite{"src/job.c", 80}));
        QCOMPARE(state.listCall, CallSite{});
        QVERIFY(!state.continuous);

        state.continuous = true;
        QCOMPARE(receiveMessage(message({"8", "list.c", "9"}).data, state), Wake::ListCall);
        QCOMPARE(state.listCall, (CallSite{"list.c", 9}));
        QCOMPARE(state.statusCall, (CallSite{"src/job.c", 80}));
        QVERIFY(!state.continuous);
    }

    void echoOfDisconnectClearsConnectedAndContinuous()
    {
        ReceivedState state;
        state.connected = state.continuous = true;
        QCOMPARE(receiveMessage(message({"0"}).data, state), Wake::Disconnected);
        QVERIFY(!state.connected);
        QVERIFY(!state.continuous);
    }

    void siteMessagesTellThatTheLibraryGroupsSitesAndEachEndAnswersOneRequest()
    {
        ReceivedState state;
        QCOMPARE(receiveMessage(message({"9", "/src/a.c", "42", "1", "3", "4096", "7", "9"}).data, state), Wake::Site);
        QCOMPARE(state.sites, SitesSupport::Grouped);
        QCOMPARE(QByteArray(state.data.fileName), QByteArray("/src/a.c"));
        QCOMPARE(state.data.siteBytes, 4096LL);
        QCOMPARE(state.sitesAnswered, 0LL);
        QCOMPARE(receiveMessage(message({"10", "1", "3", "4096", "10"}).data, state), Wake::SitesEnd);
        QCOMPARE(state.sitesAnswered, 1LL);
        QCOMPARE(state.data.nextIndex, 10LL);
    }

    void numbersOutsideTheProtocolChangeNothing()
    {
        for (const char *number : {"11", "257", "-255", "265"}) {
            ReceivedState state;
            state.connected = state.continuous = true;
            const QByteArray before(reinterpret_cast<const char *>(&state.data), sizeof state.data);
            QCOMPARE(receiveMessage(message({number, "1", "2", "3"}).data, state), Wake::Nothing);
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(&state.data), sizeof state.data), before);
            QVERIFY(state.connected && state.continuous);
        }
    }
};

QTEST_APPLESS_MAIN(ReceivedStateTest)
#include "ReceivedStateTest.moc"
