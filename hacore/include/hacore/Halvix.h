// The hub's own settings: read from nvram and a few files, changed through
// hub-settings events to the HA server, which applies them. Also the pro
// (alarm) database /tmp/apdb, read here and changed through the RSC server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

#include "hacore/Memory.h"

// Hub-settings event, sent to the HA server's association port: an Event of
// type 22 (HalvixUpdated) with the setting code and the value.
struct HalvixSettingEvent {
    int32_t type;     // 22
    int32_t code;     // setting code, see Halvix's setters
    char value[292];  // zero-terminated
    uint8_t zero[304];
};
static_assert(sizeof(HalvixSettingEvent) == 604, "");
static_assert(offsetof(HalvixSettingEvent, code) == 4, "");
static_assert(offsetof(HalvixSettingEvent, value) == 8, "");
static_assert(offsetof(HalvixSettingEvent, zero) == 300, "");

// Setting codes of the hub-settings event.
enum HalvixSetting : int32_t {
    HS_Dns = 0,
    HS_Name = 1,
    HS_TempFormat = 2,
    HS_ServerName = 3,
    HS_Upnp = 4,
    HS_WebAdminState = 5,
    HS_WebAdminPassword = 6,
    HS_ScreenLock = 7,
    HS_ScreenLockTime = 8,
    HS_TimeZone = 10,
    HS_TimeHoursMode24 = 11,
    HS_FWAutoUpdate = 12,
    HS_FWAutoUpdateTime = 13,
    HS_NewFirmwareVersion = 14,
    HS_SlaveFWUpdateStatus = 15,
    HS_SameNetworkSettings = 16,
    HS_Location = 17,
    HS_GuestNetwork = 18,
    HS_PingIP = 19,
    HS_URL = 20,
    HS_Language = 21,
    HS_DisableAutoTimeZone = 22,
    HS_Geolocation = 23,
    HS_AppTime = 24,
};

// Pro-database values, by the code of their RSC command 53.
enum HalvixUpdateCmd : int32_t {
    HUC_HalvixMode = 25,
    HUC_EntryDelay = 26,
    HUC_ExitDelay = 27,
    HUC_SirenTimeout = 28,
    HUC_HalvixTamper = 29,
    HUC_BatteryPercentage = 30,
    HUC_BatteryMode = 31,
    HUC_InternetConnection = 32,
    HUC_CloudConnection = 33,
    HUC_Subscriptions = 34,
    HUC_ArmedLocations = 35,
    HUC_SecurityPin = 36,
    HUC_CellularConnMode = 37,
};

// The pro database as InitHalvixProDB fills it.
struct HalvixProDB {
    int32_t entryDelay;
    int32_t exitDelay;
    int32_t sirenTimeout;
    int32_t tamper;
    int32_t batteryPercentage;
    uint8_t batteryMode;
    uint8_t internetConnection;
    uint8_t cloudConnection;
    char mode[200];
    char subscriptions[10];
    char armedLocations[1024];
    char securityPins[6][180];
};

// Firmware update state of one mesh unit: 1 passed, -1 failed, 0 pending.
struct SlaveFWStatus {
    char name[52];
    int32_t status;
};

// Location table: tz database locations (blanks for underscores) and their
// POSIX TZ strings, sorted by location.
struct TimeZoneEntry {
    char location[80];
    char tz[80];
};
extern const TimeZoneEntry zones[405];

class Halvix {
public:
    // Reads the DNS servers from nvram ("dhcpPriDns", "dhcpSecDns").
    Halvix();
    ~Halvix();

    // Getters. Text getters write at most 179 characters: buffers hold 180
    // bytes (the server name 200).
    int getDNS(char* pri, char* sec);
    void getHalvixName(char* out);
    void getTempFormat(char* out);
    void getServerName(char* out);
    int getUpnpStatus();
    void getHalvixLanguage(char* out);
    void getURL(char* out);
    void getPingIP(char* out);
    bool isGuestNetworkEnabled();
    bool getWebAdminState();
    void getHalvixTimeZone(char* out);
    void getHalvixVersion(char* out);
    int getScreenLockTime();
    void getWebAdminPassword(char* out);
    void getWebAdminUserName(char* out);
    bool isScreenLock();
    bool isTimeHoursMode24();
    void getFWAutoUpdateTime(char* out);
    bool isFWAutoUpdate();
    void getHalvixOperationMode(char* out);
    void getNewFirmwareVersion(char* out);
    // A new list (the caller deletes it) of the mesh units' update states.
    std::list<SlaveFWStatus>* getSlaveFWupdateStatus();
    bool getSlaveFWUpdateStatus();
    void getHalvixLocation(char* out);
    bool isSameNetworkSettings();
    bool isDisableAutoTimeZone();
    void getGeolocation(char* out);
    int getAppTime();
    // The user of a security PIN (user holds 100 bytes); untouched if none.
    void getPinToUserName(char* pin, char* user);

    // Setters: each sends a hub-settings event. A value that does not fit
    // the event (291 characters) is refused like a failed check.
    int setDns(char* pri, char* sec);
    int setHalvixName(char* name);
    int setTempFormat(char* format);
    int setServerName(char* name);
    int setUpnpStatus(int status);
    int setWebAdminState(bool on);
    int setWebAdminPassword(char* password);
    int setScreenLock(bool on);
    int setScreenLockTime(int seconds);
    int setHalvixTimeZone(char* tz);
    int setTimeHoursMode24(bool on);
    int setFWAutoUpdate(bool on);
    int setFWAutoUpdateTime(char* time);
    int setNewFirmwareVersion(char* version);
    int setSlaveFWUpdateStatus(bool on);
    int setSameNetworkSettings(bool on);
    int setHalvixLocation(char* location);
    int setGuestNetwork(int count);
    int setPingIP(char* ip);
    int setURL(char* url);
    int setHalvixLanguage(char* language);
    int setDisableAutoTimeZone(bool on);
    int setGeolocation(char* geolocation);
    int setAppTime(int time);
    // Sets the TZ string of a location of `zones`; 0 for an unknown location.
    int setHalvixTimeZoneByLocation(char* location);
    // The TZ string of the location, or "NAN".
    const char* getZone(char* location);

    // Pro database.
    void InitHalvixProDB(HalvixProDB* rec);
    // out holds 1024 bytes; 1 when written.
    int getHalvixProDB(HalvixUpdateCmd code, char* out);
    void setHalvixProDB(HalvixUpdateCmd code, char* text, unsigned char a, unsigned char b);
    int setHalvixModeToDisarm(char* first, char* second, unsigned char kind);
    int setHalvixCredentials(int slot, char* text, char* list, unsigned char flag);
    // Slot 1..6: one PIN entry (out holds 180 bytes); -1: all of them joined
    // by "|" (out holds 1086 bytes).
    int getHalvixCredentials(int slot, char* out);

private:
    char dnsPri_[30];
    char dnsSec_[30];
};
