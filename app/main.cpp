// The Talvex module, started by the management suite once per device:
//   talvex /N<name> /I<agent address> /R<read community> /W<write community> /U<TRUE|FALSE>
#include "app/cmdline.h"
#include "app/paneldlg.h"
#include "app/startup.h"
#include "snmp/params.h"
#include "platform/platform.h"
#include "qvsnmp/qvsnmp.h"
#include "res/stringtable.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Before the application object: help needs no display, and opens nothing.
    if (const int status = EarlyExit(argc, argv); status >= 0) return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvex"));

    if (!platform::SocketLayerAvailable()) {
        platform::MessageBox(nullptr, QString::fromUtf8(res::String(103)));
        return 1;
    }
    SnmpInit(&app);
    SetSnmpTimeout(4000);

    // An unattended snapshot run has nobody to read a box: what it says goes to standard error.
    if (!qEnvironmentVariable("TALVEX_SNAPSHOT").isEmpty())
        platform::SetUnattended(true);
    if (!SetupSession(ParameterString(QCoreApplication::arguments())))
        return kRefusedCommandLine;
    QString refused;
    if (!LoadSnmpCredentials(&refused)) {
        platform::MessageBox(nullptr, refused);
        return 1;
    }

    CPanelDlg dlg;
    platform::RunModal(&dlg);
    return dlg.exitCode();
}
