#include "res/menus.h"

#include "res/ids.h"

namespace res {

// Texts as they stand, trailing blanks included.
const MenuItem kMenu175[] = {
    {Item::Popup, "Public MIB  ", 0},
    {Item::Command, "System Info...", kCmdSystemInfo},
    {Item::Command, "Interface Info...", kCmdInterfaceInfo},
    {Item::Command, "ARP Info...", kCmdArp},
    {Item::Command, "Router Info...", kCmdRoute},
    {Item::Command, "Forwarding Table...", kCmdForwarding},
    {Item::Popup, "RMON", 0},
    {Item::Command, "RMON 1...", kCmdRmonStat},
    {Item::Command, "RMON 2...", kCmdRmonHistory},
    {Item::Command, "RMON 3 6...", kCmdAlarmEvent},
    {Item::End, nullptr, 0},
    {Item::Command, "STP Info...", kCmdStpInfo},
    {Item::Separator, nullptr, 0},
    {Item::Command, "Device Info...", kCmdDeviceInfo},
    {Item::Command, "Device Events...", kCmdDeviceEvents},
    {Item::Command, "Panel Refresh", kCmdPanelRefresh},
    {Item::End, nullptr, 0},
    {Item::Popup, "Private MIB  ", 0},
    {Item::Command, "CPU Utilization...", kCmdCpu},
    {Item::Command, "Memory Info...", kCmdMemory},
    {Item::End, nullptr, 0},
    {Item::Popup, "Tool  ", 0},
    {Item::Command, "Telnet...", kCmdTelnet},
    {Item::Command, "Web...", kCmdWeb},
    {Item::End, nullptr, 0},
    {Item::Command, "About", kCmdAbout},
    {Item::End, nullptr, 0},
};

} // namespace res
