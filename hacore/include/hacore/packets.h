/**
 * @file
 * Datagrams sent to the hub's servers over loopback UDP. Every packet goes
 * out whole at its fixed size; integers are little-endian 32-bit, texts are
 * zero-terminated and zero-padded, unused bytes are zero. Fields named
 * `zero...` or `pad...` are always zero.
 */
#pragma once

#include <cstddef>
#include <cstdint>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Device settings packet (372 bytes), to the HA server (127.255.255.1:8888):
/// asks it to change a stored attribute of a device.
struct SetDataPacket {
    int32_t deviceId;     ///< device to change
    char operation[180];  ///< what to change: "Name", "Location", "DeviceRemove", a value name...
    char value[180];      ///< the new value as text
    int32_t devType;      ///< DevType, only where the command says so
    int32_t index;        ///< value index, only for index-value requests
};
static_assert(sizeof(SetDataPacket) == 372, "");
static_assert(offsetof(SetDataPacket, operation) == 4, "");
static_assert(offsetof(SetDataPacket, value) == 184, "");
static_assert(offsetof(SetDataPacket, devType) == 364, "");
static_assert(offsetof(SetDataPacket, index) == 368, "");

/// Association packet (4100 bytes), to the HA server's association port
/// (127.255.255.1:9999): a device settings packet behind a selector word.
struct AssocPacket {
    int32_t selector;    ///< DevTech for index-value requests, else 0
    SetDataPacket data;  ///< the request
    uint8_t zero[3724];  ///< zero
};
static_assert(sizeof(AssocPacket) == 4100, "");
static_assert(offsetof(AssocPacket, data) == 4, "");

/// Request (10268 bytes) to the RSC server (127.255.255.6:8888), which owns
/// the scene, rule, client, mesh and pro stores and answers "true" when it
/// made the change. Sent by sendRscClientPacket().
struct RSC_PACKET {
    int32_t command;   ///< request code; its meaning fixes how the other fields are used
    char text[10240];  ///< text, or a whole binary record for some commands
    int32_t int1;      ///< first integer argument
    int32_t int2;      ///< second integer argument
    int32_t int3;      ///< third integer argument (often the entity ID)
    int32_t int4;      ///< fourth integer argument
    int32_t int5;      ///< fifth integer argument
    int32_t int6;      ///< sixth integer argument
};
static_assert(sizeof(RSC_PACKET) == 10268, "");
static_assert(offsetof(RSC_PACKET, text) == 4, "");
static_assert(offsetof(RSC_PACKET, int1) == 10244, "");
static_assert(offsetof(RSC_PACKET, int6) == 10264, "");

/// Z-Wave server packet (236 bytes, 127.255.255.254:8888): one value
/// operation on one node.
struct OZWPacket {
    int32_t zero0;         ///< zero
    uint8_t node;          ///< Z-Wave node number; 0 for every node
    uint8_t commandClass;  ///< command class (see cclassStr())
    uint8_t commandIndex;  ///< index of the value within the class
    uint8_t zero7[2];      ///< zero
    uint8_t instance;      ///< instance (end point), 1 unless said otherwise
    uint8_t zero10[82];    ///< zero
    char value[100];       ///< the value as text ("true", "50", a list item)
    int32_t operation;     ///< ozw_OperationCode
    int32_t genre;         ///< ozw_ValueGenre
    int32_t valueType;     ///< ozw_ValueType
    uint8_t zero204[32];   ///< zero
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

/// ZigBee server packet (320 bytes, 127.255.255.253:8888): console lines
/// each ended by a carriage return. The server needs consecutive packets 100 ms apart.
struct ZigbeePacket {
    char command[180];   ///< console lines: a cluster command, then "send ADDR 1 ENDPOINT"
    char keyword[130];   ///< "DeviceRemove", "getswitchversion", "startupgrade", or ""
    uint16_t shortId;    ///< device short address, for keyword requests
    uint8_t zero312[8];  ///< zero
};
static_assert(sizeof(ZigbeePacket) == 320, "");
static_assert(offsetof(ZigbeePacket, keyword) == 180, "");
static_assert(offsetof(ZigbeePacket, shortId) == 310, "");

/// Hue server packet (304 bytes, 127.255.255.252:8888).
struct HuePacket {
    int32_t devType;      ///< DevType of the light
    int32_t saturation;   ///< saturation, for command 103
    int32_t level;        ///< brightness level, for command 104
    int32_t hue;          ///< hue (command 102) or colour value (108)
    char state[40];       ///< "true" / "false", for the switch commands
    int32_t bulb;         ///< bulb number on the bridge
    char newName[60];     ///< new name, for the rename command 112
    char userName[50];    ///< the bridge's user name
    char bridgeId[50];    ///< the bridge's ID
    int32_t command;      ///< request: 101 switch, 102 hue, 103 saturation, 104 level, ...
    uint8_t zero224[80];  ///< zero
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

/// Nest server packet (256 bytes, 127.255.255.251:8888).
struct NestPacket {
    int32_t zero0;        ///< zero
    int32_t command;      ///< request: 101 fan timer, 102 presence, 104 mode, ...
    char nestId[136];     ///< the device's Nest ID (its value 1)
    int32_t presence;     ///< 1 when value 8 is "home", else 0
    uint8_t zero148[35];  ///< zero
    char scale;           ///< temperature scale: first character of value 7
    uint8_t zero184[10];  ///< zero
    char value103[10];    ///< value text of command 103 (value 3)
    char value107[10];    ///< value text of command 107 (value 5)
    char value108[10];    ///< value text of command 108 (value 6)
    int32_t hvacMode;     ///< command 104: 0 off, 1 heat, 2 cool, 3 heat-cool, 4 eco
    uint8_t zero228[8];   ///< zero
    uint8_t fanTimer;     ///< command 101: 1 start the fan timer, 0 stop it
    uint8_t zero237[19];  ///< zero
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

/// Pic-driver packet (820 bytes, 127.255.255.249:8888): the hub's siren and
/// LED.
struct PicPacket {
    int32_t command;        ///< request: 0 tone, 1 siren start, 2 siren stop, 3 enable, ...
    int32_t arg4;           ///< tone: steps; set volume: byte 5 holds the volume
    int32_t arg8;           ///< duration in seconds (start requests)
    int32_t arg12;          ///< mode or on/off argument of the request
    int32_t arg16;          ///< tone number, or the LED colour 0xRRGGBB
    int32_t freq[100];      ///< tone: frequency of each step, Hz
    int32_t duration[100];  ///< tone: duration of each step, ms
};
static_assert(sizeof(PicPacket) == 820, "");
static_assert(offsetof(PicPacket, arg8) == 8, "");
static_assert(offsetof(PicPacket, arg12) == 12, "");
static_assert(offsetof(PicPacket, arg16) == 16, "");
static_assert(offsetof(PicPacket, freq) == 20, "");
static_assert(offsetof(PicPacket, duration) == 420, "");

#pragma GCC visibility pop
