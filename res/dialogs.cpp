#include "res/dialogs.h"

#include <iterator>

namespace res {

namespace {

constexpr int S = -1; // unaddressed label

const DlgItem kAbout[] = {
    {Ctl::Static, S, "The information for development:", 40, 12, 180, 10, None},
    // This program's version, as talvex --version prints it: the device's firmware is on the
    // device information page, and the two must not be taken for each other.
    {Ctl::Static, S, "Module version: " TALVEX_VERSION " (this program, not the device)", 40, 28,
     196, 10, None},
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
    {Ctl::List, 1088, "", 14, 17, 376, 194, MultiSelect},
    {Ctl::Static, S, "Number of entries:", 14, 227, 70, 10, None},
    {Ctl::Value, 1095, "", 86, 226, 40, 12, None},
    {Ctl::Button, 1096, "&Graph", 205, 225, 55, 14, None},
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

// The RMON pages (templates 471 to 477). Control ids: statistics page list 1001, count 1002,
// Add 1003, Delete 1004, Refresh 1005, Parameter 1006, Interface 1007; its add dialog edits
// 1010 to 1012. History page control list 1020, sample list 1021, Add 1022, Delete 1023,
// Refresh 1024, Print 1025; its add dialog edits 1030 to 1034. Alarm and event page: event list
// 1040, count 1041, Delete 1042, Refresh 1043, Print 1044; alarm list 1050, count 1051, Delete
// 1052, Refresh 1053, Print 1054. Group display: counter combo 1060, Prev 1061, Next 1062,
// Refresh 1063, item labels 1101 to 1124, values 1201 to 1224. Interface display: probe combos
// 1301 to 1317, values 1401 to 1417, Refresh 1070. Close is 2 everywhere, OK 1.
const DlgItem kRmonStat[] = {
    {Ctl::List, 1001, "", 7, 7, 180, 160, None},
    {Ctl::Static, S, "Number:", 7, 176, 32, 10, None},
    {Ctl::Value, 1002, "0", 42, 175, 40, 12, None},
    {Ctl::Button, 1003, "&Add", 196, 7, 56, 14, None},
    {Ctl::Button, 1004, "&Delete", 196, 25, 56, 14, None},
    {Ctl::Button, 1005, "&Refresh", 196, 43, 56, 14, None},
    {Ctl::Button, 1006, "&Parameter", 196, 73, 56, 14, None},
    {Ctl::Button, 1007, "&Interface", 196, 91, 56, 14, None},
    {Ctl::DefButton, 2, "&Close", 196, 173, 56, 14, None},
};

const DlgItem kRmonStatAdd[] = {
    {Ctl::Static, S, "Index:", 10, 12, 50, 10, None},
    {Ctl::Edit, 1010, "", 64, 10, 116, 13, None},
    {Ctl::Static, S, "Source Port:", 10, 30, 50, 10, None},
    {Ctl::Edit, 1011, "", 64, 28, 116, 13, None},
    {Ctl::Static, S, "Property:", 10, 48, 50, 10, None},
    {Ctl::Edit, 1012, "", 64, 46, 116, 13, None},
    {Ctl::DefButton, 1, "OK", 40, 70, 50, 14, None},
    {Ctl::Button, 2, "Cancel", 100, 70, 50, 14, None},
};

const DlgItem kRmonHistory[] = {
    {Ctl::Group, S, "Control Table", 7, 5, 316, 92, None},
    {Ctl::List, 1020, "", 14, 17, 302, 74, None},
    {Ctl::Group, S, "Record Table", 7, 101, 316, 122, None},
    {Ctl::List, 1021, "", 14, 113, 302, 104, None},
    {Ctl::Button, 1022, "&Add", 14, 230, 50, 14, None},
    {Ctl::Button, 1023, "&Delete", 70, 230, 50, 14, None},
    {Ctl::Button, 1024, "&Refresh", 126, 230, 50, 14, None},
    {Ctl::Button, 1025, "&Print", 182, 230, 50, 14, Hidden},
    {Ctl::DefButton, 2, "&Close", 266, 230, 50, 14, None},
};

const DlgItem kRmonHistoryAdd[] = {
    {Ctl::Static, S, "Index:", 10, 12, 50, 10, None},
    {Ctl::Edit, 1030, "", 64, 10, 116, 13, None},
    {Ctl::Static, S, "Source Port:", 10, 30, 50, 10, None},
    {Ctl::Edit, 1031, "", 64, 28, 116, 13, None},
    {Ctl::Static, S, "Property:", 10, 48, 50, 10, None},
    {Ctl::Edit, 1032, "", 64, 46, 116, 13, None},
    {Ctl::Static, S, "Bucket:", 10, 66, 50, 10, None},
    {Ctl::Edit, 1033, "", 64, 64, 116, 13, None},
    {Ctl::Static, S, "Interval(S):", 10, 84, 50, 10, None},
    {Ctl::Edit, 1034, "", 64, 82, 116, 13, None},
    {Ctl::DefButton, 1, "OK", 40, 106, 50, 14, None},
    {Ctl::Button, 2, "Cancel", 100, 106, 50, 14, None},
};

const DlgItem kAlarmEvent[] = {
    {Ctl::Group, S, "Event Table", 7, 5, 406, 132, None},
    {Ctl::List, 1040, "", 14, 17, 392, 96, None},
    {Ctl::Static, S, "Number:", 14, 120, 32, 10, None},
    {Ctl::Value, 1041, "0", 48, 119, 40, 12, None},
    {Ctl::Button, 1042, "&Delete", 236, 118, 52, 14, None},
    {Ctl::Button, 1043, "&Refresh", 294, 118, 52, 14, None},
    {Ctl::Button, 1044, "&Print", 352, 118, 52, 14, Hidden | Disabled},
    {Ctl::Group, S, "Alarm Control Table", 7, 141, 406, 132, None},
    {Ctl::List, 1050, "", 14, 153, 392, 96, None},
    {Ctl::Static, S, "Number:", 14, 256, 32, 10, None},
    {Ctl::Value, 1051, "0", 48, 255, 40, 12, None},
    {Ctl::Button, 1052, "De&lete", 236, 254, 52, 14, None},
    {Ctl::Button, 1053, "Re&fresh", 294, 254, 52, 14, None},
    {Ctl::Button, 1054, "Prin&t", 352, 254, 52, 14, Hidden | Disabled},
    {Ctl::DefButton, 2, "&Close", 356, 280, 50, 14, None},
};

const DlgItem kRmonParameter[] = {
    {Ctl::Static, S, "Parameter:", 10, 10, 40, 10, None},
    {Ctl::Combo, 1060, "", 54, 8, 120, 120, None},
    {Ctl::Static, S, "Item#", 10, 30, 48, 10, None},
    {Ctl::Static, S, "Value", 60, 30, 48, 10, None},
    {Ctl::Static, S, "Item#", 115, 30, 48, 10, None},
    {Ctl::Static, S, "Value", 165, 30, 48, 10, None},
    {Ctl::Static, S, "Item#", 220, 30, 48, 10, None},
    {Ctl::Static, S, "Value", 270, 30, 48, 10, None},
    {Ctl::Static, 1101, "Item  1", 10, 45, 48, 10, None},
    {Ctl::Value, 1201, "0", 60, 44, 50, 12, None},
    {Ctl::Static, 1102, "Item  2", 10, 59, 48, 10, None},
    {Ctl::Value, 1202, "0", 60, 58, 50, 12, None},
    {Ctl::Static, 1103, "Item  3", 10, 73, 48, 10, None},
    {Ctl::Value, 1203, "0", 60, 72, 50, 12, None},
    {Ctl::Static, 1104, "Item  4", 10, 87, 48, 10, None},
    {Ctl::Value, 1204, "0", 60, 86, 50, 12, None},
    {Ctl::Static, 1105, "Item  5", 10, 101, 48, 10, None},
    {Ctl::Value, 1205, "0", 60, 100, 50, 12, None},
    {Ctl::Static, 1106, "Item  6", 10, 115, 48, 10, None},
    {Ctl::Value, 1206, "0", 60, 114, 50, 12, None},
    {Ctl::Static, 1107, "Item  7", 10, 129, 48, 10, None},
    {Ctl::Value, 1207, "0", 60, 128, 50, 12, None},
    {Ctl::Static, 1108, "Item  8", 10, 143, 48, 10, None},
    {Ctl::Value, 1208, "0", 60, 142, 50, 12, None},
    {Ctl::Static, 1109, "Item  9", 115, 45, 48, 10, None},
    {Ctl::Value, 1209, "0", 165, 44, 50, 12, None},
    {Ctl::Static, 1110, "Item 10", 115, 59, 48, 10, None},
    {Ctl::Value, 1210, "0", 165, 58, 50, 12, None},
    {Ctl::Static, 1111, "Item 11", 115, 73, 48, 10, None},
    {Ctl::Value, 1211, "0", 165, 72, 50, 12, None},
    {Ctl::Static, 1112, "Item 12", 115, 87, 48, 10, None},
    {Ctl::Value, 1212, "0", 165, 86, 50, 12, None},
    {Ctl::Static, 1113, "Item 13", 115, 101, 48, 10, None},
    {Ctl::Value, 1213, "0", 165, 100, 50, 12, None},
    {Ctl::Static, 1114, "Item 14", 115, 115, 48, 10, None},
    {Ctl::Value, 1214, "0", 165, 114, 50, 12, None},
    {Ctl::Static, 1115, "Item 15", 115, 129, 48, 10, None},
    {Ctl::Value, 1215, "0", 165, 128, 50, 12, None},
    {Ctl::Static, 1116, "Item 16", 115, 143, 48, 10, None},
    {Ctl::Value, 1216, "0", 165, 142, 50, 12, None},
    {Ctl::Static, 1117, "Item 17", 220, 45, 48, 10, None},
    {Ctl::Value, 1217, "0", 270, 44, 50, 12, None},
    {Ctl::Static, 1118, "Item 18", 220, 59, 48, 10, None},
    {Ctl::Value, 1218, "0", 270, 58, 50, 12, None},
    {Ctl::Static, 1119, "Item 19", 220, 73, 48, 10, None},
    {Ctl::Value, 1219, "0", 270, 72, 50, 12, None},
    {Ctl::Static, 1120, "Item 20", 220, 87, 48, 10, None},
    {Ctl::Value, 1220, "0", 270, 86, 50, 12, None},
    {Ctl::Static, 1121, "Item 21", 220, 101, 48, 10, None},
    {Ctl::Value, 1221, "0", 270, 100, 50, 12, None},
    {Ctl::Static, 1122, "Item 22", 220, 115, 48, 10, None},
    {Ctl::Value, 1222, "0", 270, 114, 50, 12, None},
    {Ctl::Static, 1123, "Item 23", 220, 129, 48, 10, None},
    {Ctl::Value, 1223, "0", 270, 128, 50, 12, None},
    {Ctl::Static, 1124, "Item 24", 220, 143, 48, 10, None},
    {Ctl::Value, 1224, "0", 270, 142, 50, 12, None},
    {Ctl::Button, 1061, "&Prev Group", 10, 162, 55, 14, None},
    {Ctl::Button, 1062, "&Next Group", 72, 162, 55, 14, None},
    {Ctl::Button, 1063, "&Refresh", 134, 162, 55, 14, None},
    {Ctl::DefButton, 2, "&Close", 262, 162, 55, 14, None},
};

const DlgItem kRmonInterface[] = {
    {Ctl::Static, S, "Index", 10, 8, 60, 10, None},
    {Ctl::Static, S, "Parameter", 80, 8, 85, 10, None},
    {Ctl::Static, S, "Counter", 170, 8, 80, 10, None},
    {Ctl::Combo, 1301, "", 10, 20, 60, 80, None},
    {Ctl::Static, S, "DropEvent", 80, 22, 85, 10, None},
    {Ctl::Value, 1401, "0", 170, 21, 80, 12, None},
    {Ctl::Combo, 1302, "", 10, 35, 60, 80, None},
    {Ctl::Static, S, "Octets", 80, 37, 85, 10, None},
    {Ctl::Value, 1402, "0", 170, 36, 80, 12, None},
    {Ctl::Combo, 1303, "", 10, 50, 60, 80, None},
    {Ctl::Static, S, "Packets", 80, 52, 85, 10, None},
    {Ctl::Value, 1403, "0", 170, 51, 80, 12, None},
    {Ctl::Combo, 1304, "", 10, 65, 60, 80, None},
    {Ctl::Static, S, "BroadcastPkts", 80, 67, 85, 10, None},
    {Ctl::Value, 1404, "0", 170, 66, 80, 12, None},
    {Ctl::Combo, 1305, "", 10, 80, 60, 80, None},
    {Ctl::Static, S, "MulticastPkts", 80, 82, 85, 10, None},
    {Ctl::Value, 1405, "0", 170, 81, 80, 12, None},
    {Ctl::Combo, 1306, "", 10, 95, 60, 80, None},
    {Ctl::Static, S, "CRCAllignErrors", 80, 97, 85, 10, None},
    {Ctl::Value, 1406, "0", 170, 96, 80, 12, None},
    {Ctl::Combo, 1307, "", 10, 110, 60, 80, None},
    {Ctl::Static, S, "UndersizePkts", 80, 112, 85, 10, None},
    {Ctl::Value, 1407, "0", 170, 111, 80, 12, None},
    {Ctl::Combo, 1308, "", 10, 125, 60, 80, None},
    {Ctl::Static, S, "OversizePkts", 80, 127, 85, 10, None},
    {Ctl::Value, 1408, "0", 170, 126, 80, 12, None},
    {Ctl::Combo, 1309, "", 10, 140, 60, 80, None},
    {Ctl::Static, S, "Segments", 80, 142, 85, 10, None},
    {Ctl::Value, 1409, "0", 170, 141, 80, 12, None},
    {Ctl::Combo, 1310, "", 10, 155, 60, 80, None},
    {Ctl::Static, S, "Jabbers", 80, 157, 85, 10, None},
    {Ctl::Value, 1410, "0", 170, 156, 80, 12, None},
    {Ctl::Combo, 1311, "", 10, 170, 60, 80, None},
    {Ctl::Static, S, "Collisions", 80, 172, 85, 10, None},
    {Ctl::Value, 1411, "0", 170, 171, 80, 12, None},
    {Ctl::Combo, 1312, "", 10, 185, 60, 80, None},
    {Ctl::Static, S, "Pkts64Octets", 80, 187, 85, 10, None},
    {Ctl::Value, 1412, "0", 170, 186, 80, 12, None},
    {Ctl::Combo, 1313, "", 10, 200, 60, 80, None},
    {Ctl::Static, S, "Pkts65-127Octets", 80, 202, 85, 10, None},
    {Ctl::Value, 1413, "0", 170, 201, 80, 12, None},
    {Ctl::Combo, 1314, "", 10, 215, 60, 80, None},
    {Ctl::Static, S, "Pkts128-255Octets", 80, 217, 85, 10, None},
    {Ctl::Value, 1414, "0", 170, 216, 80, 12, None},
    {Ctl::Combo, 1315, "", 10, 230, 60, 80, None},
    {Ctl::Static, S, "Pkts256-511Octets", 80, 232, 85, 10, None},
    {Ctl::Value, 1415, "0", 170, 231, 80, 12, None},
    {Ctl::Combo, 1316, "", 10, 245, 60, 80, None},
    {Ctl::Static, S, "Pkts512-1023Octets", 80, 247, 85, 10, None},
    {Ctl::Value, 1416, "0", 170, 246, 80, 12, None},
    {Ctl::Combo, 1317, "", 10, 260, 60, 80, None},
    {Ctl::Static, S, "Pkts1024-1518Octets", 80, 262, 85, 10, None},
    {Ctl::Value, 1417, "0", 170, 261, 80, 12, None},
    {Ctl::Button, 1070, "&Refresh", 70, 280, 55, 14, None},
    {Ctl::DefButton, 2, "&Close", 140, 280, 55, 14, None},
};

#define TEMPLATE(id, caption, w, h, items) {id, caption, w, h, "Arial", 9, items, int(std::size(items))}

const DlgItem kDeviceEvents[] = {
    {Ctl::Static, S, "Severity:", 7, 8, 34, 10, None},
    {Ctl::Combo, 2001, "", 42, 6, 86, 70, None},
    {Ctl::Static, S, "Text:", 138, 8, 20, 10, None},
    {Ctl::Edit, 2002, "", 160, 6, 160, 13, None},
    {Ctl::Static, 2003, "", 330, 8, 143, 10, None},
    {Ctl::ModelList, 2005, "", 7, 24, 466, 200, MultiSelect},
    // Where the journal was looked for and why it cannot be used, in place of the list.
    {Ctl::Static, 2004, "", 7, 24, 466, 200, Large | Hidden},
    {Ctl::Button, 2006, "&Acknowledge", 7, 234, 64, 14, None},
    {Ctl::Button, 2007, "Acknowledge A&ll", 77, 234, 70, 14, None},
    {Ctl::Button, 2008, "&Details...", 153, 234, 56, 14, None},
    {Ctl::DefButton, 2, "&Close", 423, 234, 50, 14, None},
};

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
    TEMPLATE(471, "RMON 1 Statistic Information", 260, 194, kRmonStat),
    TEMPLATE(472, "  RMON 1 Group", 190, 92, kRmonStatAdd),
    TEMPLATE(473, "RMON 2 Group - History Record", 330, 252, kRmonHistory),
    TEMPLATE(474, "  RMON 2 Group", 190, 128, kRmonHistoryAdd),
    TEMPLATE(475, "Alarm & Event Information", 420, 300, kAlarmEvent),
    TEMPLATE(476, "RMON 1 Group Parameter Information", 326, 184, kRmonParameter),
    TEMPLATE(477, "RMON 1 Interface: device name", 260, 302, kRmonInterface),
    TEMPLATE(490, "Device Events", 480, 256, kDeviceEvents),
};

} // namespace

const DlgTemplate* Dialog(int id) {
    for (const DlgTemplate& t : kTemplates)
        if (t.id == id)
            return &t;
    return nullptr;
}

} // namespace res
