// SPDX-License-Identifier: GPL-3.0-or-later
// The system's network state through Qt's NetworkManager backend, against a stand-in NetworkManager
// on a private system bus.
#include "archive/systemnetworkstatus.h"
#include "desktopharness.h"

#include <QSignalSpy>
#include <QTest>

using namespace Starvane;
using Test::StandInNetworkManager;

class TestNetworkStatus : public QObject
{
    Q_OBJECT
    Test::PrivateBus m_bus;
    StandInNetworkManager m_nm;
    std::unique_ptr<SystemNetworkStatus> m_status;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_bus.start(), qPrintable(m_bus.error()));
        // Before anything in this process opens the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().toUtf8());
        QVERIFY2(m_nm.start(QStringLiteral(STANDIN_NM), m_bus.address()), qPrintable(m_nm.error()));
        m_status = std::make_unique<SystemNetworkStatus>();
        QCOMPARE(m_status->backendName(), QStringLiteral("networkmanager"));
        QVERIFY(m_status->isOnline());
        QVERIFY(!m_status->isMetered());
    }

    void followsTheConnection_data()
    {
        QTest::addColumn<uint>("state");
        QTest::addColumn<uint>("connectivity");
        QTest::addColumn<uint>("metered");
        QTest::addColumn<bool>("online");
        QTest::addColumn<bool>("isMetered");
        // Each row changes something against the one before.
        QTest::newRow("disconnected") << uint(StandInNetworkManager::disconnected) << uint(StandInNetworkManager::none)
                                      << uint(StandInNetworkManager::meteredNo) << false << false;
        QTest::newRow("online again") << uint(StandInNetworkManager::connectedGlobal)
                                      << uint(StandInNetworkManager::full) << uint(StandInNetworkManager::meteredNo)
                                      << true << false;
        // A portal or a local network only is what a blocked connectivity check reports too: no hold.
        QTest::newRow("captive portal") << uint(StandInNetworkManager::connectedGlobal)
                                        << uint(StandInNetworkManager::portal) << uint(StandInNetworkManager::meteredNo)
                                        << true << false;
        QTest::newRow("metered hotspot") << uint(StandInNetworkManager::connectedGlobal)
                                         << uint(StandInNetworkManager::full) << uint(StandInNetworkManager::meteredYes)
                                         << true << true;
        QTest::newRow("local network only")
            << uint(StandInNetworkManager::connectedSite) << uint(StandInNetworkManager::limited)
            << uint(StandInNetworkManager::meteredNo) << true << false;
        QTest::newRow("guessed metered") << uint(StandInNetworkManager::connectedGlobal)
                                         << uint(StandInNetworkManager::full)
                                         << uint(StandInNetworkManager::meteredGuessYes) << true << true;
        QTest::newRow("disconnected again") << uint(StandInNetworkManager::disconnected)
                                            << uint(StandInNetworkManager::none)
                                            << uint(StandInNetworkManager::meteredNo) << false << false;
    }

    void followsTheConnection()
    {
        QFETCH(uint, state);
        QFETCH(uint, connectivity);
        QFETCH(uint, metered);
        QFETCH(bool, online);
        QFETCH(bool, isMetered);
        QSignalSpy changed(m_status.get(), &NetworkStatus::changed);
        QVERIFY2(m_nm.set(state, connectivity, metered), qPrintable(m_nm.error()));
        QTRY_COMPARE(m_status->isOnline(), online);
        QTRY_COMPARE(m_status->isMetered(), isMetered);
        QVERIFY(changed.count() > 0 || (online == m_status->isOnline() && isMetered == m_status->isMetered()));
    }
};

QTEST_GUILESS_MAIN(TestNetworkStatus)
#include "tst_networkstatus.moc"
