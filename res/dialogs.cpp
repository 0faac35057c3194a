#include "res/dialogs.h"

#include "res/ids.h"

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
    {Ctl::DefButton, kOk, "OK", 178, 62, 50, 14, None},
};

const DlgItem kPanel[] = {
    {Ctl::DefButton, panel::kHiddenDefault, "", 0, 0, 1, 1, Hidden},
};

const DlgItem kSmartTrunk[] = {
    {Ctl::Static, S, "Smart Trunk", 10, 10, 150, 10, None},
    {Ctl::DefButton, kOk, "OK", 60, 40, 50, 14, None},
    {Ctl::Button, kCancel, "Cancel", 116, 40, 50, 14, None},
};

const DlgItem kCpu[] = {
    {Ctl::Static, S, "CPUUtilization5Sec:", 14, 18, 90, 10, None},
    {Ctl::Edit, cpu::k5Sec, "", 110, 16, 100, 13, Disabled},
    {Ctl::Static, S, "CPUUtilization1Min:", 14, 38, 90, 10, None},
    {Ctl::Edit, cpu::k1Min, "", 110, 36, 100, 13, Disabled},
    {Ctl::Static, S, "CPUUtilization5Min:", 14, 58, 90, 10, None},
    {Ctl::Edit, cpu::k5Min, "", 110, 56, 100, 13, Disabled},
    {Ctl::Button, cpu::kRefresh, "&Refresh", 50, 88, 50, 14, None},
    {Ctl::DefButton, cpu::kClose, "&Close", 127, 88, 50, 14, None},
};

const DlgItem kMemory[] = {
    {Ctl::Static, S, "PoolIndex:", 14, 16, 100, 10, None},
    {Ctl::Value, memory::kIndex, "", 120, 15, 100, 12, None},
    {Ctl::Static, S, "PoolName:", 14, 36, 100, 10, None},
    {Ctl::Value, memory::kName, "", 120, 35, 100, 12, None},
    {Ctl::Static, S, "PoolCurrentUtilization:", 14, 56, 100, 10, None},
    {Ctl::Value, memory::kCurrent, "", 120, 55, 100, 12, None},
    {Ctl::Static, S, "PoolLowestUtilization:", 14, 76, 100, 10, None},
    {Ctl::Value, memory::kLowest, "", 120, 75, 100, 12, None},
    {Ctl::Static, S, "PoolLargestUtilization:", 14, 96, 100, 10, None},
    {Ctl::Value, memory::kLargest, "", 120, 95, 100, 12, None},
    {Ctl::Button, memory::kRefresh, "&Refresh", 52, 122, 50, 14, None},
    {Ctl::DefButton, memory::kClose, "&Close", 131, 122, 50, 14, None},
};

const DlgItem kDevice[] = {
    {Ctl::Group, S, "Basic Info", 7, 7, 173, 100, None},
    {Ctl::Static, S, "Type:", 18, 23, 40, 10, None},
    {Ctl::Value, device::kType, "", 62, 22, 110, 12, None},
    {Ctl::Static, S, "IP:", 18, 39, 40, 10, None},
    {Ctl::Value, device::kAddress, "", 62, 38, 110, 12, None},
    {Ctl::Static, S, "MAC:", 18, 55, 40, 10, None},
    {Ctl::Value, device::kMac, "", 62, 54, 110, 12, None},
    {Ctl::Static, S, "Firmware:", 18, 71, 40, 10, None},
    {Ctl::Value, device::kFirmware, "", 62, 70, 110, 12, None},
    {Ctl::Static, S, "Hardware:", 18, 87, 40, 10, None},
    {Ctl::Value, device::kHardware, "", 62, 86, 110, 12, None},
    {Ctl::Button, device::kRefresh, "Refresh", 30, 115, 50, 14, Hidden},
    {Ctl::DefButton, kClose, "Close", 107, 115, 50, 14, None},
};

