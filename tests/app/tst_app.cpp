// Start-up parsing, the main panel window and the external tools, with scripted message boxes
// and modal runs, and stand-in programs that write down the arguments they were started with.
#include "app/cmdline.h"
#include "app/paneldlg.h"
#include "app/startup.h"
#include "app/tools.h"
#include "graphs/trafficgraph.h"
#include "platform/platform.h"
#include "qvsnmp/qvsnmp.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

struct Asked {
    QString text;
    bool okCancel;
};

// Writes an executable shell script that records its arguments, one per line, in out.
void writeStandIn(const QString& path, const QString& out) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral(
                "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '%1.tmp' && mv '%1.tmp' '%1'\n")
                .arg(out)
                .toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList readLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void setSession(const QString& n, const QString& agent, int right) {
    g_strNValue = n;
    UseSimulator(0, agent);
    g_bUserRight = right;
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<Asked> m_asked;
    QStringList m_modal;  // window titles of the dialogs run modally
    QStringList m_labels; // the texts the last of them showed
    platform::Answer m_answer = platform::Answer::Ok;
    QByteArray m_oldPath;

    void recordModalRuns() {
        platform::SetRunModalHook([this](QDialog* d) {
            m_modal.append(d->windowTitle());
            m_labels.clear();
            for (const QLabel* label : d->findChildren<QLabel*>())
                m_labels.append(label->text());
            return 0;
        });
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // The window polls the panel: toward a port where nobody answers.
        SetSnmpAgentPort(FreeUdpPort());
        QDir().mkpath(path(QStringLiteral("bin")));
        m_oldPath = qgetenv("PATH");
        qputenv("PATH", path(QStringLiteral("bin")).toUtf8() + ':' + m_oldPath);
        platform::SetMessageBoxHook([this](QWidget*, const QString& text, bool okCancel) {
            m_asked.append({text, okCancel});
            return m_answer;
        });
        recordModalRuns();
    }

    void init() {
        m_asked.clear();
        m_modal.clear();
        m_answer = platform::Answer::Ok;
        setSession(QStringLiteral("sw-a"), QStringLiteral("127.0.0.5"), 1);
    }

    void cleanupTestCase() {
        platform::SetMessageBoxHook({});
        platform::SetRunModalHook({});
        qputenv("PATH", m_oldPath);
    }

    void parse_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected"); // N, agent, read, write, right
        auto row = [](const char* name, const char* line, QStringList e) {
            QTest::newRow(name) << QString::fromUtf8(line) << e;
        };
        row("empty", "", {"", "127.0.0.1", "orchid", "saffron", "1"});
        row("complete", "/Nsw-a /I127.0.0.5 /Rr1 /Ww1 /UTRUE",
            {"sw-a", "127.0.0.5", "r1", "w1", "1"});
        row("no blanks", "/Nx/I127.0.0.5", {"x", "127.0.0.5", "orchid", "saffron", "1"});
        row("empty read", "/Nx /Ix /R /Wabc", {"x", "x", "orchid", "abc", "1"});
        row("true", "/Nx /Ia /Rr /Ww /Utrue", {"x", "a", "r", "w", "1"});
        row("True", "/Nx /Ia /Rr /Ww /UTrue", {"x", "a", "r", "w", "0"});
        row("FALSE", "/Nx /Ia /Rr /Ww /UFALSE", {"x", "a", "r", "w", "0"});
        row("False", "/Nx /Ia /Rr /Ww /UFalse", {"x", "a", "r", "w", "0"});
        row("empty right", "/Nx /Ia /Rr /Ww /U", {"x", "a", "r", "w", "0"});
        row("only agent", "/I1.2.3.4", {"1.2.3.4", "127.0.0.1", "orchid", "saffron", "1"});
        row("no /I", "/Nname /Xa /Rr", {"name", "127.0.0.1", "orchid", "saffron", "1"});
        row("empty agent stops", "/Nx /I /Rr /Ww /UFALSE", {"x", "", "orchid", "saffron", "1"});
        row("blanks inside values", "/Ns w /I127. 0.0.5 /R o /W s /U TR UE",
            {"sw", "127.0.0.5", "o", "s", "1"});
        row("sixth field ignored", "/Nx /Ia /Rr /Ww /UTRUE /Zjunk", {"x", "a", "r", "w", "1"});
        row("one character", "/", {"", "127.0.0.1", "orchid", "saffron", "1"});
        row("one letter", "x", {"", "127.0.0.1", "orchid", "saffron", "1"});
        // Over-long values count as empty: the agent address then ends the parsing.
        row("long name", "/N12345678901234567890 /Ia", {"", "a", "orchid", "saffron", "1"});
        row("name at capacity", "/N1234567890123456789 /Ia",
            {"1234567890123456789", "a", "orchid", "saffron", "1"});
        row("host name", "/Nx /Iswitch-7.example /Rr",
            {"x", "switch-7.example", "r", "saffron", "1"});
        row("IPv6 address", "/Nx /Ifd00::17 /Rr", {"x", "fd00::17", "r", "saffron", "1"});
        row("agent at capacity", ("/Nx /I" + QByteArray(255, 'a') + " /Rr").constData(),
            {"x", QString(255, 'a'), "r", "saffron", "1"});
        row("long agent", ("/Nx /I" + QByteArray(256, 'a') + " /Rr").constData(),
            {"x", "", "orchid", "saffron", "1"});
        row("long read community", ("/Nx /Ia /R" + QByteArray(50, 'c') + " /Ww").constData(),
            {"x", "a", "orchid", "w", "1"});
        row("long right", "/Nx /Ia /Rr /Ww /UTRUEFALSEX", {"x", "a", "r", "w", "0"});
    }

    void parse() {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        SessionParams p;
        p.agentAddress = QString::fromLatin1(kDefaultAgentAddress);
        p.readCommunity = QStringLiteral("orchid");
        p.writeCommunity = QStringLiteral("saffron");
        ParseCommandLine(line, p);
        QCOMPARE((QStringList{p.nValue, p.agentAddress, p.readCommunity, p.writeCommunity,
                              QString::number(p.userRight)}),
                 expected);
    }

    void parameterStringJoinsArguments() {
        QCOMPARE(ParameterString({"talvex", "/Nx", "/I1.2.3.4"}), QStringLiteral("/Nx /I1.2.3.4"));
        QCOMPARE(ParameterString({"talvex"}), QString());
    }

    void title() {
        setSession({}, {}, 1);
        QCOMPARE(CPanelDlg().windowTitle(), QStringLiteral("Talvex: "));
        setSession({}, QStringLiteral("127.0.0.5"), 1);
        QCOMPARE(CPanelDlg().windowTitle(), QStringLiteral("Talvex: 127.0.0.5"));
    }

    void menuBarItems() {
        CPanelDlg dlg;
        QStringList items;
        std::function<void(const QList<QAction*>&, const QString&)> collect =
            [&](const QList<QAction*>& actions, const QString& place) {
                for (QAction* a : actions) {
                    if (a->isSeparator())
                        items << place + QStringLiteral("|-");
                    else if (a->menu())
                        collect(a->menu()->actions(), place + QLatin1Char('|') + a->text());
                    else
                        items << place + QLatin1Char('|') + a->text() + QLatin1Char('=') +
                                     a->data().toString();
                }
            };
        collect(dlg.menuBar()->actions(), QString());
        const QStringList expected = {
            "|Public MIB  |System Info...=32787",
            "|Public MIB  |Interface Info...=32788",
            "|Public MIB  |ARP Info...=32789",
            "|Public MIB  |Router Info...=32790",
            "|Public MIB  |Forwarding Table...=32791",
            "|Public MIB  |RMON|RMON 1...=32804",
            "|Public MIB  |RMON|RMON 2...=32805",
            "|Public MIB  |RMON|RMON 3 6...=32806",
            "|Public MIB  |STP Info...=32796",
            "|Public MIB  |-",
            "|Public MIB  |Device Info...=32964",
            "|Public MIB  |Device Events...=32970",
            "|Public MIB  |Panel Refresh=32808",
            "|Private MIB  |CPU Utilization...=32809",
            "|Private MIB  |Memory Info...=32811",
            "|Tool  |Telnet...=32800",
            "|Tool  |Web...=32813",
            "|About=32814",
        };
        QCOMPARE(items, expected);
    }

    void commandsWithoutPages() {
        CPanelDlg dlg;
        QVERIFY(dlg.OnCommand(res::kCmdNothing2));
        QVERIFY(dlg.OnCommand(res::kCmdNothing1));
        QVERIFY(m_modal.isEmpty() && m_asked.isEmpty());
        QVERIFY(dlg.OnCommand(res::kCmdSmartTrunk));
        QCOMPARE(m_modal, QStringList{"Smart Trunk"});
        QVERIFY(dlg.OnCommand(res::kCmdAbout));
        QCOMPARE(m_modal.last(), QStringLiteral("About Talvex Module"));
        QVERIFY(!dlg.OnCommand(12345));
    }

    // The About box, from the menu and from the system menu, shows the version the programs
    // print with --version, as the module's own: the device's firmware is another number.
    void aboutShowsVersion_data() {
        QTest::addColumn<bool>("systemMenu");
        QTest::newRow("menu") << false;
        QTest::newRow("system menu") << true;
    }

    void aboutShowsVersion() {
        QFETCH(bool, systemMenu);
        CPanelDlg dlg;
        QVERIFY(systemMenu ? dlg.OnSysCommand(16) : dlg.OnCommand(res::kCmdAbout));
        QCOMPARE(m_modal, QStringList{"About Talvex Module"});
        QVERIFY2(m_labels.contains(QStringLiteral("Module version: " TALVEX_VERSION
                                                  " (this program, not the device)")),
                 qPrintable(m_labels.join(QLatin1Char('|'))));
        for (const QString& label : m_labels)
            QVERIFY2(!label.contains(QLatin1String("irmware")), qPrintable(label));
    }

    void systemCommands() {
        CPanelDlg dlg;
        for (int id = 0; id < 48; ++id) {
            m_modal.clear();
            QCOMPARE(dlg.OnSysCommand(id), id >= 16 && id <= 31);
            QCOMPARE(m_modal.size(), id >= 16 && id <= 31 ? 1 : 0);
        }
        QVERIFY(!CPanelDlg::IsAboutSysCommand(0xF060)); // the close command
    }

    // Telnet and Web: refusal without the right, confirmation with it, nothing on Cancel.
    void toolCommandsAskFirst_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("question");
        QTest::newRow("telnet") << 32800 << QStringLiteral("Do you want to TELNET this device?");
        QTest::newRow("web") << 32813
                             << QStringLiteral("Do you want to access this device with browser?");
    }

    void toolCommandsAskFirst() {
        QFETCH(int, id);
        QFETCH(QString, question);
        const QString out = path(QStringLiteral("started-%1").arg(id));
        QFile::remove(out);
        writeStandIn(path(QStringLiteral("bin/talvex-terminal")), out);
        writeStandIn(path(QStringLiteral("bin/telnet")), out); // found for "Telnet" ignoring case
        writeBrowserAssociation(out);
        qputenv("TERMINAL", "talvex-terminal");
        CPanelDlg dlg;

        g_bUserRight = 0;
        QVERIFY(dlg.OnCommand(id));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].text, QString::fromUtf8(kNoRightText));
        QVERIFY(!m_asked[0].okCancel);

        g_bUserRight = 1;
        m_asked.clear();
        m_answer = platform::Answer::Cancel;
        QVERIFY(dlg.OnCommand(id));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].text, question);
        QVERIFY(m_asked[0].okCancel);
        QTest::qWait(300);
        QVERIFY(!QFile::exists(out));

        m_answer = platform::Answer::Ok;
        QVERIFY(dlg.OnCommand(id));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 5000);
        QStringList args = readLines(out);
        QVERIFY2(args.contains(QStringLiteral("127.0.0.5")), qPrintable(args.join(' ')));
        qunsetenv("TERMINAL");
    }

    void telnetRunsInTerminal() {
        const QString out = path(QStringLiteral("telnet-args"));
        writeStandIn(path(QStringLiteral("bin/talvex-terminal")), out);
        writeStandIn(path(QStringLiteral("bin/telnet")), path(QStringLiteral("unused")));
        qputenv("TERMINAL", "talvex-terminal");
        QCOMPARE(TelnetCommandLine(), QStringLiteral("Telnet 127.0.0.5"));
        LaunchTelnet(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 5000);
        QCOMPARE(readLines(out),
                 (QStringList{"-e", path(QStringLiteral("bin/telnet")), "127.0.0.5"}));
        g_strAgentAddress.clear();
        QCOMPARE(TelnetCommandLine(), QStringLiteral("Telnet "));
        qunsetenv("TERMINAL");
    }

    void browserAssociation_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("path");
        QTest::newRow("quoted with argument")
            << "\"C:\\Program Files\\Browser\\browse.exe\" -- \"%1\""
            << "C:\\Program Files\\Browser\\browse.exe";
        QTest::newRow("plain") << "D:\\b.exe %1"
                               << "D:\\b.exe";
        QTest::newRow("upper case") << "\"C:\\B\\BROWSE.EXE\" %1"
                                    << "C:\\B\\BROWSE.EXE";
        QTest::newRow("no drive letter") << ":\\browse.exe"
                                         << "";
        QTest::newRow("no colon") << "browse.exe %1"
                                  << "";
        QTest::newRow("no extension") << "C:\\browse %1"
                                      << "";
        QTest::newRow("extension far before") << "x.exe padding C:\\b %1"
                                              << "";
        QTest::newRow("too long") << "C:\\" + QString(200, QLatin1Char('a')) + ".exe"
                                  << "";
    }

    void browserAssociation() {
        QFETCH(QString, value);
        QFETCH(QString, path);
        QCOMPARE(BrowserPathFromAssociation(value), path);
    }

    void browserFromDesktopEntry() {
        const QString out = path(QStringLiteral("browser-args"));
        writeBrowserAssociation(out);
        QCOMPARE(GetBrowserPath(), path(QStringLiteral("bin/talvex-browser")));
        LaunchBrowser(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 5000);
        QCOMPARE(readLines(out), QStringList{"127.0.0.5"});

        QFile::remove(out);
        g_strAgentAddress.clear();
        LaunchBrowser(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 5000);
        QCOMPARE(readLines(out), QStringList{});
    }

    // Exec values as desktop entries write them, with the address 127.0.0.5.
    void desktopExec_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("args");
        auto row = [](const char* name, const char* exec, QStringList args) {
            QTest::newRow(name) << QString::fromUtf8(exec) << args;
        };
        row("plain", "browse %u", {"browse", "127.0.0.5"});
        row("snap",
            "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/b_b.desktop "
            "/snap/bin/b %u",
            {"env", "BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/b_b.desktop",
             "/snap/bin/b", "127.0.0.5"});
        row("flatpak",
            "/usr/bin/flatpak run --branch=stable --command=b --file-forwarding org.b.B @@u %U @@",
            {"/usr/bin/flatpak", "run", "--branch=stable", "--command=b", "--file-forwarding",
             "org.b.B", "@@u", "127.0.0.5", "@@"});
        row("quoted program", "\"/opt/My Browser/b\" --new-window %U",
            {"/opt/My Browser/b", "--new-window", "127.0.0.5"});
        // The string escapes come first: four backslashes in the file give one in the argument.
        row("quoted escapes", "b \"say \\\\\"hi\\\\\" \\\\$5 \\\\` a\\\\\\\\b\" %u",
            {"b", "say \"hi\" $5 ` a\\b", "127.0.0.5"});
        row("string escape blank", "b\\s--private %u", {"b", "--private", "127.0.0.5"});
        row("empty quoted argument", "b \"\" %u", {"b", "", "127.0.0.5"});
        row("blanks", "  b    -x  %u ", {"b", "-x", "127.0.0.5"});
        row("percent", "b --title=100%% %% %u", {"b", "--title=100%", "%", "127.0.0.5"});
        row("file codes", "b %f", {"b", "127.0.0.5"});
        row("file list", "b --files %F", {"b", "--files", "127.0.0.5"});
        row("inside a word", "b --url=%u", {"b", "--url=127.0.0.5"});
        row("deprecated", "b %d %D %n %N %v %m %u", {"b", "127.0.0.5"});
        row("unknown", "b %z -x%y %u %", {"b", "-x", "127.0.0.5"});
        row("icon name file", "b %i --class=%c %k %u",
            {"b", "--icon", "web-b", "--class=The B", "/apps/b.desktop", "127.0.0.5"});
        row("no field code", "b --new-tab", {"b", "--new-tab", "127.0.0.5"});
        row("quote not closed", "\"b %u", {});
        row("empty", "", {});
        row("only codes", "%d %v", {});
    }

    void desktopExec() {
        QFETCH(QString, exec);
        QFETCH(QStringList, args);
        const platform::DesktopEntry entry{"/apps/b.desktop", exec, "The B", "web-b"};
        QCOMPARE(platform::DesktopExecArguments(entry, QStringLiteral("127.0.0.5")), args);
    }

    void desktopExecWithoutAddress() {
        const platform::DesktopEntry entry{{}, "b %u --x=%u", {}, {}};
        QCOMPARE(platform::DesktopExecArguments(entry, {}), (QStringList{"b", "--x="}));
        QCOMPARE(platform::DesktopExecArguments({{}, "b -y", {}, {}}, {}),
                 (QStringList{"b", "-y"}));
        QCOMPARE(platform::DesktopExecArguments({{}, "b %i", {}, {}}, {}), QStringList{"b"});
    }

    // Browsers installed as a snap or a flatpak wrap their program in another: the whole
    // command line runs, and the program it wraps gets the address.
    void browserWrapped_data() {
        QTest::addColumn<QString>("standIn"); // in bin/
        QTest::addColumn<QString>("exec");    // %1: the bin folder
        QTest::addColumn<QStringList>("args");
        QTest::newRow("snap")
            << "talvex-browser"
            << "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/t_t.desktop "
               "%1/talvex-browser %u"
            << QStringList{"127.0.0.5"};
        QTest::newRow("flatpak")
            << "flatpak"
            << "%1/flatpak run --branch=stable --arch=x86_64 --command=browse --file-forwarding "
               "org.example.Browser @@u %u @@"
            << QStringList{"run",
                           "--branch=stable",
                           "--arch=x86_64",
                           "--command=browse",
                           "--file-forwarding",
                           "org.example.Browser",
                           "@@u",
                           "127.0.0.5",
                           "@@"};
        QTest::newRow("quoted, no field code")
            << "talvex-browser"
            << "\"%1/talvex-browser\" --new-window" << QStringList{"--new-window", "127.0.0.5"};
    }

    void browserWrapped() {
        QFETCH(QString, standIn);
        QFETCH(QString, exec);
        QFETCH(QStringList, args);
        const QString out = path(QStringLiteral("wrapped-args"));
        QFile::remove(out);
        writeStandIn(path(QStringLiteral("bin/") + standIn), out);
        writeBrowserEntry(exec.arg(path(QStringLiteral("bin"))), true);
        LaunchBrowser(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 5000);
        QCOMPARE(readLines(out), args);
    }

    // Without a mimeapps.list the browser is asked of xdg-settings, which here answers only
    // once the window's thread has gone on: it must not wait for it.
    void browserFromXdgSettingsLeavesTheWindowRunning() {
        const QString out = path(QStringLiteral("xdg-browser-args"));
        const QString go = path(QStringLiteral("xdg-go"));
        QFile::remove(out);
        QFile::remove(go);
        writeStandIn(path(QStringLiteral("bin/talvex-browser")), out);
        writeBrowserEntry(QStringLiteral("talvex-browser %u"), false);
        QFile xdg(path(QStringLiteral("bin/xdg-settings")));
        QVERIFY(xdg.open(QIODevice::WriteOnly));
        // Waits at most 10 s for the test's signal, then names the entry.
        xdg.write(QStringLiteral(
                      "#!/bin/sh\n[ \"$1 $2\" = 'get default-web-browser' ] || exit 1\n"
                      "n=0; while [ ! -e '%1' ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n+1)); done\n"
                      "echo talvex-browser.desktop\n")
                      .arg(go)
                      .toUtf8());
        xdg.close();
        xdg.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(GetBrowserPath(), QString()); // starts no process

        LaunchBrowser(nullptr);
        QFile signal(go);
        QVERIFY(signal.open(QIODevice::WriteOnly));
        signal.close();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 8000);
        QCOMPARE(readLines(out), QStringList{"127.0.0.5"});
        QFile::remove(xdg.fileName());
    }

    void ospf() {
        QCOMPARE(OspfCommandLine(),
                 QStringLiteral("OSPF.exe   /Nsw-a /I127.0.0.5 /Rorchid /Wsaffron /UTRUE"));
        g_bUserRight = 0;
        QCOMPARE(OspfCommandLine(),
                 QStringLiteral("OSPF.exe   /Nsw-a /I127.0.0.5 /Rorchid /Wsaffron /UFALSE"));
        setSession({}, {}, 1);
        QCOMPARE(OspfCommandLine(), QStringLiteral("OSPF.exe   /N /I /Rorchid /Wsaffron /UTRUE"));
    }

    void ospfStartsFromWorkingDirectory() {
        QTemporaryDir cwd;
        const QString old = QDir::currentPath();
        QDir::setCurrent(cwd.path());
        CPanelDlg dlg;

        QVERIFY(dlg.OnCommand(res::kCmdOspf));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].text, QStringLiteral("Can't load OSPF!"));

        // Present but not a program.
        QFile f(cwd.filePath(QStringLiteral("OSPF.exe")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        m_asked.clear();
        QVERIFY(dlg.OnCommand(res::kCmdOspf));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].text, QStringLiteral("无法装载OSPF工具!"));

        // The tool's name is matched ignoring case, as on the desktop it was written for.
        QFile::remove(f.fileName());
        const QString out = path(QStringLiteral("ospf-args"));
        writeStandIn(cwd.filePath(QStringLiteral("ospf.EXE")), out);
        g_bUserRight = 0;
        m_asked.clear();
        QVERIFY(dlg.OnCommand(res::kCmdOspf));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 5000);
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(readLines(out),
                 (QStringList{"/Nsw-a", "/I127.0.0.5", "/Rorchid", "/Wsaffron", "/UFALSE"}));
        QDir::setCurrent(old);
    }

    // The real modal run: Enter is swallowed, Escape and the close box end it.
    // What the module makes of its agent and communities at start: each unusable value said
    // once in a plain OK box; a community too long ends the start, an unusable address does not.
    void setupSession_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<QString>("agent"); // the address the sessions are built from
        QTest::addColumn<QString>("box");   // a part of the box's text; empty: no box
        const QString c49(49, 'c'), c50(50, 'c');
        QTest::newRow("dotted") << "/Nx /I127.0.0.9" << true << "127.0.0.9"
                                << "";
        QTest::newRow("host name") << "/Nx /Ilocalhost" << true << "127.0.0.1"
                                   << "";
        QTest::newRow("IPv6") << "/Nx /I::1" << true << "::1"
                              << "";
        QTest::newRow("no address") << "/Nx /Inotanaddress" << true << "notanaddress"
                                    << "the host name \"notanaddress\" could not be resolved";
        QTest::newRow("not a name") << "/Nx /I127.0.0.1:161" << true << "127.0.0.1:161"
                                    << "\"127.0.0.1:161\" is neither an IP address nor a host name";
        QTest::newRow("empty address") << "/Nx /I /Rr" << true << ""
                                       << "no agent address";
        QTest::newRow("address too long") << "/Nx /I" + QString(256, 'a') << true << ""
                                          << "longer than 255 characters";
        // DNS names end at 253 characters: labels of 63 and dots.
        const QString label(63, 'h');
        const QString name253 = QStringList{label, label, label, QString(61, 'h')}.join('.');
        QTest::newRow("host name of 253 characters")
            << "/Nx /I" + name253 << true << name253
            << "\"" + name253.left(48) + "...\" could not be resolved";
        QTest::newRow("host name of 255 characters")
            << "/Nx /I" + name253 + ".h" << true << name253 + ".h"
            << "the host name \"" + name253.left(48) +
                   "...\" has 255 characters; a host name has at most 253";
        QTest::newRow("read community at capacity")
            << "/Nx /I127.0.0.9 /R" + c49 << true << "127.0.0.9"
            << "";
        QTest::newRow("read community too long")
            << "/Nx /I127.0.0.9 /R" + c50 + " /Ww" << false << ""
            << "The read community given on the command line is longer than 49";
        QTest::newRow("write community too long")
            << "/Nx /I127.0.0.9 /Rr /W" + c50 << false << ""
            << "The write community given on the command line is longer than 49";
    }

    void setupSession() {
        QFETCH(QString, line);
        QFETCH(bool, runs);
        QFETCH(QString, agent);
        QFETCH(QString, box);
        setSession(QStringLiteral("before"), QStringLiteral("before"), 1);
        QCOMPARE(SetupSession(line), runs);
        QCOMPARE(m_asked.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty()) {
            QVERIFY2(m_asked[0].text.contains(box), qPrintable(m_asked[0].text));
            QVERIFY(!m_asked[0].okCancel);
            // The box wraps its text at blanks: no run without one may outgrow it.
            for (const QString& word : m_asked[0].text.split(' '))
                QVERIFY2(word.size() <= 64, qPrintable(word));
        }
        if (!runs) {
            // Nothing of the refused line is taken, least of all a community in place of the
            // one it gave.
            QCOMPARE(g_strReadCommunity, QStringLiteral("orchid"));
            QCOMPARE(g_strWriteCommunity, QStringLiteral("saffron"));
            QCOMPARE(g_strAgentAddress, QStringLiteral("before"));
            return;
        }
        QCOMPARE(g_strAgentAddress, agent);
    }

    // The module itself ends with a non-zero status on a community too long, saying why.
    void moduleRefusesLongCommunity() {
        QProcess module;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TALVEX_SNAPSHOT"),
                   path(QStringLiteral("never.png"))); // unattended
        module.setProcessEnvironment(env);
        module.start(BuildPath(QStringLiteral("app/talvex")),
                     {"/Nx", "/I127.0.0.5", "/R" + QString(50, 'r'), "/Wsaffron", "/UTRUE"});
        QVERIFY(module.waitForFinished(15000));
        QCOMPARE(module.exitStatus(), QProcess::NormalExit);
        QCOMPARE(module.exitCode(), kRefusedCommandLine);
        QVERIFY(QString::fromUtf8(module.readAllStandardError())
                    .contains(QLatin1String("read community")));
        QVERIFY(!QFile::exists(path(QStringLiteral("never.png"))));
    }

    // When Telnet or the browser cannot start, the operator learns which program was missing.
    void missingProgramsAreNamed_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("present"); // stand-ins on the PATH
        QTest::addColumn<QString>("exec");    // the browser entry's Exec; empty: no browser set
        QTest::addColumn<QString>("box");
        QTest::newRow("telnet missing")
            << 32800 << "talvex-terminal"
            << ""
            << "Telnet could not be started: the program \"Telnet\" was not found.";
        QTest::newRow("terminal missing")
            << 32800 << "telnet"
            << ""
            << "Telnet could not be started: the program \"talvex-terminal\" was not found.";
        QTest::newRow("browser missing")
            << 32813 << ""
            << "talvex-no-browser %u"
            << "The browser could not be started: the program \"talvex-no-browser\" was not found.";
        QTest::newRow("no browser set")
            << 32813 << ""
            << ""
            << "The browser could not be started: no default web browser is set.";
    }

    void missingProgramsAreNamed() {
        QFETCH(int, id);
        QFETCH(QString, present);
        QFETCH(QString, exec);
        QFETCH(QString, box);
        // Only the stand-ins are on the PATH: no terminal, browser or xdg-settings of this
        // machine is found, let alone started.
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        const QString unused = path(QStringLiteral("unused"));
        if (!present.isEmpty()) writeStandIn(bin.filePath(present), unused);
        qputenv("PATH", bin.path().toUtf8());
        qputenv("TERMINAL", "talvex-terminal");
        writeBrowserEntry(exec, !exec.isEmpty());
        CPanelDlg dlg;
        QVERIFY(dlg.OnCommand(id));
        QTRY_COMPARE(m_asked.size(), 2); // the question, then the box
        QCOMPARE(m_asked[1].text, box);
        QVERIFY(!m_asked[1].okCancel);
        QVERIFY(!QFile::exists(unused));
        qputenv("PATH", path(QStringLiteral("bin")).toUtf8() + ':' + m_oldPath);
        qunsetenv("TERMINAL");
    }

    // --help and --version print and end before anything else: no display is needed (the
    // platform named here does not exist), no window opens and nothing is sent.
    void helpAndVersion_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QStringList>("printed");
        const QStringList help =
            QStringLiteral("/N /I /R /W /U TALVEX_AGENT_PORT TALVEX_SYSTEM_DIR TALVEX_SNAPSHOT "
                           "TALVEX_EVENTS RRDCACHED_ADDRESS TALVEX_COLLECT_CONF XDG_CONFIG_HOME "
                           "TALVEX_LOOPBACK_ONLY")
                .split(QLatin1Char(' ')) +
            QStringList{"man talvex"};
        QTest::newRow("--help") << "--help" << help;
        QTest::newRow("-h") << "-h" << help;
        QTest::newRow("--version") << "--version" << QStringList{"talvex " TALVEX_VERSION "\n"};
    }
    void helpAndVersion() {
        QFETCH(QString, argument);
        QFETCH(QStringList, printed);
        QProcess module;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("talvex-no-such-platform"));
        module.setProcessEnvironment(env);
        module.start(BuildPath(QStringLiteral("app/talvex")), {argument});
        if (!module.waitForFinished(5000)) {
            module.kill();
            module.waitForFinished();
            QFAIL("the module did not end");
        }
        QCOMPARE(module.exitStatus(), QProcess::NormalExit);
        QCOMPARE(module.exitCode(), 0);
        const QString out = QString::fromUtf8(module.readAllStandardOutput());
        for (const QString& text : printed)
            QVERIFY2(out.contains(text), qPrintable(text + QLatin1String(" not in: ") + out));
        QCOMPARE(module.readAllStandardError(), QByteArray());
    }

    // Escape or the close box ends the program at once, unless traffic graph windows are open
    // (beside the window, or on their own): then the operator is asked, told what is lost, and
    // Cancel keeps everything open.
    void closingWithGraphsAsks_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Escape") << false;
        QTest::newRow("close box") << true;
    }
    void closingWithGraphsAsks() {
        QFETCH(bool, closeBox);
        CPanelDlg dlg;
        dlg.show();
        auto close = [&] {
            if (closeBox)
                dlg.close();
            else
                QTest::keyClick(&dlg, Qt::Key_Escape);
        };
        dlg.openTrafficGraph(3);
        auto* beside = dlg.findChild<graphs::CTrafficGraphWnd*>();
        QVERIFY(beside);
        auto* own =
            new graphs::CTrafficGraphWnd({graphs::GraphPort{5, QStringLiteral("Interface 5")}});
        own->show();
        // A poll that failed at once is a sample (a gap) too.
        auto samples = [](const graphs::CTrafficGraphWnd* w) {
            const size_t n = w->store().size();
            return QStringLiteral("%1 sample%2").arg(n).arg(QLatin1String(n == 1 ? "" : "s"));
        };

        m_answer = platform::Answer::Cancel;
        close();
        QVERIFY(dlg.isVisible() && own->isVisible() && beside->isVisible());
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(m_asked[0].okCancel);
        QCOMPARE(m_asked[0].text,
                 QStringLiteral(
                     "Closing the module also closes 2 traffic graph windows, and the samples "
                     "they hold are lost:\nTraffic Graph - Interface 3 (%1)\nTraffic "
                     "Graph - Interface 5 (%2)\nClose the module?")
                     .arg(samples(beside), samples(own)));

        own->close(); // deletes itself
        m_asked.clear();
        m_answer = platform::Answer::Ok;
        close();
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(m_asked[0].text.startsWith(
            QLatin1String("Closing the module also closes 1 traffic graph window,")));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void closingEndsTheRun() {
        platform::SetRunModalHook({});
        for (bool closeBox : {false, true}) {
            CPanelDlg dlg;
            bool ended = false;
            QTimer::singleShot(50, &dlg, [&] {
                QTest::keyClick(&dlg, Qt::Key_Return);
                QVERIFY(dlg.isVisible());
                if (closeBox)
                    dlg.close();
                else
                    QTest::keyClick(&dlg, Qt::Key_Escape);
            });
            QTimer::singleShot(5000, &dlg, [&] {
                if (!ended) dlg.done(99);
            });
            int result = platform::RunModal(&dlg);
            ended = true;
            QCOMPARE(result, int(QDialog::Rejected));
        }
        recordModalRuns();
    }

private:
    // A desktop whose default browser is a stand-in that records its arguments in out.
    void writeBrowserAssociation(const QString& out) {
        writeStandIn(path(QStringLiteral("bin/talvex-browser")), out);
        writeBrowserEntry(QStringLiteral("talvex-browser %u"), true);
    }

    // The desktop entry talvex-browser.desktop with exec, named by a mimeapps.list or not.
    void writeBrowserEntry(const QString& exec, bool listed) {
        QDir().mkpath(path(QStringLiteral("config")));
        QDir().mkpath(path(QStringLiteral("data/applications")));
        QFile list(path(QStringLiteral("config/mimeapps.list")));
        if (listed) {
            QVERIFY(list.open(QIODevice::WriteOnly));
            list.write("[Default Applications]\nx-scheme-handler/http=talvex-browser.desktop;\n");
            list.close();
        } else {
            list.remove();
        }
        QFile entry(path(QStringLiteral("data/applications/talvex-browser.desktop")));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Browser\nExec=" + exec.toUtf8() +
                    "\n");
        entry.close();
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("none")).toUtf8());
        qputenv("XDG_DATA_DIRS", path(QStringLiteral("none")).toUtf8());
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
