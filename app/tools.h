// Programs the module hands the device to: Telnet, the web browser and the OSPF tool. Each is
// started as an independent process; the module neither waits for it nor watches it.
#pragma once

#include <QString>

class QWidget;

QString TelnetCommandLine();
// Starts Telnet in the desktop's terminal. When it cannot, a plain OK box owned by owner says
// which program was missing (the Telnet client or the terminal), or that it would not start.
void LaunchTelnet(QWidget* owner);

// The browser's program file from an association text in the Windows form
// ("\"C:\\Program Files\\B\\b.exe\" -- \"%1\"" gives C:\Program Files\B\b.exe); empty when the
// text names no program file.
QString BrowserPathFromAssociation(const QString& association);
// The default browser's program as a mimeapps.list names its desktop entry (a Windows-form
// text through BrowserPathFromAssociation): the program its command line starts, which for a
// browser wrapped in env or flatpak is that wrapper. Starts no process.
QString GetBrowserPath();
// Starts the default browser's whole command line with the agent address. When only
// xdg-settings knows the browser, it starts once xdg-settings has answered: the window is not
// held while it runs. When no browser is set, or its program is missing or would not start, a
// plain OK box owned by owner (while it lives) says so.
void LaunchBrowser(QWidget* owner);

QString OspfCommandLine();
// Starts the OSPF tool from the working directory; says so in a message box owned by owner
// when it is missing or cannot be started.
void LaunchOspf(QWidget* owner);