const DlgItem kSystem[] = {
    {Ctl::Static, S, "Name:", 10, 12, 48, 10, None},
    {Ctl::Edit, system::kName, "", 62, 10, 212, 13, None},
    {Ctl::Static, S, "Contactor:", 10, 30, 48, 10, None},
    {Ctl::Edit, system::kContact, "", 62, 28, 212, 13, None},
    {Ctl::Static, S, "Location:", 10, 48, 48, 10, None},
    {Ctl::Edit, system::kLocation, "", 62, 46, 212, 13, None},
    {Ctl::Static, S, "Run Time:", 10, 66, 48, 10, None},
    {Ctl::Value, system::kUptime, "", 62, 65, 212, 12, None},
    {Ctl::Static, S, "System OID:", 10, 84, 48, 10, None},
    {Ctl::Value, system::kObjectId, "", 62, 83, 212, 12, None},
    {Ctl::Group, S, "Description", 7, 100, 269, 42, None},
    {Ctl::Value, system::kDescr, "", 14, 112, 255, 24, Large},
    {Ctl::Group, S, "TCP/IP Layer", 7, 146, 269, 24, None},
    {Ctl::Check, system::kPhysical, "Physical", 14, 156, 48, 10, None},
    {Ctl::Check, system::kLink, "Link", 68, 156, 40, 10, None},
    {Ctl::Check, system::kNetwork, "Network", 112, 156, 48, 10, None},
    {Ctl::Check, system::kTransport, "Transport", 164, 156, 50, 10, None},
    {Ctl::Check, system::kApplication, "Application", 218, 156, 55, 10, None},
    {Ctl::Button, system::kApply, "&Apply", 62, 176, 50, 14, None},
    {Ctl::Button, system::kRefresh, "&Refresh", 117, 176, 50, 14, None},
    {Ctl::DefButton, system::kClose, "&Close", 172, 176, 50, 14, None},
};

const DlgItem kInterface[] = {
    {Ctl::Group, S, "Interface Table", 7, 5, 390, 212, None},
    {Ctl::List, interface::kList, "", 14, 17, 376, 194, MultiSelect},
    {Ctl::Static, S, "Number of entries:", 14, 227, 70, 10, None},
    {Ctl::Value, interface::kCount, "", 86, 226, 40, 12, None},
    {Ctl::Button, interface::kGraph, "&Graph", 205, 225, 55, 14, None},
    {Ctl::DefButton, interface::kRefresh, "&Refresh", 270, 225, 55, 14, None},
    {Ctl::Button, kClose, "&Close", 335, 225, 55, 14, None},
};

const DlgItem kPortConfig[] = {
    {Ctl::Static, S, "选择端口：", 12, 12, 50, 10, None},
    {Ctl::Combo, portConfig::kCombo, "", 64, 10, 120, 80, None},
    {Ctl::Group, S, "", 7, 28, 184, 78, None},
    {Ctl::Static, S, "端    口:", 16, 40, 46, 10, None},
    {Ctl::Value, portConfig::kPortLabel, "", 64, 39, 118, 12, None},
    {Ctl::Check, portConfig::kEnabled, "端口使能", 64, 56, 100, 10, None},
    {Ctl::Static, S, "连接状态:", 16, 72, 46, 10, None},
    {Ctl::Value, portConfig::kLink, "", 64, 71, 118, 12, None},
    {Ctl::Static, S, "端口速率:", 16, 88, 46, 10, None},
    {Ctl::Value, portConfig::kSpeed, "", 64, 87, 118, 12, None},
    {Ctl::Button, portConfig::kSet, "设置", 16, 114, 50, 16, None},
    {Ctl::Button, portConfig::kRefresh, "刷新", 74, 114, 50, 16, None},
    {Ctl::Button, kClose, "退出", 132, 114, 50, 16, None},
};

