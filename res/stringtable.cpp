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
};

} // namespace

const char* String(int id) {
    for (const Entry& e : kStrings)
        if (e.id == id)
            return e.text;
    return "";
}

} // namespace res
