#include "res/menus.h"

namespace res {

// Texts as they stand, trailing blanks included.
const MenuItem kMenu175[] = {
    {Item::Popup, "Public MIB  ", 0},
    {Item::Command, "System Info...", 32787},
    {Item::Command, "Interface Info...", 32788},
    {Item::Command, "ARP Info...", 32789},
    {Item::Command, "Router Info...", 32790},
    {Item::Command, "Forwarding Table...", 32791},
    {Item::Popup, "RMON", 0},
    {Item::Command, "RMON 1...", 32804},
    {Item::Command, "RMON 2...", 32805},
    {Item::Command, "RMON 3 6...", 32806},
    {Item::End, nullptr, 0},
    {Item::Command, "STP Info...", 32796},
    {Item::Separator, nullptr, 0},
    {Item::Command, "Device Info...", 32964},
    {Item::Command, "Device Events...", 32970},
    {Item::Command, "Panel Refresh", 32808},
    {Item::End, nullptr, 0},
    {Item::Popup, "Private MIB  ", 0},
    {Item::Command, "CPU Utilization...", 32809},
    {Item::Command, "Memory Info...", 32811},
    {Item::End, nullptr, 0},
    {Item::Popup, "Tool  ", 0},
    {Item::Command, "Telnet...", 32800},
    {Item::Command, "Web...", 32813},
    {Item::End, nullptr, 0},
    {Item::Command, "About", 32814},
    {Item::End, nullptr, 0},
};

} // namespace res