const DlgItem kStpTable[] = {
    {Ctl::List, stpTable::kList, "", 7, 7, 427, 143, None},
    {Ctl::Static, S, "Items:", 7, 160, 25, 10, None},
    {Ctl::Value, stpTable::kCount, "0", 34, 159, 40, 12, None},
    {Ctl::Button, stpTable::kPortConfig, "&Port Config", 184, 158, 58, 14, None},
    {Ctl::Button, stpTable::kBridgeConfig, "&Bridge Config", 248, 158, 58, 14, None},
    {Ctl::Button, stpTable::kRefresh, "&Refresh", 312, 158, 58, 14, None},
    {Ctl::DefButton, kClose, "&Close", 376, 158, 58, 14, None},
};

const DlgItem kStpConfig[] = {
    {Ctl::Static, S, "MaxAgingTime:", 10, 13, 62, 10, None},
    {Ctl::Edit, stpConfig::kMaxAge, "", 74, 11, 60, 13, None},
    {Ctl::Static, S, "Priority:", 10, 31, 62, 10, None},
    {Ctl::Edit, stpConfig::kPriority, "", 74, 29, 60, 13, None},
    {Ctl::Static, S, "BridgeFwdDelay:", 10, 49, 62, 10, None},
    {Ctl::Edit, stpConfig::kForwardDelay, "", 74, 47, 60, 13, None},
    {Ctl::Static, S, "BridgeHelloTime:", 10, 67, 62, 10, None},
    {Ctl::Edit, stpConfig::kHelloTime, "", 74, 65, 60, 13, None},
    {Ctl::Static, S, "Fwd Delay:", 10, 85, 62, 10, None},
    {Ctl::Value, stpConfig::kCurrentForwardDelay, "", 74, 84, 60, 12, None},
    {Ctl::Static, S, "Hello Time:", 10, 103, 62, 10, None},
    {Ctl::Value, stpConfig::kCurrentHelloTime, "", 74, 102, 60, 12, None},
    {Ctl::Static, S, "Hold Time:", 10, 121, 62, 10, None},
    {Ctl::Value, stpConfig::kHoldTime, "", 74, 120, 60, 12, None},
    {Ctl::Static, S, "RootPort:", 144, 13, 70, 10, None},
    {Ctl::Value, stpConfig::kRootPort, "", 216, 12, 100, 12, None},
    {Ctl::Static, S, "DesignatedRoot:", 144, 31, 70, 10, None},
    {Ctl::Value, stpConfig::kDesignatedRoot, "", 216, 30, 100, 12, None},
    {Ctl::Static, S, "TimeSinceChange:", 144, 49, 70, 10, None},
    {Ctl::Value, stpConfig::kTimeSinceChange, "", 216, 48, 100, 12, None},
    {Ctl::Static, S, "TopChanges:", 144, 67, 70, 10, None},
    {Ctl::Value, stpConfig::kTopChanges, "", 216, 66, 100, 12, None},
    {Ctl::Static, S, "Time Unit：1/100s", 144, 85, 100, 10, None},
    {Ctl::DefButton, kOk, "OK", 196, 144, 56, 14, None},
    {Ctl::Button, kCancel, "Cancel", 258, 144, 56, 14, None},
};

