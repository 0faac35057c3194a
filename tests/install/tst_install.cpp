// The Debian package as an operator gets it: CPack builds it from this build tree into a
// temporary directory, dpkg -x unpacks it into a scratch root, and the programs run from there,
// against each other, with no TALVEX_SYSTEM_DIR and only what the package holds.
#include "tests/common/peers.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

#ifndef TALVEX_CPACK
#error "TALVEX_CPACK must name the cpack program"
#endif

namespace {

// Building a package strips every binary and computes its dependencies: on two busy cores
// that takes a while.
constexpr int kPackageMs = 240000;

QProcessEnvironment moduleEnvironment(quint16 port, const QString& snapshot) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TALVEX_SYSTEM_DIR"));
    env.insert(QStringLiteral("TALVEX_SNAPSHOT"), snapshot);
    env.insert(QStringLiteral("TALVEX_AGENT_PORT"), QString::number(port));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// A table of one column, "program", a row for each program named.
void programRows(std::initializer_list<const char*> programs) {
    QTest::addColumn<QString>("program");
    for (const char* program : programs)
        QTest::newRow(program) << QString::fromLatin1(program);
}

const QStringList kModuleLine = {QStringLiteral("/Ninstalled"), QStringLiteral("/I127.0.0.1"),
                                 QStringLiteral("/Rorchid"), QStringLiteral("/Wsaffron"),
                                 QStringLiteral("/UTRUE")};

} // namespace

class TstInstall : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_deb;
    QString m_root; // where the package was unpacked

    QString usr(const QString& path) const { return m_root + QStringLiteral("/usr/") + path; }

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void control();
    void version_data();
    void version();
    void manPage_data();
    void manPage();
    void manPageOptions_data();
    void manPageOptions();
    void libraryFromPackage_data();
    void libraryFromPackage();
    void walkAgainstSim_data();
    void walkAgainstSim();
    void moduleSnapshot();
    void moduleWithoutPanel();
};

void TstInstall::initTestCase() {
    QVERIFY(m_work.isValid());
    const QString out = m_work.filePath(QStringLiteral("package"));
    QVERIFY(QDir().mkpath(out));
    ToolRun cpack =
        RunToolIn(QStringLiteral(TALVEX_CPACK),
                  {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                   BuildPath(QStringLiteral("CPackConfig.cmake")), QStringLiteral("-B"), out},
                  {}, out, kPackageMs);
    QVERIFY2(cpack.exitCode == 0, (cpack.out + cpack.err).constData());
    const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_deb = QDir(out).filePath(debs.first());
    m_root = m_work.filePath(QStringLiteral("root"));
    ToolRun x = RunToolIn(QStringLiteral("dpkg"), {QStringLiteral("-x"), m_deb, m_root});
    QVERIFY2(x.exitCode == 0, x.err.constData());
}

void TstInstall::layout_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("program");
    QTest::newRow("module") << "bin/talvex" << true;
    QTest::newRow("simulator") << "bin/talvex-sim" << true;
    QTest::newRow("walk tool") << "bin/talvex-walk" << true;
    QTest::newRow("journal writer") << "bin/talvex-eventd" << true;
    QTest::newRow("writer's unit") << "lib/systemd/system/talvex-eventd.service" << false;
    QTest::newRow("snmptrapd's hand-over") << "share/talvex/talvex-spool.pl" << false;
    QTest::newRow("snmptrapd lines") << "share/doc/talvex/snmptrapd.conf.example" << false;
    QTest::newRow("server's schema") << "share/talvex/postgresql/schema.sql" << false;
    QTest::newRow("server's roles") << "share/talvex/postgresql/roles.sql" << false;
    QTest::newRow("private library") << "lib/talvex/libqvsnmp.so.1" << false;
    QTest::newRow("panel file") << "share/talvex/Talvex.properties" << false;
    QTest::newRow("panel art") << "share/talvex/bmp/rj45_link100.bmp" << false;
    QTest::newRow("module manual") << "share/man/man1/talvex.1.gz" << false;
    QTest::newRow("walk manual") << "share/man/man1/talvex-walk.1.gz" << false;
    QTest::newRow("simulator manual") << "share/man/man1/talvex-sim.1.gz" << false;
    QTest::newRow("writer manual") << "share/man/man8/talvex-eventd.8.gz" << false;
}

void TstInstall::layout() {
    QFETCH(QString, path);
    QFETCH(bool, program);
    const QFileInfo f(usr(path));
    QVERIFY2(f.isFile(), qPrintable(path));
    QCOMPARE(f.isExecutable(), program);
    QVERIFY(f.permissions() & QFileDevice::ReadOther);
}

