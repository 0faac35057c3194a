#include "res/dialogs.h"

#include <iterator>

namespace res {

namespace {

constexpr int S = -1; // unaddressed label

const DlgItem kAbout[] = {
    {Ctl::Static, S, "The information for development:", 40, 12, 180, 10, None},
    {Ctl::Static, S, "Firmware version: 3.2.7", 40, 28, 180, 10, None},
    {Ctl::Static, S, "Hardware version: B.04", 40, 42, 180, 10, None},
    {Ctl::DefButton, 1, "OK", 178, 62, 50, 14, None},
};

const DlgItem kPanel[] = {
    {Ctl::DefButton, 1025, "", 0, 0, 1, 1, Hidden},
};

const DlgItem kSmartTrunk[] = {
    {Ctl::Static, S, "Smart Trunk", 10, 10, 150, 10, None},
    {Ctl::DefButton, 1, "OK", 60, 40, 50, 14, None},
    {Ctl::Button, 2, "Cancel", 116, 40, 50, 14, None},
};

const DlgItem kCpu[] = {
    {Ctl::Static, S, "CPUUtilization5Sec:", 14, 18, 90, 10, None},
    {Ctl::Edit, 1310, "", 110, 16, 100, 13, Disabled},
    {Ctl::Static, S, "CPUUtilization1Min:", 14, 38, 90, 10, None},
    {Ctl::Edit, 1312, "", 110, 36, 100, 13, Disabled},
    {Ctl::Static, S, "CPUUtilization5Min:", 14, 58, 90, 10, None},
    {Ctl::Edit, 1313, "", 110, 56, 100, 13, Disabled},
    {Ctl::Button, 103, "&Refresh", 50, 88, 50, 14, None},
    {Ctl::DefButton, 1146, "&Close", 127, 88, 50, 14, None},
};

const DlgItem kMemory[] = {
    {Ctl::Static, S, "PoolIndex:", 14, 16, 100, 10, None},
    {Ctl::Value, 1305, "", 120, 15, 100, 12, None},
    {Ctl::Static, S, "PoolName:", 14, 36, 100, 10, None},
    {Ctl::Value, 1306, "", 120, 35, 100, 12, None},
    {Ctl::Static, S, "PoolCurrentUtilization:", 14, 56, 100, 10, None},
    {Ctl::Value, 1307, "", 120, 55, 100, 12, None},
    {Ctl::Static, S, "PoolLowestUtilization:", 14, 76, 100, 10, None},
    {Ctl::Value, 1304, "", 120, 75, 100, 12, None},
    {Ctl::Static, S, "PoolLargestUtilization:", 14, 96, 100, 10, None},
    {Ctl::Value, 1303, "", 120, 95, 100, 12, None},
    {Ctl::Button, 103, "&Refresh", 52, 122, 50, 14, None},
    {Ctl::DefButton, 1146, "&Close", 131, 122, 50, 14, None},
};

const DlgItem kDevice[] = {
    {Ctl::Group, S, "Basic Info", 7, 7, 173, 100, None},
    {Ctl::Static, S, "Type:", 18, 23, 40, 10, None},
    {Ctl::Value, 1223, "", 62, 22, 110, 12, None},
    {Ctl::Static, S, "IP:", 18, 39, 40, 10, None},
    {Ctl::Value, 1224, "", 62, 38, 110, 12, None},
    {Ctl::Static, S, "MAC:", 18, 55, 40, 10, None},
    {Ctl::Value, 1225, "", 62, 54, 110, 12, None},
    {Ctl::Static, S, "Firmware:", 18, 71, 40, 10, None},
    {Ctl::Value, 1226, "", 62, 70, 110, 12, None},
    {Ctl::Static, S, "Hardware:", 18, 87, 40, 10, None},
    {Ctl::Value, 1227, "", 62, 86, 110, 12, None},
    {Ctl::Button, 3, "Refresh", 30, 115, 50, 14, Hidden},
    {Ctl::DefButton, 2, "Close", 107, 115, 50, 14, None},
};

const DlgItem kSystem[] = {
    {Ctl::Static, S, "Name:", 10, 12, 48, 10, None},
    {Ctl::Edit, 1310, "", 62, 10, 212, 13, None},
    {Ctl::Static, S, "Contactor:", 10, 30, 48, 10, None},
    {Ctl::Edit, 1312, "", 62, 28, 212, 13, None},
    {Ctl::Static, S, "Location:", 10, 48, 48, 10, None},
    {Ctl::Edit, 1313, "", 62, 46, 212, 13, None},
    {Ctl::Static, S, "Run Time:", 10, 66, 48, 10, None},
    {Ctl::Value, 1304, "", 62, 65, 212, 12, None},
    {Ctl::Static, S, "System OID:", 10, 84, 48, 10, None},
    {Ctl::Value, 1303, "", 62, 83, 212, 12, None},
    {Ctl::Group, S, "Description", 7, 100, 269, 42, None},
    {Ctl::Value, 1302, "", 14, 112, 255, 24, Large},
    {Ctl::Group, S, "TCP/IP Layer", 7, 146, 269, 24, None},
    {Ctl::Check, 1008, "Physical", 14, 156, 48, 10, None},
    {Ctl::Check, 1009, "Link", 68, 156, 40, 10, None},
    {Ctl::Check, 1098, "Network", 112, 156, 48, 10, None},
    {Ctl::Check, 1099, "Transport", 164, 156, 50, 10, None},
    {Ctl::Check, 1102, "Application", 218, 156, 55, 10, None},
    {Ctl::Button, 1145, "&Apply", 62, 176, 50, 14, None},
    {Ctl::Button, 103, "&Refresh", 117, 176, 50, 14, None},
    {Ctl::DefButton, 1146, "&Close", 172, 176, 50, 14, None},
};

const DlgItem kInterface[] = {
    {Ctl::Group, S, "Interface Table", 7, 5, 390, 212, None},
    {Ctl::List, 1088, "", 14, 17, 376, 194, None},
    {Ctl::Static, S, "Number of entries:", 14, 227, 70, 10, None},
    {Ctl::Value, 1095, "", 86, 226, 40, 12, None},
    {Ctl::DefButton, 3, "&Refresh", 270, 225, 55, 14, None},
    {Ctl::Button, 2, "&Close", 335, 225, 55, 14, None},
};

const DlgItem kPortConfig[] = {
    {Ctl::Static, S, "选择端口：", 12, 12, 50, 10, None},
    {Ctl::Combo, 1036, "", 64, 10, 120, 80, None},
    {Ctl::Group, S, "", 7, 28, 184, 78, None},
    {Ctl::Static, S, "端    口:", 16, 40, 46, 10, None},
    {Ctl::Value, 1223, "", 64, 39, 118, 12, None},
    {Ctl::Check, 1224, "端口使能", 64, 56, 100, 10, None},
    {Ctl::Static, S, "连接状态:", 16, 72, 46, 10, None},
    {Ctl::Value, 1226, "", 64, 71, 118, 12, None},
    {Ctl::Static, S, "端口速率:", 16, 88, 46, 10, None},
    {Ctl::Value, 1227, "", 64, 87, 118, 12, None},
    {Ctl::Button, 3, "设置", 16, 114, 50, 16, None},
    {Ctl::Button, 4, "刷新", 74, 114, 50, 16, None},
    {Ctl::Button, 2, "退出", 132, 114, 50, 16, None},
};

// Spanning tree (templates 460 to 462). Table: list 1088, count 1095, Port Config 1150, Bridge
// Config 1151, Refresh 3, Close 2. Bridge: edits 1301 to 1304, labels 1305 to 1311, OK 1,
// Cancel 2. Port: Prev 1401, port number 1402, Next 1403, edits 1404 and 1405, enable box 1406
// (hidden with its caption), labels 1407 to 1412, Apply 1413, OK 1, Cancel 2.
const DlgItem kStpTable[] = {
    {Ctl::List, 1088, "", 7, 7, 427, 143, None},
    {Ctl::Static, S, "Items:", 7, 160, 25, 10, None},
    {Ctl::Value, 1095, "0", 34, 159, 40, 12, None},
    {Ctl::Button, 1150, "&Port Config", 184, 158, 58, 14, None},
    {Ctl::Button, 1151, "&Bridge Config", 248, 158, 58, 14, None},
    {Ctl::Button, 3, "&Refresh", 312, 158, 58, 14, None},
    {Ctl::DefButton, 2, "&Close", 376, 158, 58, 14, None},
};

const DlgItem kStpConfig[] = {
    {Ctl::Static, S, "MaxAgingTime:", 10, 13, 62, 10, None},
    {Ctl::Edit, 1301, "", 74, 11, 60, 13, None},
    {Ctl::Static, S, "Priority:", 10, 31, 62, 10, None},
    {Ctl::Edit, 1302, "", 74, 29, 60, 13, None},
    {Ctl::Static, S, "BridgeFwdDelay:", 10, 49, 62, 10, None},
    {Ctl::Edit, 1303, "", 74, 47, 60, 13, None},
    {Ctl::Static, S, "BridgeHelloTime:", 10, 67, 62, 10, None},
    {Ctl::Edit, 1304, "", 74, 65, 60, 13, None},
    {Ctl::Static, S, "Fwd Delay:", 10, 85, 62, 10, None},
    {Ctl::Value, 1309, "", 74, 84, 60, 12, None},
    {Ctl::Static, S, "Hello Time:", 10, 103, 62, 10, None},
    {Ctl::Value, 1310, "", 74, 102, 60, 12, None},
    {Ctl::Static, S, "Hold Time:", 10, 121, 62, 10, None},
    {Ctl::Value, 1311, "", 74, 120, 60, 12, None},
    {Ctl::Static, S, "RootPort:", 144, 13, 70, 10, None},
    {Ctl::Value, 1305, "", 216, 12, 100, 12, None},
    {Ctl::Static, S, "DesignatedRoot:", 144, 31, 70, 10, None},
    {Ctl::Value, 1306, "", 216, 30, 100, 12, None},
    {Ctl::Static, S, "TimeSinceChange:", 144, 49, 70, 10, None},
    {Ctl::Value, 1307, "", 216, 48, 100, 12, None},
    {Ctl::Static, S, "TopChanges:", 144, 67, 70, 10, None},
    {Ctl::Value, 1308, "", 216, 66, 100, 12, None},
    {Ctl::Static, S, "Time Unit：1/100s", 144, 85, 100, 10, None},
    {Ctl::DefButton, 1, "OK", 196, 144, 56, 14, None},
    {Ctl::Button, 2, "Cancel", 258, 144, 56, 14, None},
};

const DlgItem kPortStp[] = {
    {Ctl::Button, 1401, "←&Prev Port", 10, 10, 64, 14, None},
    {Ctl::Value, 1402, "", 82, 11, 60, 12, None},
    {Ctl::Button, 1403, "&Next Port→", 150, 10, 64, 14, None},
    {Ctl::Static, S, "PortPriority:", 10, 35, 70, 10, None},
    {Ctl::Edit, 1404, "", 82, 33, 60, 13, None},
    {Ctl::Static, S, "PortPathCost:", 10, 53, 70, 10, None},
    {Ctl::Edit, 1405, "", 82, 51, 60, 13, None},
    {Ctl::Static, S, "PortEnable:", 10, 71, 70, 10, Hidden},
    {Ctl::Check, 1406, "", 82, 71, 20, 10, Hidden},
    {Ctl::Static, S, "Status:", 10, 89, 70, 10, None},
    {Ctl::Value, 1407, "", 82, 88, 132, 12, None},
    {Ctl::Static, S, "PortDesigRoot:", 10, 105, 70, 10, None},
    {Ctl::Value, 1408, "", 82, 104, 132, 12, None},
    {Ctl::Static, S, "PortDesigCost:", 10, 121, 70, 10, None},
    {Ctl::Value, 1409, "", 82, 120, 132, 12, None},
    {Ctl::Static, S, "PortDesigBridge:", 10, 137, 70, 10, None},
    {Ctl::Value, 1410, "", 82, 136, 132, 12, None},
    {Ctl::Static, S, "PortDesigPort:", 10, 153, 70, 10, None},
    {Ctl::Value, 1411, "", 82, 152, 132, 12, None},
    {Ctl::Static, S, "Forwarding:", 10, 169, 70, 10, None},
    {Ctl::Value, 1412, "", 82, 168, 132, 12, None},
    {Ctl::DefButton, 1, "&OK", 32, 192, 56, 14, None},
    {Ctl::Button, 1413, "&Apply", 94, 192, 56, 14, None},
    {Ctl::Button, 2, "&Cancel", 156, 192, 56, 14, None},
};

// ARP table: list 1144, count 1143, Refresh 103, Print 12 (hidden), Close 2.
const DlgItem kArp[] = {
    {Ctl::List, 1144, "", 7, 7, 251, 118, MultiSelect},
    {Ctl::Static, S, "Number of entries:", 7, 135, 64, 10, None},
    {Ctl::Value, 1143, "", 72, 134, 36, 12, None},
    {Ctl::Button, 12, "&Print", 92, 133, 50, 14, Hidden},
    {Ctl::DefButton, 103, "&Refresh", 148, 133, 50, 14, None},
    {Ctl::Button, 2, "&Close", 208, 133, 50, 14, None},
};

// Routing table: list 1194, count 1195, Refresh 3, Close 2.
const DlgItem kRoute[] = {
    {Ctl::List, 1194, "", 7, 7, 483, 126, MultiSelect},
    {Ctl::Static, S, "Count:", 7, 145, 26, 10, None},
    {Ctl::Value, 1195, "", 36, 144, 40, 12, None},
    {Ctl::DefButton, 3, "&Refresh", 370, 143, 55, 14, None},
    {Ctl::Button, 2, "&Close", 435, 143, 55, 14, None},
};

// Forwarding table: list 1205, count 1220, port filter 1213, aging time 1216, Refresh 20,
// Close 1217.
const DlgItem kForwarding[] = {
    {Ctl::Group, S, "Forwarding Table", 7, 5, 174, 161, None},
    {Ctl::List, 1205, "", 14, 17, 160, 127, None},
    {Ctl::Static, S, "Number:", 14, 150, 30, 10, None},
    {Ctl::Value, 1220, "", 46, 149, 40, 12, None},
    {Ctl::Group, S, "Filter", 7, 170, 84, 32, None},
    {Ctl::Static, S, "Port", 14, 185, 20, 10, None},
    {Ctl::Edit, 1213, "", 36, 183, 48, 13, Digits},
    {Ctl::Group, S, "Age Time", 97, 170, 84, 32, None},
    {Ctl::Value, 1216, "", 104, 184, 38, 12, None},
    {Ctl::Static, S, "Seconds", 146, 185, 32, 10, None},
    {Ctl::DefButton, 20, "&Refresh", 37, 215, 50, 14, None},
    {Ctl::Button, 1217, "&Close", 101, 215, 50, 14, None},
};

#define TEMPLATE(id, caption, w, h, items) {id, caption, w, h, "Arial", 9, items, int(std::size(items))}

const DlgTemplate kTemplates[] = {
    TEMPLATE(100, "About Talvex Module", 240, 84, kAbout),
    TEMPLATE(102, "Talvex", 320, 91, kPanel),
    TEMPLATE(131, "Smart Trunk", 176, 62, kSmartTrunk),
    TEMPLATE(413, "CPU Utilization", 227, 115, kCpu),
    TEMPLATE(414, "Memory Information", 233, 149, kMemory),
    TEMPLATE(356, "Device Information：", 187, 137, kDevice),
    TEMPLATE(80, "System Information", 283, 195, kSystem),
    TEMPLATE(49, "Interface Information", 404, 249, kInterface),
    TEMPLATE(156, "Port Configuration", 198, 138, kPortConfig),
    TEMPLATE(460, "Spanning Tree Table", 441, 179, kStpTable),
    TEMPLATE(461, "STP Config", 322, 166, kStpConfig),
    TEMPLATE(462, "Port STP", 224, 214, kPortStp),
    TEMPLATE(81, "  ARP Table", 265, 157, kArp),
    TEMPLATE(411, "Router Table", 497, 163, kRoute),
    TEMPLATE(278, "Forwarding Table", 188, 239, kForwarding),
};

} // namespace

const DlgTemplate* Dialog(int id) {
    for (const DlgTemplate& t : kTemplates)
        if (t.id == id)
            return &t;
    return nullptr;
}

} // namespace res
