// The ids of the dialog templates, of the main window's commands and of each template's
// controls. The numbers are the ones the templates have always carried: code and tests find a
// control by its number, and the same number names different controls in different templates,
// so each template's controls have a namespace of their own.
#pragma once

namespace res {

// Dialog templates (res::Dialog).
enum : int {
    kDlgInterface = 49,
    kDlgSystem = 80,
    kDlgArp = 81,
    kDlgAbout = 100,
    kDlgPanel = 102,
    kDlgSmartTrunk = 131,
    kDlgPortConfig = 156,
    kDlgForwarding = 278,
    kDlgDevice = 356,
    kDlgRoute = 411,
    kDlgCpu = 413,
    kDlgMemory = 414,
    kDlgStpTable = 460,
    kDlgStpConfig = 461,
    kDlgPortStp = 462,
    kDlgRmonStat = 471,
    kDlgRmonStatAdd = 472,
    kDlgRmonHistory = 473,
    kDlgRmonHistoryAdd = 474,
    kDlgAlarmEvent = 475,
    kDlgRmonParameter = 476,
    kDlgRmonInterface = 477,
    kDlgDeviceEvents = 490,
};

// Commands of the main window: its menu bar (kMenu175) and a port's menu.
enum : int {
    kCmdSystemInfo = 32787,
    kCmdInterfaceInfo = 32788,
    kCmdArp = 32789,
    kCmdRoute = 32790,
    kCmdForwarding = 32791,
    kCmdStpInfo = 32796,
    kCmdTelnet = 32800,
    kCmdRmonStat = 32804,
    kCmdRmonHistory = 32805,
    kCmdAlarmEvent = 32806,
    kCmdPanelRefresh = 32808,
    kCmdCpu = 32809,
    kCmdOspf = 32810,
    kCmdMemory = 32811,
    kCmdWeb = 32813,
    kCmdAbout = 32814,
    kCmdPortConfig = 32869,
    kCmdNothing1 = 32875,
    kCmdDeviceInfo = 32964,
    kCmdNothing2 = 32965,
    kCmdSmartTrunk = 32966,
    kCmdDeviceEvents = 32970,
    kCmdTrafficGraph = 33001, // a port's menu only: no menu-bar item
};

// The buttons that end a dialog carry the same ids in every template that has them.
enum : int { kOk = 1, kCancel = 2, kClose = 2 };

namespace panel {
// Takes Enter so that it does not close the window.
enum : int { kHiddenDefault = 1025 };
} // namespace panel

// The pages read on a timer share their Refresh and Close.
namespace timed {
enum : int { kRefresh = 103, kClose = 1146 };
} // namespace timed

namespace cpu {
enum : int {
    k5Sec = 1310,
    k1Min = 1312,
    k5Min = 1313,
    kRefresh = timed::kRefresh,
    kClose = timed::kClose
};
} // namespace cpu

namespace memory {
enum : int {
    kLargest = 1303,
    kLowest = 1304,
    kIndex = 1305,
    kName = 1306,
    kCurrent = 1307,
    kRefresh = timed::kRefresh,
    kClose = timed::kClose,
};
} // namespace memory

namespace device {
enum : int {
    kType = 1223,
    kAddress = 1224,
    kMac = 1225,
    kFirmware = 1226,
    kHardware = 1227,
    kRefresh = 3
};
} // namespace device

namespace system {
enum : int {
    kDescr = 1302,
    kObjectId = 1303,
    kUptime = 1304,
    kName = 1310,
    kContact = 1312,
    kLocation = 1313,
    kPhysical = 1008,
    kLink = 1009,
    kNetwork = 1098,
    kTransport = 1099,
    kApplication = 1102,
    kApply = 1145,
    kRefresh = timed::kRefresh,
    kClose = timed::kClose,
};
} // namespace system

namespace interface {
enum : int { kList = 1088, kCount = 1095, kGraph = 1096, kRefresh = 3 };
} // namespace interface

namespace portConfig {
enum : int {
    kCombo = 1036,
    kPortLabel = 1223,
    kEnabled = 1224,
    kLink = 1226,
    kSpeed = 1227,
    kSet = 3,
    kRefresh = 4
};
} // namespace portConfig

namespace stpTable {
enum : int { kList = 1088, kCount = 1095, kPortConfig = 1150, kBridgeConfig = 1151, kRefresh = 3 };
} // namespace stpTable

namespace stpConfig {
enum : int {
    kMaxAge = 1301,
    kPriority = 1302,
    kForwardDelay = 1303,
    kHelloTime = 1304,
    kRootPort = 1305,
    kDesignatedRoot = 1306,
    kTimeSinceChange = 1307,
    kTopChanges = 1308,
    kCurrentForwardDelay = 1309,
    kCurrentHelloTime = 1310,
    kHoldTime = 1311,
};
} // namespace stpConfig

namespace portStp {
enum : int {
    kPrev = 1401,
    kPortLabel = 1402,
    kNext = 1403,
    kPriority = 1404,
    kPathCost = 1405,
    kEnable = 1406,
    kState = 1407,
    kDesignatedRoot = 1408,
    kDesignatedCost = 1409,
    kDesignatedBridge = 1410,
    kDesignatedPort = 1411,
    kForwardTransitions = 1412,
    kApply = 1413,
};
} // namespace portStp

namespace arp {
enum : int { kList = 1144, kCount = 1143, kPrint = 12, kRefresh = 103 };
} // namespace arp

namespace route {
enum : int { kList = 1194, kCount = 1195, kRefresh = 3 };
} // namespace route

namespace forwarding {
enum : int {
    kList = 1205,
    kCount = 1220,
    kFilter = 1213,
    kAging = 1216,
    kRefresh = 20,
    kClose = 1217
};
} // namespace forwarding

namespace rmonStat {
enum : int {
    kList = 1001,
    kCount = 1002,
    kAdd = 1003,
    kDelete = 1004,
    kRefresh = 1005,
    kParameter = 1006,
    kInterface = 1007,
    kAddIndex = 1010,
    kAddSource = 1011,
    kAddProperty = 1012,
};
} // namespace rmonStat

namespace rmonHistory {
enum : int {
    kControlList = 1020,
    kSampleList = 1021,
    kAdd = 1022,
    kDelete = 1023,
    kRefresh = 1024,
    kPrint = 1025,
    kAddIndex = 1030,
    kAddSource = 1031,
    kAddProperty = 1032,
    kAddBuckets = 1033,
    kAddInterval = 1034,
};
} // namespace rmonHistory

namespace alarmEvent {
enum : int {
    kEventList = 1040,
    kEventCount = 1041,
    kEventDelete = 1042,
    kEventRefresh = 1043,
    kEventPrint = 1044,
    kAlarmList = 1050,
    kAlarmCount = 1051,
    kAlarmDelete = 1052,
    kAlarmRefresh = 1053,
    kAlarmPrint = 1054,
};
} // namespace alarmEvent

namespace rmonParameter {
// Items and values run on from the first: item i is kFirstItem + i.
enum : int {
    kCounterCombo = 1060,
    kPrev = 1061,
    kNext = 1062,
    kRefresh = 1063,
    kFirstItem = 1101,
    kItems = 24,
    kFirstValue = 1201,
};
} // namespace rmonParameter

namespace rmonInterface {
// One probe combo and one value a counter, in the order of the rows.
enum : int { kFirstProbe = 1301, kFirstValue = 1401, kRows = 17, kRefresh = 1070 };
} // namespace rmonInterface

namespace deviceEvents {
enum : int {
    kSeverityCombo = 2001,
    kTextEdit = 2002,
    kStatus = 2003,
    kProblem = 2004,
    kList = 2005,
    kAcknowledge = 2006,
    kAcknowledgeAll = 2007,
    kDetails = 2008,
};
} // namespace deviceEvents

} // namespace res
