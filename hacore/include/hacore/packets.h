// Datagrams sent to the hub's servers over loopback UDP. Every packet goes
// out whole at its fixed size; integers are little-endian 32-bit, texts are
// zero-terminated and zero-padded, unused bytes are zero.
#pragma once

#include <cstddef>
#include <cstdint>

// Device settings packet, to the HA server (127.255.255.1:8888).
struct SetDataPacket {
    int32_t deviceId;
    char operation[180];
    char value[180];
    int32_t devType;  // only where the command says so
    int32_t index;    // only for index-value requests
};
static_assert(sizeof(SetDataPacket) == 372, "");
static_assert(offsetof(SetDataPacket, operation) == 4, "");
static_assert(offsetof(SetDataPacket, value) == 184, "");
static_assert(offsetof(SetDataPacket, devType) == 364, "");
static_assert(offsetof(SetDataPacket, index) == 368, "");

// Association packet, to the HA server's association port (127.255.255.1:9999).
struct AssocPacket {
    int32_t selector;  // DevTech for index-value requests, else 0
    SetDataPacket data;
    uint8_t zero[3724];
};
static_assert(sizeof(AssocPacket) == 4100, "");
static_assert(offsetof(AssocPacket, data) == 4, "");

// Request to the RSC server (127.255.255.6:8888), answered "true".
struct RSC_PACKET {
    int32_t command;
    char text[10240];  // text, or a whole binary record for some commands
    int32_t int1;
    int32_t int2;
    int32_t int3;
    int32_t int4;
    int32_t int5;
    int32_t int6;
};
static_assert(sizeof(RSC_PACKET) == 10268, "");
static_assert(offsetof(RSC_PACKET, text) == 4, "");
static_assert(offsetof(RSC_PACKET, int1) == 10244, "");
static_assert(offsetof(RSC_PACKET, int6) == 10264, "");

// Z-Wave server packet (127.255.255.254:8888).
struct OZWPacket {
    int32_t zero0;
    uint8_t node;
    uint8_t commandClass;
    uint8_t commandIndex;
    uint8_t zero7[2];
    uint8_t instance;
    uint8_t zero10[82];
    char value[100];
    int32_t operation;  // ozw_OperationCode
    int32_t genre;      // ozw_ValueGenre
    int32_t valueType;  // ozw_ValueType
    uint8_t zero204[32];
};
static_assert(sizeof(OZWPacket) == 236, "");
static_assert(offsetof(OZWPacket, node) == 4, "");
static_assert(offsetof(OZWPacket, commandClass) == 5, "");
static_assert(offsetof(OZWPacket, commandIndex) == 6, "");
static_assert(offsetof(OZWPacket, instance) == 9, "");
static_assert(offsetof(OZWPacket, value) == 92, "");
static_assert(offsetof(OZWPacket, operation) == 192, "");
static_assert(offsetof(OZWPacket, genre) == 196, "");
static_assert(offsetof(OZWPacket, valueType) == 200, "");

// ZigBee server packet (127.255.255.253:8888): console lines ended by '\r'.
struct ZigbeePacket {
    char command[180];
    char keyword[130];  // "DeviceRemove", "getswitchversion", "startupgrade"
    uint16_t shortId;   // for keyword requests
    uint8_t zero312[8];
};
static_assert(sizeof(ZigbeePacket) == 320, "");
static_assert(offsetof(ZigbeePacket, keyword) == 180, "");
static_assert(offsetof(ZigbeePacket, shortId) == 310, "");

// Hue server packet (127.255.255.252:8888).
struct HuePacket {
    int32_t devType;
    int32_t saturation;
    int32_t level;
    int32_t hue;
    char state[40];  // "true" / "false"
    int32_t bulb;
    char newName[60];
    char userName[50];
    char bridgeId[50];
    int32_t command;
    uint8_t zero224[80];
};
static_assert(sizeof(HuePacket) == 304, "");
static_assert(offsetof(HuePacket, saturation) == 4, "");
static_assert(offsetof(HuePacket, level) == 8, "");
static_assert(offsetof(HuePacket, hue) == 12, "");
static_assert(offsetof(HuePacket, state) == 16, "");
static_assert(offsetof(HuePacket, bulb) == 56, "");
static_assert(offsetof(HuePacket, newName) == 60, "");
static_assert(offsetof(HuePacket, userName) == 120, "");
static_assert(offsetof(HuePacket, bridgeId) == 170, "");
static_assert(offsetof(HuePacket, command) == 220, "");

// Nest server packet (127.255.255.251:8888).
struct NestPacket {
    int32_t zero0;
    int32_t command;
    char nestId[136];
    int32_t presence;
    uint8_t zero148[35];
    char scale;  // first character of value 7
    uint8_t zero184[10];
    char value103[10];
    char value107[10];
    char value108[10];
    int32_t hvacMode;
    uint8_t zero228[8];
    uint8_t fanTimer;
    uint8_t zero237[19];
};
static_assert(sizeof(NestPacket) == 256, "");
static_assert(offsetof(NestPacket, command) == 4, "");
static_assert(offsetof(NestPacket, nestId) == 8, "");
static_assert(offsetof(NestPacket, presence) == 144, "");
static_assert(offsetof(NestPacket, scale) == 183, "");
static_assert(offsetof(NestPacket, value103) == 194, "");
static_assert(offsetof(NestPacket, value107) == 204, "");
static_assert(offsetof(NestPacket, value108) == 214, "");
static_assert(offsetof(NestPacket, hvacMode) == 224, "");
static_assert(offsetof(NestPacket, fanTimer) == 236, "");

// Pic-driver packet (127.255.255.249:8888): the hub's siren and LED.
struct PicPacket {
    int32_t command;
    int32_t arg4;  // tone: steps; set volume: byte 5 holds the volume
    int32_t arg8;
    int32_t arg12;
    int32_t arg16;
    int32_t freq[100];
    int32_t duration[100];
};
static_assert(sizeof(PicPacket) == 820, "");
static_assert(offsetof(PicPacket, arg8) == 8, "");
static_assert(offsetof(PicPacket, arg12) == 12, "");
static_assert(offsetof(PicPacket, arg16) == 16, "");
static_assert(offsetof(PicPacket, freq) == 20, "");
static_assert(offsetof(PicPacket, duration) == 420, "");

// Process-wide send buffers: a command fills one, the send function sends it
// whole and clears it.
extern SetDataPacket set_data;
extern OZWPacket OZWSendingPacket;
extern ZigbeePacket ZigbeeSendingPacket;
extern HuePacket HUESendingPacket;
extern NestPacket NESTSendingPacket;