const DlgItem kPortStp[] = {
    {Ctl::Button, portStp::kPrev, "←&Prev Port", 10, 10, 64, 14, None},
    {Ctl::Value, portStp::kPortLabel, "", 82, 11, 60, 12, None},
    {Ctl::Button, portStp::kNext, "&Next Port→", 150, 10, 64, 14, None},
    {Ctl::Static, S, "PortPriority:", 10, 35, 70, 10, None},
    {Ctl::Edit, portStp::kPriority, "", 82, 33, 60, 13, None},
    {Ctl::Static, S, "PortPathCost:", 10, 53, 70, 10, None},
    {Ctl::Edit, portStp::kPathCost, "", 82, 51, 60, 13, None},
    {Ctl::Static, S, "PortEnable:", 10, 71, 70, 10, Hidden},
    {Ctl::Check, portStp::kEnable, "", 82, 71, 20, 10, Hidden},
    {Ctl::Static, S, "Status:", 10, 89, 70, 10, None},
    {Ctl::Value, portStp::kState, "", 82, 88, 132, 12, None},
    {Ctl::Static, S, "PortDesigRoot:", 10, 105, 70, 10, None},
    {Ctl::Value, portStp::kDesignatedRoot, "", 82, 104, 132, 12, None},
    {Ctl::Static, S, "PortDesigCost:", 10, 121, 70, 10, None},
    {Ctl::Value, portStp::kDesignatedCost, "", 82, 120, 132, 12, None},
    {Ctl::Static, S, "PortDesigBridge:", 10, 137, 70, 10, None},
    {Ctl::Value, portStp::kDesignatedBridge, "", 82, 136, 132, 12, None},
    {Ctl::Static, S, "PortDesigPort:", 10, 153, 70, 10, None},
    {Ctl::Value, portStp::kDesignatedPort, "", 82, 152, 132, 12, None},
    {Ctl::Static, S, "Forwarding:", 10, 169, 70, 10, None},
    {Ctl::Value, portStp::kForwardTransitions, "", 82, 168, 132, 12, None},
    {Ctl::DefButton, kOk, "&OK", 32, 192, 56, 14, None},
    {Ctl::Button, portStp::kApply, "&Apply", 94, 192, 56, 14, None},
    {Ctl::Button, kCancel, "&Cancel", 156, 192, 56, 14, None},
};

const DlgItem kArp[] = {
    {Ctl::List, arp::kList, "", 7, 7, 251, 118, MultiSelect},
    {Ctl::Static, S, "Number of entries:", 7, 135, 64, 10, None},
    {Ctl::Value, arp::kCount, "", 72, 134, 36, 12, None},
    {Ctl::Button, arp::kPrint, "&Print", 92, 133, 50, 14, Hidden},
    {Ctl::DefButton, arp::kRefresh, "&Refresh", 148, 133, 50, 14, None},
    {Ctl::Button, kClose, "&Close", 208, 133, 50, 14, None},
};

const DlgItem kRoute[] = {
    {Ctl::List, route::kList, "", 7, 7, 483, 126, MultiSelect},
    {Ctl::Static, S, "Count:", 7, 145, 26, 10, None},
    {Ctl::Value, route::kCount, "", 36, 144, 40, 12, None},
    {Ctl::DefButton, route::kRefresh, "&Refresh", 370, 143, 55, 14, None},
    {Ctl::Button, kClose, "&Close", 435, 143, 55, 14, None},
};

const DlgItem kForwarding[] = {
    {Ctl::Group, S, "Forwarding Table", 7, 5, 174, 161, None},
    {Ctl::List, forwarding::kList, "", 14, 17, 160, 127, None},
    {Ctl::Static, S, "Number:", 14, 150, 30, 10, None},
    {Ctl::Value, forwarding::kCount, "", 46, 149, 40, 12, None},
    {Ctl::Group, S, "Filter", 7, 170, 84, 32, None},
    {Ctl::Static, S, "Port", 14, 185, 20, 10, None},
    {Ctl::Edit, forwarding::kFilter, "", 36, 183, 48, 13, Digits},
    {Ctl::Group, S, "Age Time", 97, 170, 84, 32, None},
    {Ctl::Value, forwarding::kAging, "", 104, 184, 38, 12, None},
    {Ctl::Static, S, "Seconds", 146, 185, 32, 10, None},
    {Ctl::DefButton, forwarding::kRefresh, "&Refresh", 37, 215, 50, 14, None},
    {Ctl::Button, forwarding::kClose, "&Close", 101, 215, 50, 14, None},
};

