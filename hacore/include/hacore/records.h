// Binary records of the device store /tmp/ddb, exactly as they lie on disk
// (little-endian, 32-bit fields, zero-terminated zero-padded texts).
#pragma once

#include <cstddef>
#include <cstdint>

// Main record of a device, key "%d".
struct DeviceRecord {
    int32_t id;
    char name[180];
    char location[180];
    int32_t ozwNode;
    int32_t shortId;  // 65535 = no ZigBee address
    char eui64[25];
    uint8_t pad1[3];
    int32_t technology;  // DevTech
    char associationTime[32];
    int32_t typeCode;  // not read: the type comes from typeName
    char typeName[32];
    char friendlyType[32];
    uint8_t allowNotification;
    uint8_t pad2[3];
    int32_t valueCount;  // highest value index
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

// Value record of one value index, key "%d.%d" (device ID, index).
struct ValueRecord {
    int32_t index;
    char name[30];
    char value[42];
    int32_t commandClass;
    int32_t commandIndex;
    int32_t endPoint;
    int32_t indexType;  // IndexType
};
static_assert(sizeof(ValueRecord) == 92, "value record size");
static_assert(offsetof(ValueRecord, name) == 4, "");
static_assert(offsetof(ValueRecord, value) == 34, "");
static_assert(offsetof(ValueRecord, commandClass) == 76, "");
static_assert(offsetof(ValueRecord, commandIndex) == 80, "");
static_assert(offsetof(ValueRecord, endPoint) == 84, "");
static_assert(offsetof(ValueRecord, indexType) == 88, "");