void TstInstall::control() {
    auto field = [this](const char* name) {
        bool ok = false;
        QString v = RunTool(QStringLiteral("dpkg-deb"),
                            {QStringLiteral("-f"), m_deb, QLatin1String(name)}, &ok)
                        .trimmed();
        return ok ? v : QString();
    };
    QCOMPARE(field("Package"), QStringLiteral("talvex"));
    QCOMPARE(field("Version"), QStringLiteral(TALVEX_VERSION "-1"));
    // Only dpkg-shlibdeps can have put the libraries there: nothing lists them by hand.
    const QString depends = field("Depends");
    QVERIFY2(depends.contains(QLatin1String("libc6")), qPrintable(depends));
    QVERIFY2(depends.contains(QLatin1String("libqt6widgets6")), qPrintable(depends));
    QVERIFY2(depends.contains(QLatin1String("libqt6printsupport6")), qPrintable(depends));
    QVERIFY2(!depends.contains(QLatin1String("qvsnmp")), qPrintable(depends));

    // Everything lies under /usr, nothing under /usr/local, and no development files (headers,
    // the library's link-time name) ship.
    bool ok = false;
    const QStringList files =
        RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), m_deb}, &ok)
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(ok);
    for (const QString& line : files) {
        // mode, owner, size, date, time, path and, for a link, "-> target"
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY2(fields.size() >= 6, qPrintable(line));
        const QString& path = fields[5];
        QVERIFY2(path == QLatin1String("./") || path.startsWith(QLatin1String("./usr/")),
                 qPrintable(line));
        QVERIFY2(!path.startsWith(QLatin1String("./usr/local")), qPrintable(line));
        QVERIFY2(!path.endsWith(QLatin1String(".h")) && !path.endsWith(QLatin1String(".so")),
                 qPrintable(line));
    }
}

void TstInstall::version_data() {
    programRows({"talvex-walk", "talvex-sim"});
}