const DlgItem kRmonStat[] = {
    {Ctl::List, rmonStat::kList, "", 7, 7, 180, 160, None},
    {Ctl::Static, S, "Number:", 7, 176, 32, 10, None},
    {Ctl::Value, rmonStat::kCount, "0", 42, 175, 40, 12, None},
    {Ctl::Button, rmonStat::kAdd, "&Add", 196, 7, 56, 14, None},
    {Ctl::Button, rmonStat::kDelete, "&Delete", 196, 25, 56, 14, None},
    {Ctl::Button, rmonStat::kRefresh, "&Refresh", 196, 43, 56, 14, None},
    {Ctl::Button, rmonStat::kParameter, "&Parameter", 196, 73, 56, 14, None},
    {Ctl::Button, rmonStat::kInterface, "&Interface", 196, 91, 56, 14, None},
    {Ctl::DefButton, kClose, "&Close", 196, 173, 56, 14, None},
};

const DlgItem kRmonStatAdd[] = {
    {Ctl::Static, S, "Index:", 10, 12, 50, 10, None},
    {Ctl::Edit, rmonStat::kAddIndex, "", 64, 10, 116, 13, None},
    {Ctl::Static, S, "Source Port:", 10, 30, 50, 10, None},
    {Ctl::Edit, rmonStat::kAddSource, "", 64, 28, 116, 13, None},
    {Ctl::Static, S, "Property:", 10, 48, 50, 10, None},
    {Ctl::Edit, rmonStat::kAddProperty, "", 64, 46, 116, 13, None},
    {Ctl::DefButton, kOk, "OK", 40, 70, 50, 14, None},
    {Ctl::Button, kCancel, "Cancel", 100, 70, 50, 14, None},
};

const DlgItem kRmonHistory[] = {
    {Ctl::Group, S, "Control Table", 7, 5, 316, 92, None},
    {Ctl::List, rmonHistory::kControlList, "", 14, 17, 302, 74, None},
    {Ctl::Group, S, "Record Table", 7, 101, 316, 122, None},
    {Ctl::List, rmonHistory::kSampleList, "", 14, 113, 302, 104, None},
    {Ctl::Button, rmonHistory::kAdd, "&Add", 14, 230, 50, 14, None},
    {Ctl::Button, rmonHistory::kDelete, "&Delete", 70, 230, 50, 14, None},
    {Ctl::Button, rmonHistory::kRefresh, "&Refresh", 126, 230, 50, 14, None},
    {Ctl::Button, rmonHistory::kPrint, "&Print", 182, 230, 50, 14, Hidden},
    {Ctl::DefButton, kClose, "&Close", 266, 230, 50, 14, None},
};

const DlgItem kRmonHistoryAdd[] = {
    {Ctl::Static, S, "Index:", 10, 12, 50, 10, None},
    {Ctl::Edit, rmonHistory::kAddIndex, "", 64, 10, 116, 13, None},
    {Ctl::Static, S, "Source Port:", 10, 30, 50, 10, None},
    {Ctl::Edit, rmonHistory::kAddSource, "", 64, 28, 116, 13, None},
    {Ctl::Static, S, "Property:", 10, 48, 50, 10, None},
    {Ctl::Edit, rmonHistory::kAddProperty, "", 64, 46, 116, 13, None},
    {Ctl::Static, S, "Bucket:", 10, 66, 50, 10, None},
    {Ctl::Edit, rmonHistory::kAddBuckets, "", 64, 64, 116, 13, None},
    {Ctl::Static, S, "Interval(S):", 10, 84, 50, 10, None},
    {Ctl::Edit, rmonHistory::kAddInterval, "", 64, 82, 116, 13, None},
    {Ctl::DefButton, kOk, "OK", 40, 106, 50, 14, None},
    {Ctl::Button, kCancel, "Cancel", 100, 106, 50, 14, None},
};

