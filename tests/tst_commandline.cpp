// SPDX-License-Identifier: GPL-3.0-or-later
// What each command line asks for, and which ones are refused with a reason.
#include "commandline.h"

#include <QTest>

using namespace Starvane;
using Kind = Command::Kind;

Q_DECLARE_METATYPE(Starvane::Command::Kind)

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("atLogin");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("error");

        const QStringList none;
        QTest::newRow("no command starts the app") << QStringList{} << Kind::run << false << none << QString();
        QTest::newRow("at login") << QStringList{"--at-login"} << Kind::run << true << none << QString();
        QTest::newRow("next") << QStringList{"next"} << Kind::next << false << none << QString();
        QTest::newRow("pause") << QStringList{"pause"} << Kind::pause << false << none << QString();
        QTest::newRow("resume") << QStringList{"resume"} << Kind::resume << false << none << QString();
        QTest::newRow("status") << QStringList{"status"} << Kind::status << false << none << QString();
        QTest::newRow("show") << QStringList{"show"} << Kind::show << false << none << QString();
        QTest::newRow("quit") << QStringList{"quit"} << Kind::quit << false << none << QString();
        QTest::newRow("previous") << QStringList{"previous"} << Kind::previous << false << none << QString();
        QTest::newRow("keep") << QStringList{"keep"} << Kind::keep << false << none << QString();
        QTest::newRow("unkeep") << QStringList{"unkeep"} << Kind::unkeep << false << none << QString();
        QTest::newRow("never-again") << QStringList{"never-again"} << Kind::neverAgain << false << none << QString();
        QTest::newRow("history") << QStringList{"history"} << Kind::history << false << none << QString();
        QTest::newRow("history --json") << QStringList{"history", "--json"} << Kind::history << false << none
                                        << QString();
        QTest::newRow("history with a word") << QStringList{"history", "all"} << Kind::invalid << false << none
                                             << QStringLiteral("'history' takes no arguments but --json");
        QTest::newRow("-h") << QStringList{"-h"} << Kind::help << false << none << QString();
        QTest::newRow("--help") << QStringList{"--help"} << Kind::help << false << none << QString();
        QTest::newRow("help") << QStringList{"help"} << Kind::help << false << none << QString();
        QTest::newRow("-v") << QStringList{"-v"} << Kind::version << false << none << QString();
        QTest::newRow("--version") << QStringList{"--version"} << Kind::version << false << none << QString();
        QTest::newRow("check-image keeps every file, spaces included")
            << QStringList{"check-image", "a.jpg", "dir with space/b.jpg", "next"} << Kind::checkImage << false
            << QStringList{"a.jpg", "dir with space/b.jpg", "next"} << QString();

        QTest::newRow("status --json") << QStringList{"status", "--json"} << Kind::status << false << none << QString();
        for (const char *word : {"manual", "5m", "15m", "hourly", "daily"})
            QTest::addRow("frequency %s", word) << QStringList{"frequency", word} << Kind::frequency << false << none << QString();
        QTest::newRow("displays all") << QStringList{"displays", "all"} << Kind::displays << false << none << QString();
        QTest::newRow("displays main") << QStringList{"displays", "main"} << Kind::displays << false << none << QString();
        QTest::newRow("displays each") << QStringList{"displays", "each"} << Kind::displays << false << none << QString();
        QTest::newRow("lock screen on") << QStringList{"lock-screen", "on"} << Kind::lockScreen << false << none
                                        << QString();
        QTest::newRow("history show by line")
            << QStringList{"history", "show", "2"} << Kind::historyShow << false << none << QString();
        QTest::newRow("history show by id")
            << QStringList{"history", "show", "heic0506a"} << Kind::historyShow << false << none << QString();
        const QString showNeeds = QStringLiteral(
            "'history show' needs a line number of 'starvane history' (1 is the newest) or a wallpaper's id");
        QTest::newRow("history show 0") << QStringList{"history", "show", "0"} << Kind::invalid << false << none
                                        << showNeeds;
        QTest::newRow("history show, nothing")
            << QStringList{"history", "show"} << Kind::invalid << false << none << showNeeds;
        QTest::newRow("history show, a path")
            << QStringList{"history", "show", "../x"} << Kind::invalid << false << none << showNeeds;
        QTest::newRow("allow-again") << QStringList{"allow-again", "potw2048a"} << Kind::allowAgain << false << none
                                     << QString();
        QTest::newRow("allow-again, two ids")
            << QStringList{"allow-again", "a", "b"} << Kind::invalid << false << none
            << QStringLiteral("'allow-again' needs the id of a wallpaper (see 'starvane history')");
        QTest::newRow("only-kept on") << QStringList{"only-kept", "on"} << Kind::onlyKept << false << none << QString();
        QTest::newRow("save-data off") << QStringList{"save-data", "off"} << Kind::saveData << false << none
                                       << QString();
        QTest::newRow("metered on") << QStringList{"metered", "on"} << Kind::metered << false << none << QString();
        QTest::newRow("notify off") << QStringList{"notify", "off"} << Kind::notify << false << none << QString();
        QTest::newRow("caption on") << QStringList{"caption", "on"} << Kind::showCaption << false << none << QString();
        QTest::newRow("dim-in-dark off") << QStringList{"dim-in-dark", "off"} << Kind::dimInDarkStyle << false << none
                                         << QString();
        QTest::newRow("notify yes") << QStringList{"notify", "yes"} << Kind::invalid << false << none
                                    << QStringLiteral("'notify' needs one of: on, off");
        QTest::newRow("lock screen, no word") << QStringList{"lock-screen"} << Kind::invalid << false << none
                                              << QStringLiteral("'lock-screen' needs one of: on, off");

        const QString frequencyWords = QStringLiteral("'frequency' needs one of: manual, 5m, 15m, hourly, daily");
        QTest::newRow("frequency without a word") << QStringList{"frequency"} << Kind::invalid << false << none << frequencyWords;
        QTest::newRow("frequency by its label") << QStringList{"frequency", "every15Minutes"} << Kind::invalid << false << none << frequencyWords;
        QTest::newRow("frequency twice") << QStringList{"frequency", "5m", "daily"} << Kind::invalid << false << none << frequencyWords;
        QTest::newRow("displays, wrong case") << QStringList{"displays", "Main"} << Kind::invalid << false << none
                                              << QStringLiteral("'displays' needs one of: all, main, each");
        QTest::newRow("json before the command") << QStringList{"--json", "status"} << Kind::invalid << false << none
                                                 << QStringLiteral("unknown command '--json'");
        QTest::newRow("status with a word") << QStringList{"status", "now"} << Kind::invalid << false << none
                                            << QStringLiteral("'status' takes no arguments but --json");
        QTest::newRow("json on another command") << QStringList{"next", "--json"} << Kind::invalid << false << none
                                                 << QStringLiteral("'next' takes no arguments");

        QTest::newRow("check-image without files")
            << QStringList{"check-image"} << Kind::invalid << false << none
            << QStringLiteral("'check-image' needs at least one file");
        QTest::newRow("unknown command") << QStringList{"nxt"} << Kind::invalid << false << none
                                         << QStringLiteral("unknown command 'nxt'");
        QTest::newRow("unknown option") << QStringList{"--frequency=daily"} << Kind::invalid << false << none
                                        << QStringLiteral("unknown command '--frequency=daily'");
        QTest::newRow("commands are case-sensitive") << QStringList{"Next"} << Kind::invalid << false << none
                                                     << QStringLiteral("unknown command 'Next'");
        QTest::newRow("empty argument") << QStringList{""} << Kind::invalid << false << none
                                        << QStringLiteral("unknown command ''");
        QTest::newRow("extra argument to next") << QStringList{"next", "now"} << Kind::invalid << false << none
                                                << QStringLiteral("'next' takes no arguments");
        QTest::newRow("two commands") << QStringList{"pause", "quit"} << Kind::invalid << false << none
                                      << QStringLiteral("'pause' takes no arguments");
        QTest::newRow("option after at-login") << QStringList{"--at-login", "next"} << Kind::invalid << false
                                               << none << QStringLiteral("'--at-login' takes no arguments");
        QTest::newRow("help with trailing words") << QStringList{"--help", "me"} << Kind::invalid << false << none
                                                  << QStringLiteral("'--help' takes no arguments");
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Kind, kind);
        QFETCH(bool, atLogin);
        QFETCH(QStringList, files);
        QFETCH(QString, error);

        // The program's own path comes first and never counts as a command.
        const Command c = parseCommandLine(QStringList{"/usr/bin/next"} + arguments);
        QCOMPARE(c.kind, kind);
        if (kind != Kind::invalid) QCOMPARE(c.atLogin, atLogin);
        QCOMPARE(c.files, files);
        QCOMPARE(c.error, error);
        QCOMPARE(c.json, arguments.contains("--json") && (kind == Kind::status || kind == Kind::history));
        const QList<Kind> withChoice{Kind::frequency,  Kind::displays,    Kind::lockScreen,    Kind::onlyKept,
                                     Kind::saveData,   Kind::metered,     Kind::notify,        Kind::historyShow,
                                     Kind::allowAgain, Kind::showCaption, Kind::dimInDarkStyle};
        QCOMPARE(c.choice, withChoice.contains(kind) ? arguments.last() : QString());
    }

    void usageNamesEveryCommand()
    {
        const QString usage = usageText();
        for (const char *word :
             {"next",      "previous",    "keep",   "unkeep",    "never-again",  "history",     "pause",
              "resume",    "status",      "--json", "frequency", "displays",     "lock-screen", "show",
              "quit",      "check-image", "--help", "--version", "history show", "allow-again", "only-kept",
              "save-data", "metered",     "notify", "caption",   "dim-in-dark"})
            QVERIFY2(usage.contains(QLatin1String(word)), word);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