void TstInstall::version() {
    QFETCH(QString, program);
    ToolRun r = RunToolIn(usr(QStringLiteral("bin/") + program), {QStringLiteral("--version")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromUtf8(r.out), program + QStringLiteral(" " TALVEX_VERSION "\n"));
}

void TstInstall::manPage_data() {
    programRows({"talvex", "talvex-walk", "talvex-sim"});
}

void TstInstall::manPage() {
    QFETCH(QString, program);
    const QString& page = program;
    const QString file = usr(QStringLiteral("share/man/man1/%1.1.gz").arg(page));
    // lexgrog reads the NAME line the way mandb indexes it for whatis and apropos.
    ToolRun whatis = RunToolIn(QStringLiteral("lexgrog"), {file});
    QCOMPARE(whatis.exitCode, 0);
    QVERIFY2(whatis.out.contains(": \"" + page.toUtf8() + " - "), whatis.out.constData());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // a locale every system has
    ToolRun man = RunToolIn(QStringLiteral("man"),
                            {QStringLiteral("--warnings"), QStringLiteral("-l"), file}, env);
    QCOMPARE(man.exitCode, 0);
    QVERIFY2(man.err.isEmpty(), man.err.constData());
    const QString text = QString::fromUtf8(man.out);
    for (const char* section :
         {"SYNOPSIS", "OPTIONS", "ENVIRONMENT", "FILES", "EXIT STATUS", "EXAMPLES"})
        QVERIFY2(
            text.contains(QRegularExpression(QStringLiteral("^%1$").arg(QLatin1String(section)),
                                             QRegularExpression::MultilineOption)),
            section);
    QVERIFY2(text.contains(QStringLiteral("Talvex " TALVEX_VERSION)), "the version in the footer");
    // Every line fits the terminal it was formatted for.
    for (const QString& line : text.split(QLatin1Char('\n')))
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

void TstInstall::manPageOptions_data() {
    programRows({"talvex-walk", "talvex-sim"});
}

// Every option the installed program's --help lists is an item of its manual page's OPTIONS,
// so that an option added to a program is missed here until its page says it.
void TstInstall::manPageOptions() {
    QFETCH(QString, program);
    const ToolRun help =
        RunToolIn(usr(QStringLiteral("bin/") + program), {QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QStringList listed;
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[A-Za-z0-9][\\w-]*)"));
    for (auto m = option.globalMatch(help.outText()); m.hasNext();)
        if (const QString o = m.next().captured(1); !listed.contains(o)) listed << o;
    QVERIFY2(listed.size() > 10, qPrintable(listed.join(' ')));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const ToolRun man = RunToolIn(
        QStringLiteral("man"),
        {QStringLiteral("-l"), usr(QStringLiteral("share/man/man1/%1.1.gz").arg(program))}, env);
    QCOMPARE(man.exitCode, 0);
    // The formatter may print a hyphen or a minus sign for "-".
    QString text = man.outText();
    text.replace(QChar(0x2010), QLatin1Char('-')).replace(QChar(0x2212), QLatin1Char('-'));
    static const QRegularExpression section(QStringLiteral("^OPTIONS$(.*?)^[A-Z][A-Z ]+$"),
                                            QRegularExpression::MultilineOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    const QString options = section.match(text).captured(1);
    QVERIFY2(!options.isEmpty(), "no OPTIONS section");
    QStringList missing;
    for (const QString& o : listed) {
        // An item's tag line: the option first, or after others of the same item ("--help, -h").
        const QRegularExpression item(
            QStringLiteral("^ +(\\S+, )*%1(?![\\w-])").arg(QRegularExpression::escape(o)),
            QRegularExpression::MultilineOption);
        if (!item.match(options).hasMatch()) missing << o;
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable(program + ": not in the manual page: " + missing.join(' ')));
}

void TstInstall::libraryFromPackage_data() {
    programRows({"talvex", "talvex-walk"});
}

void TstInstall::libraryFromPackage() {
    QFETCH(QString, program);
    // The programs find the package's own library, not the build tree's.
    ToolRun ldd = RunToolIn(QStringLiteral("ldd"), {usr(QStringLiteral("bin/") + program)});
    QCOMPARE(ldd.exitCode, 0);
    QRegularExpressionMatch m = QRegularExpression(QStringLiteral("libqvsnmp\\.so\\S* => (\\S+)"))
                                    .match(QString::fromUtf8(ldd.out));
    QVERIFY2(m.hasMatch(), ldd.out.constData());
    QCOMPARE(QFileInfo(m.captured(1)).canonicalFilePath(),
             QFileInfo(usr(QStringLiteral("lib/talvex/libqvsnmp.so.1"))).canonicalFilePath());
}

void TstInstall::walkAgainstSim_data() {
    QTest::addColumn<QStringList>("request");
    QTest::newRow("get") << QStringList{"get", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.2.0"};
    QTest::newRow("walk") << QStringList{"walk", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.8"};
    QTest::newRow("bulk") << QStringList{"bulk", "1.3.6.1.2.1.2.2.1.6"};
}

void TstInstall::walkAgainstSim() {
    QFETCH(QStringList, request);
    SimProcess sim({QStringLiteral("--static")}, usr(QStringLiteral("bin/talvex-sim")));
    QVERIFY(sim.started());
    const QStringList args =
        QStringList{QStringLiteral("-c"), QStringLiteral("orchid"), QStringLiteral("-p"),
                    QString::number(sim.port()), QStringLiteral("127.0.0.1")} +
        request;
    ToolRun installed = RunToolIn(usr(QStringLiteral("bin/talvex-walk")), args);
    QVERIFY2(installed.exitCode == 0, installed.err.constData());
    QVERIFY(installed.out.count('\n') >= request.size() - 1);
    // The installed tools answer exactly as the ones they were packaged from.
    ToolRun built = RunToolIn(BuildPath(QStringLiteral("tools/talvex-walk")), args);
    QCOMPARE(built.exitCode, 0);
    QCOMPARE(installed.out, built.out);
}

void TstInstall::moduleSnapshot() {
    SimProcess sim({QStringLiteral("--static")}, usr(QStringLiteral("bin/talvex-sim")));
    QVERIFY(sim.started());
    const QString png = m_work.filePath(QStringLiteral("installed.png"));
    ToolRun run = RunToolIn(usr(QStringLiteral("bin/talvex")), kModuleLine,
                            moduleEnvironment(sim.port(), png), m_work.path(), 60000);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QImage picture(png);
    QVERIFY(!picture.isNull());
    // The shipped chassis' client area, drawn from the installed art.
    QCOMPARE(picture.size(), QSize(960, 596));
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 8)
        for (int x = 0; x < picture.width(); x += 8)
            colours.insert(picture.pixel(x, y));
    QVERIFY2(colours.size() > 8, "a panel, not a plain background");
}

void TstInstall::moduleWithoutPanel() {
    // The same programs without the package's data: the module must not fall back on the
    // source tree that built it.
    const QString bare = m_work.filePath(QStringLiteral("bare"));
    QVERIFY(QDir().mkpath(bare + QStringLiteral("/usr")));
    for (const char* dir : {"bin", "lib"})
        QCOMPARE(RunToolIn(QStringLiteral("cp"), {QStringLiteral("-a"), usr(QLatin1String(dir)),
                                                  bare + QStringLiteral("/usr/")})
                     .exitCode,
                 0);
    SimProcess sim({QStringLiteral("--static")}, usr(QStringLiteral("bin/talvex-sim")));
    QVERIFY(sim.started());
    const QString png = m_work.filePath(QStringLiteral("bare.png"));
    ToolRun run = RunToolIn(bare + QStringLiteral("/usr/bin/talvex"), kModuleLine,
                            moduleEnvironment(sim.port(), png), m_work.path(), 60000);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("/bare/usr/share/talvex/"), run.err.constData());
    QVERIFY(!QFileInfo::exists(png));
}

QTEST_GUILESS_MAIN(TstInstall)
#include "tst_install.moc"