const DlgItem kAlarmEvent[] = {
    {Ctl::Group, S, "Event Table", 7, 5, 406, 132, None},
    {Ctl::List, alarmEvent::kEventList, "", 14, 17, 392, 96, None},
    {Ctl::Static, S, "Number:", 14, 120, 32, 10, None},
    {Ctl::Value, alarmEvent::kEventCount, "0", 48, 119, 40, 12, None},
    {Ctl::Button, alarmEvent::kEventDelete, "&Delete", 236, 118, 52, 14, None},
    {Ctl::Button, alarmEvent::kEventRefresh, "&Refresh", 294, 118, 52, 14, None},
    {Ctl::Button, alarmEvent::kEventPrint, "&Print", 352, 118, 52, 14, Hidden | Disabled},
    {Ctl::Group, S, "Alarm Control Table", 7, 141, 406, 132, None},
    {Ctl::List, alarmEvent::kAlarmList, "", 14, 153, 392, 96, None},
    {Ctl::Static, S, "Number:", 14, 256, 32, 10, None},
    {Ctl::Value, alarmEvent::kAlarmCount, "0", 48, 255, 40, 12, None},
    {Ctl::Button, alarmEvent::kAlarmDelete, "De&lete", 236, 254, 52, 14, None},
    {Ctl::Button, alarmEvent::kAlarmRefresh, "Re&fresh", 294, 254, 52, 14, None},
    {Ctl::Button, alarmEvent::kAlarmPrint, "Prin&t", 352, 254, 52, 14, Hidden | Disabled},
    {Ctl::DefButton, kClose, "&Close", 356, 280, 50, 14, None},
};

const DlgItem kRmonParameter[] = {
    {Ctl::Static, S, "Parameter:", 10, 10, 40, 10, None},
    {Ctl::Combo, rmonParameter::kCounterCombo, "", 54, 8, 120, 120, None},
    {Ctl::Static, S, "Item#", 10, 30, 48, 10, None},
    {Ctl::Static, S, "Value", 60, 30, 48, 10, None},
    {Ctl::Static, S, "Item#", 115, 30, 48, 10, None},
    {Ctl::Static, S, "Value", 165, 30, 48, 10, None},
    {Ctl::Static, S, "Item#", 220, 30, 48, 10, None},
    {Ctl::Static, S, "Value", 270, 30, 48, 10, None},
    {Ctl::Static, rmonParameter::kFirstItem + 0, "Item  1", 10, 45, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 0, "0", 60, 44, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 1, "Item  2", 10, 59, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 1, "0", 60, 58, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 2, "Item  3", 10, 73, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 2, "0", 60, 72, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 3, "Item  4", 10, 87, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 3, "0", 60, 86, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 4, "Item  5", 10, 101, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 4, "0", 60, 100, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 5, "Item  6", 10, 115, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 5, "0", 60, 114, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 6, "Item  7", 10, 129, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 6, "0", 60, 128, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 7, "Item  8", 10, 143, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 7, "0", 60, 142, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 8, "Item  9", 115, 45, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 8, "0", 165, 44, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 9, "Item 10", 115, 59, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 9, "0", 165, 58, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 10, "Item 11", 115, 73, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 10, "0", 165, 72, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 11, "Item 12", 115, 87, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 11, "0", 165, 86, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 12, "Item 13", 115, 101, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 12, "0", 165, 100, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 13, "Item 14", 115, 115, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 13, "0", 165, 114, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 14, "Item 15", 115, 129, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 14, "0", 165, 128, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 15, "Item 16", 115, 143, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 15, "0", 165, 142, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 16, "Item 17", 220, 45, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 16, "0", 270, 44, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 17, "Item 18", 220, 59, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 17, "0", 270, 58, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 18, "Item 19", 220, 73, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 18, "0", 270, 72, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 19, "Item 20", 220, 87, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 19, "0", 270, 86, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 20, "Item 21", 220, 101, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 20, "0", 270, 100, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 21, "Item 22", 220, 115, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 21, "0", 270, 114, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 22, "Item 23", 220, 129, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 22, "0", 270, 128, 50, 12, None},
    {Ctl::Static, rmonParameter::kFirstItem + 23, "Item 24", 220, 143, 48, 10, None},
    {Ctl::Value, rmonParameter::kFirstValue + 23, "0", 270, 142, 50, 12, None},
    {Ctl::Button, rmonParameter::kPrev, "&Prev Group", 10, 162, 55, 14, None},
    {Ctl::Button, rmonParameter::kNext, "&Next Group", 72, 162, 55, 14, None},
    {Ctl::Button, rmonParameter::kRefresh, "&Refresh", 134, 162, 55, 14, None},
    {Ctl::DefButton, kClose, "&Close", 262, 162, 55, 14, None},
};

