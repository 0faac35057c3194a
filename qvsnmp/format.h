// The OID record a session is built over, its type codes and flags, and how a value is shown
// and how a set's text becomes a value (the display convention is described in qvsnmp.h).
#pragma once

#include "qvsnmp/ber.h"

#include <QString>

#include <cstdint>
#include <string>

#if defined(QVSNMP_LIBRARY)
#define QVSNMP_EXPORT Q_DECL_EXPORT
#else
#define QVSNMP_EXPORT Q_DECL_IMPORT
#endif

// One {value, text} pair of a value-text map; a map ends with {0, nullptr}.
struct _QvValueText {
    int32_t value;
    const char* text;
};

// The OID record. Field order and the two 128-byte texts are those of the 32-bit record of 268
// bytes; on a 64-bit build the map pointer is 8 bytes and aligned, so the record is 280 bytes:
//   0 typeCode (2)  2 flags (2)  4 oid (128)  132 name (128)  260 padding (4)
//   264 valueText (8)  272 reserved (4)  276 padding (4)
struct _QvOidTable {
    uint16_t typeCode;
    uint16_t flags;
    char oid[128];
    char name[128];
    const _QvValueText* valueText;
    uint32_t reserved;
};

// Record type codes beyond the ASN.1 tags.
enum : uint16_t { QV_TYPE_PHYSADDRESS = 79 };

// Record flags. Only QV_FLAG_COLUMN changes what the library does (a walk's columns, see
// qvsnmp.h); the others say what the page does with the object, for whoever reads its table.
enum : uint16_t {
    QV_FLAG_READ = 0x1,    // read by the page
    QV_FLAG_WRITE = 0x2,   // written by the page's sets (and the proxy record)
    QV_FLAG_ADDRESS = 0x4, // a column that names a port, an interface or a station
    QV_FLAG_COLUMN = 0x10, // a table column, walked or read with an instance appended
};
// The flags a page's records carry.
enum : uint16_t {
    QV_SCALAR_READ = QV_FLAG_READ,
    QV_SCALAR_WRITE = QV_FLAG_WRITE, // also the proxy record
    QV_SCALAR_READ_WRITE = QV_FLAG_READ | QV_FLAG_WRITE,
    QV_COLUMN_READ = QV_FLAG_COLUMN | QV_FLAG_READ,
    QV_COLUMN_WRITE = QV_FLAG_COLUMN | QV_FLAG_WRITE,
    QV_COLUMN_ADDRESS = QV_FLAG_COLUMN | QV_FLAG_ADDRESS | QV_FLAG_READ,
};

// The display text of one value by the record's rules.
QVSNMP_EXPORT QString FormatSnmpValue(const ber::Value& value, uint16_t typeCode,
                                      const _QvValueText* map);
// The same text in UTF-8, appended to out: for output that is bytes, without a QString between.
QVSNMP_EXPORT void AppendSnmpValue(std::string& out, const ber::Value& value, uint16_t typeCode,
                                   const _QvValueText* map);
// Converts a set value text by a record's type code; false with *why on failure.
QVSNMP_EXPORT bool ConvertSnmpValue(const QString& text, uint16_t typeCode, const _QvValueText* map,
                                    ber::Value& out, QString* why);
