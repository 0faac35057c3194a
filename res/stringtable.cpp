#include "res/stringtable.h"

namespace res {

namespace {

struct Entry {
    int id;
    const char* text;
};

const Entry kStrings[] = {
    {101, "&About Talvex Module..."},
    {103, "Failed to initialize Windows Communication !"},
    {123, " Hours "},
    {124, " Minutes "},
    // interface list headings (trailing blanks widen the columns)
    {105, "Interface"},
    {129, "Link Status"},
    {130, "Description             "},
    {131, " Type                     "},
    {132, "Rate(Octets/S) "},
    {133, " MAC                          "},
    // ARP list headings
    {106, " IP                         "},
    {107, " MAC                "},
    {108, " Type                 "},
    // RMON history: control list, sample list, page title
    {112, "Item   "},
    {113, "Source         "},
    {114, "Property         "},
    {115, "Buckets        "},
    {116, "Interval(S)      "},
    {117, "   Time                "},
    {118, "Octets/S"},
    {119, "Pkts/S      "},
    {120, "Utilization %  "},
    {121, " Errors/S      "},
    {122, " RMON 2 History Group Information"},
    // routing list headings (columns 0 to 6 get a blank on either side)
    {135, " Dest IP    "},
    {136, "IP                         "},
    {137, "   Subnetmask    "},
    {138, "Interface"},
    {139, "Type"},
    {140, " Protocol "},
    {141, " Age "},
    {142, " Metric1 "},
    {143, " Metric2 "},
    {144, " Metric3 "},
    {145, " Metric4 "},
    // forwarding list headings
    {148, " MAC                          "},
    {149, " MAC Type     "},
    {150, " Port"},
    // spanning-tree list headings
    {151, "Port"},
    {152, "Priority"},
    {153, "Cost "},
    {154, "Enable"},
    {155, "Status  "},
    {156, " ==Designated Root== "},
    {157, "DesignatedCost"},
    {158, " ==DesignatedBridge== "},
    {159, "DesignatedPort"},
    {160, "Transitions"},
    // alarms and events: page title, alarm list headings (no string for "  OID  "), event list
    {172, " Alarm & Event Information"},
    {173, "Index"},
    {174, "Interval(S)"},
    {175, "Sample Type"},
    {176, "Sample Value"},
    {177, "Startup"},
    {178, "RisingThreshold"},
    {179, "FallingThreshold"},
    {180, "RisingEventIndex"},
    {181, "FallingEventIndex"},
    {182, "Property    "},
    {183, "Index"},
    {184, "Description                         "},
    {185, "Type            "},
    {186, "Community      "},
    {187, "    LastTimeSent     "},
    {188, "Property      "},
    // RMON statistics: list headings, titles of the page and its two displays
    {194, "Index"},
    {195, "      Source       "},
    {196, " RMON 1 Group Statistic Info："},
    {197, " Port - "},
    {198, " RMON 1 Group Parameter Information"},
    {199, " RMON 1 Group Interface Information"},
    {200, "Item "},
    // the counters the group display offers, in its combo's order
    {202, "Octets"},
    {203, "Pkts"},
    {204, "BroadcastPkts"},
    {205, "MulticastPkts"},
    {206, "CRCAlignErrors"},
    {207, "UndersizePkts"},
    {208, "OversizePkts"},
    {209, "Fragments"},
    {210, "Collisions"},
    {211, "Pkts64Octets"},
    {212, "Pkts65to127Octets"},
    {213, "Pkts128to255Octets"},
    {214, "Pkts256to511Octets"},
    {215, "Pkts512to1023Octets"},
    {216, "Pkts1024to1518Octets"},
};

} // namespace

const char* String(int id) {
    for (const Entry& e : kStrings)
        if (e.id == id)
            return e.text;
    return "";
}

} // namespace res