const DlgItem kRmonInterface[] = {
    {Ctl::Static, S, "Index", 10, 8, 60, 10, None},
    {Ctl::Static, S, "Parameter", 80, 8, 85, 10, None},
    {Ctl::Static, S, "Counter", 170, 8, 80, 10, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 0, "", 10, 20, 60, 80, None},
    {Ctl::Static, S, "DropEvent", 80, 22, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 0, "0", 170, 21, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 1, "", 10, 35, 60, 80, None},
    {Ctl::Static, S, "Octets", 80, 37, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 1, "0", 170, 36, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 2, "", 10, 50, 60, 80, None},
    {Ctl::Static, S, "Packets", 80, 52, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 2, "0", 170, 51, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 3, "", 10, 65, 60, 80, None},
    {Ctl::Static, S, "BroadcastPkts", 80, 67, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 3, "0", 170, 66, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 4, "", 10, 80, 60, 80, None},
    {Ctl::Static, S, "MulticastPkts", 80, 82, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 4, "0", 170, 81, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 5, "", 10, 95, 60, 80, None},
    {Ctl::Static, S, "CRCAllignErrors", 80, 97, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 5, "0", 170, 96, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 6, "", 10, 110, 60, 80, None},
    {Ctl::Static, S, "UndersizePkts", 80, 112, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 6, "0", 170, 111, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 7, "", 10, 125, 60, 80, None},
    {Ctl::Static, S, "OversizePkts", 80, 127, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 7, "0", 170, 126, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 8, "", 10, 140, 60, 80, None},
    {Ctl::Static, S, "Segments", 80, 142, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 8, "0", 170, 141, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 9, "", 10, 155, 60, 80, None},
    {Ctl::Static, S, "Jabbers", 80, 157, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 9, "0", 170, 156, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 10, "", 10, 170, 60, 80, None},
    {Ctl::Static, S, "Collisions", 80, 172, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 10, "0", 170, 171, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 11, "", 10, 185, 60, 80, None},
    {Ctl::Static, S, "Pkts64Octets", 80, 187, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 11, "0", 170, 186, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 12, "", 10, 200, 60, 80, None},
    {Ctl::Static, S, "Pkts65-127Octets", 80, 202, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 12, "0", 170, 201, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 13, "", 10, 215, 60, 80, None},
    {Ctl::Static, S, "Pkts128-255Octets", 80, 217, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 13, "0", 170, 216, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 14, "", 10, 230, 60, 80, None},
    {Ctl::Static, S, "Pkts256-511Octets", 80, 232, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 14, "0", 170, 231, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 15, "", 10, 245, 60, 80, None},
    {Ctl::Static, S, "Pkts512-1023Octets", 80, 247, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 15, "0", 170, 246, 80, 12, None},
    {Ctl::Combo, rmonInterface::kFirstProbe + 16, "", 10, 260, 60, 80, None},
    {Ctl::Static, S, "Pkts1024-1518Octets", 80, 262, 85, 10, None},
    {Ctl::Value, rmonInterface::kFirstValue + 16, "0", 170, 261, 80, 12, None},
    {Ctl::Button, rmonInterface::kRefresh, "&Refresh", 70, 280, 55, 14, None},
    {Ctl::DefButton, kClose, "&Close", 140, 280, 55, 14, None},
};

#define TEMPLATE(id, caption, w, h, items) {id, caption, w, h, "Arial", 9, items, int(std::size(items))}

