/**
 * @file
 * Binary records of the device store /tmp/ddb, exactly as they lie on disk
 * (little-endian, 32-bit fields, zero-terminated zero-padded texts). The HA
 * server writes them; Device reads them.
 */
#pragma once

#include <cstddef>
#include <cstdint>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Main record of a device (512 bytes), key "%d" (the device ID).
struct DeviceRecord {
    int32_t id;                 ///< device ID, as the key
    char name[180];             ///< user's name of the device
    char location[180];         ///< user's location text
    int32_t ozwNode;            ///< Z-Wave node number
    int32_t shortId;            ///< ZigBee short address; 65535 = none
    char eui64[25];             ///< ZigBee EUI-64 as text
    uint8_t pad1[3];            ///< zero
    int32_t technology;         ///< DevTech
    char associationTime[32];   ///< when the device was paired, as text
    int32_t typeCode;           ///< not read: the type comes from typeName
    char typeName[32];          ///< DevType name, e.g. "BinarySwitch"
    char friendlyType[32];      ///< type text shown to the user
    uint8_t allowNotification;  ///< 1: notify the user of changes
    uint8_t pad2[3];            ///< zero
    int32_t valueCount;         ///< highest value index (indexes 0..valueCount)
};
static_assert(sizeof(DeviceRecord) == 512, "device record size");
static_assert(offsetof(DeviceRecord, name) == 4, "");
static_assert(offsetof(DeviceRecord, location) == 184, "");
static_assert(offsetof(DeviceRecord, ozwNode) == 364, "");
static_assert(offsetof(DeviceRecord, shortId) == 368, "");
static_assert(offsetof(DeviceRecord, eui64) == 372, "");
static_assert(offsetof(DeviceRecord, technology) == 400, "");
static_assert(offsetof(DeviceRecord, associationTime) == 404, "");
static_assert(offsetof(DeviceRecord, typeCode) == 436, "");
static_assert(offsetof(DeviceRecord, typeName) == 440, "");
static_assert(offsetof(DeviceRecord, friendlyType) == 472, "");
static_assert(offsetof(DeviceRecord, allowNotification) == 504, "");
static_assert(offsetof(DeviceRecord, valueCount) == 508, "");

/// Value record of one value index (92 bytes), key "%d.%d" (device ID,
/// index).
struct ValueRecord {
    int32_t index;         ///< value index within the device
    char name[30];         ///< value name, the IndexType name ("SWITCH BINARY")
    char value[42];        ///< current value as text
    int32_t commandClass;  ///< Z-Wave command class
    int32_t commandIndex;  ///< Z-Wave command index
    int32_t endPoint;      ///< end point (ZigBee, Z-Wave instance)
    int32_t indexType;     ///< IndexType
};
static_assert(sizeof(ValueRecord) == 92, "value record size");
static_assert(offsetof(ValueRecord, name) == 4, "");
static_assert(offsetof(ValueRecord, value) == 34, "");
static_assert(offsetof(ValueRecord, commandClass) == 76, "");
static_assert(offsetof(ValueRecord, commandIndex) == 80, "");
static_assert(offsetof(ValueRecord, endPoint) == 84, "");
static_assert(offsetof(ValueRecord, indexType) == 88, "");

#pragma GCC visibility pop