const DlgItem kDeviceEvents[] = {
    {Ctl::Static, S, "Severity:", 7, 8, 34, 10, None},
    {Ctl::Combo, deviceEvents::kSeverityCombo, "", 42, 6, 86, 70, None},
    {Ctl::Static, S, "Text:", 138, 8, 20, 10, None},
    {Ctl::Edit, deviceEvents::kTextEdit, "", 160, 6, 160, 13, None},
    {Ctl::Static, deviceEvents::kStatus, "", 330, 8, 143, 10, None},
    {Ctl::ModelList, deviceEvents::kList, "", 7, 24, 466, 200, MultiSelect},
    // Where the journal was looked for and why it cannot be used, in place of the list.
    {Ctl::Static, deviceEvents::kProblem, "", 7, 24, 466, 200, Large | Hidden},
    {Ctl::Button, deviceEvents::kAcknowledge, "&Acknowledge", 7, 234, 64, 14, None},
    {Ctl::Button, deviceEvents::kAcknowledgeAll, "Acknowledge A&ll", 77, 234, 70, 14, None},
    {Ctl::Button, deviceEvents::kDetails, "&Details...", 153, 234, 56, 14, None},
    {Ctl::DefButton, kClose, "&Close", 423, 234, 50, 14, None},
};

const DlgTemplate kTemplates[] = {
    TEMPLATE(kDlgAbout, "About Talvex Module", 240, 84, kAbout),
    TEMPLATE(kDlgPanel, "Talvex", 320, 91, kPanel),
    TEMPLATE(kDlgSmartTrunk, "Smart Trunk", 176, 62, kSmartTrunk),
    TEMPLATE(kDlgCpu, "CPU Utilization", 227, 115, kCpu),
    TEMPLATE(kDlgMemory, "Memory Information", 233, 149, kMemory),
    TEMPLATE(kDlgDevice, "Device Information：", 187, 137, kDevice),
    TEMPLATE(kDlgSystem, "System Information", 283, 195, kSystem),
    TEMPLATE(kDlgInterface, "Interface Information", 404, 249, kInterface),
    TEMPLATE(kDlgPortConfig, "Port Configuration", 198, 138, kPortConfig),
    TEMPLATE(kDlgStpTable, "Spanning Tree Table", 441, 179, kStpTable),
    TEMPLATE(kDlgStpConfig, "STP Config", 322, 166, kStpConfig),
    TEMPLATE(kDlgPortStp, "Port STP", 224, 214, kPortStp),
    TEMPLATE(kDlgArp, "  ARP Table", 265, 157, kArp),
    TEMPLATE(kDlgRoute, "Router Table", 497, 163, kRoute),
    TEMPLATE(kDlgForwarding, "Forwarding Table", 188, 239, kForwarding),
    TEMPLATE(kDlgRmonStat, "RMON 1 Statistic Information", 260, 194, kRmonStat),
    TEMPLATE(kDlgRmonStatAdd, "  RMON 1 Group", 190, 92, kRmonStatAdd),
    TEMPLATE(kDlgRmonHistory, "RMON 2 Group - History Record", 330, 252, kRmonHistory),
    TEMPLATE(kDlgRmonHistoryAdd, "  RMON 2 Group", 190, 128, kRmonHistoryAdd),
    TEMPLATE(kDlgAlarmEvent, "Alarm & Event Information", 420, 300, kAlarmEvent),
    TEMPLATE(kDlgRmonParameter, "RMON 1 Group Parameter Information", 326, 184, kRmonParameter),
    TEMPLATE(kDlgRmonInterface, "RMON 1 Interface: device name", 260, 302, kRmonInterface),
    TEMPLATE(kDlgDeviceEvents, "Device Events", 480, 256, kDeviceEvents),
};

} // namespace

const DlgTemplate* Dialog(int id) {
    for (const DlgTemplate& t : kTemplates)
        if (t.id == id)
            return &t;
    return nullptr;
}

} // namespace res
