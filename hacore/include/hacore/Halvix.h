/**
 * @file
 * The hub's own settings: read from nvram and a few files, changed through
 * hub-settings events to the HA server, which applies them. Also the pro
 * (alarm) database /tmp/apdb, read here and changed through the RSC server.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

#include "hacore/Memory.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Hub-settings event (604 bytes, the size of an Event), sent to the HA
/// server's association port: an Event of type 22 (EV_HalvixUpdated) with
/// the setting code and the value.
struct HalvixSettingEvent {
    int32_t type;       ///< 22
    int32_t code;       ///< HalvixSetting code
    char value[292];    ///< the new value as text, zero-terminated
    uint8_t zero[304];  ///< zero
};
static_assert(sizeof(HalvixSettingEvent) == 604, "");
static_assert(offsetof(HalvixSettingEvent, code) == 4, "");
static_assert(offsetof(HalvixSettingEvent, value) == 8, "");
static_assert(offsetof(HalvixSettingEvent, zero) == 300, "");

/// Setting codes of the hub-settings event (HalvixSettingEvent::code); one
/// per Halvix setter. Code 9 is not used.
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

/// Pro-database values, by the code of their RSC command 53 (the store key
/// in brackets).
enum HalvixUpdateCmd : int32_t {
    HUC_HalvixMode = 25,          ///< "HalvixMode": alarm mode text
    HUC_EntryDelay = 26,          ///< "EntryDelay", seconds
    HUC_ExitDelay = 27,           ///< "ExitDelay", seconds
    HUC_SirenTimeout = 28,        ///< "SirenTimeout", seconds
    HUC_HalvixTamper = 29,        ///< "HalvixTamper"
    HUC_BatteryPercentage = 30,   ///< "BatteryPercentage"; -1 unknown
    HUC_BatteryMode = 31,         ///< "BatteryMode": running on battery
    HUC_InternetConnection = 32,  ///< "InternetConnection"
    HUC_CloudConnection = 33,     ///< "cloudConnection"
    HUC_Subscriptions = 34,       ///< "Subscriptions": "0,0,0" form
    HUC_ArmedLocations = 35,      ///< "ArmedLocations": up to ten joined by "|"
    HUC_SecurityPin = 36,         ///< "SecurityPin.1" .. ".6" (set and get with the credentials methods)
    HUC_CellularConnMode = 37,    ///< "CellularConnMode"
};

/// The pro database as Halvix::InitHalvixProDB() fills it. A memory image
/// only.
struct HalvixProDB {
    int32_t entryDelay;          ///< seconds; 0 when not stored
    int32_t exitDelay;           ///< seconds; 0 when not stored
    int32_t sirenTimeout;        ///< seconds; 0 when not stored
    int32_t tamper;              ///< hub tamper state; 0 when not stored
    int32_t batteryPercentage;   ///< -1 when not stored
    uint8_t batteryMode;         ///< 1: running on battery
    uint8_t internetConnection;  ///< 1: internet reachable
    uint8_t cloudConnection;     ///< 1: cloud reachable
    char mode[200];              ///< alarm mode text; "2 NULL" when not stored
    char subscriptions[10];      ///< "0,0,0" when not stored
    char armedLocations[1024];   ///< "None" when not stored
    char securityPins[6][180];   ///< "user:PIN" entries 1..6; "" after the first missing one
};

/// Firmware update state of one mesh unit.
struct SlaveFWStatus {
    char name[52];   ///< the unit's name
    int32_t status;  ///< 1 passed, -1 failed, 0 pending
};

/// Entry of the location table ::zones.
struct TimeZoneEntry {
    char location[80];  ///< tz database location, blanks for underscores ("America/New York")
    char tz[80];        ///< its POSIX TZ string
};
/// Location table: tz database locations and their POSIX TZ strings, sorted
/// by location.
extern const TimeZoneEntry zones[405];

/**
 * The hub's settings. Getters read nvram section 1 (through RMemory) or a
 * file on each call; setters send one hub-settings event to the HA server,
 * which applies the change: a getter shows it only once the server has done
 * so. The object caches only the DNS servers.
 *
 * Text getters write at most 179 characters: `out` buffers hold 180 bytes
 * (the server name 200). A null `out` is ignored.
 */
class Halvix {
public:
    /// Reads the DNS servers from nvram ("dhcpPriDns", "dhcpSecDns").
    Halvix();
    /// Does nothing.
    ~Halvix();

    /** @name Getters */
    ///@{
    /// Copies the DNS servers read at construction into `pri` and `sec` (30
    /// bytes each; a null pointer is skipped); returns 1.
    int getDNS(char* pri, char* sec);
    /// First line of /halvix/name (line end included); without the file, the
    /// "SSID1" setting, which is then sent as the new name.
    void getHalvixName(char* out);
    /// "DegreeFormat" ("C" or "F").
    void getTempFormat(char* out);
    /// First line of /halvix/ServerName (`out` holds 200 bytes); untouched
    /// without the file.
    void getServerName(char* out);
    /// "upnpEnabled" as a number.
    int getUpnpStatus();
    /// "Language".
    void getHalvixLanguage(char* out);
    /// "CHECKINTERNET_URL", the internet check's URL.
    void getURL(char* out);
    /// "CHECKINTERNET_IP", the internet check's address.
    void getPingIP(char* out);
    /// True when "BssidNum" is 2 or more (a guest network is on).
    bool isGuestNetworkEnabled();
    /// True when "WEBADMINENABLE" is set and not "0".
    bool getWebAdminState();
    /// "TZ", the POSIX TZ string.
    void getHalvixTimeZone(char* out);
    /// First line of /etc_ro/lighttpd/www/version (line end included); ""
    /// without the file.
    void getHalvixVersion(char* out);
    /// "ScreenTimeout", seconds.
    int getScreenLockTime();
    /// "Password" of the web administration.
    void getWebAdminPassword(char* out);
    /// "Login" of the web administration.
    void getWebAdminUserName(char* out);
    /// True when "ScreenLock" is 1.
    bool isScreenLock();
    /// True when "isTimeHoursMode24" is 1.
    bool isTimeHoursMode24();
    /// "AutoUpdateTime".
    void getFWAutoUpdateTime(char* out);
    /// True when "isAutoUpdate" is 1; when not set, sends "on" and answers
    /// true.
    bool isFWAutoUpdate();
    /// "master", "WirelessSlave", "WiredSlave", "router", "re", "wwan" or
    /// "ap", from the mesh and operation-mode settings; untouched for an
    /// unknown mode.
    void getHalvixOperationMode(char* out);
    /// "NewFirmwareVersion" when it names a firmware ("VK7-R..."), else "NaN".
    void getNewFirmwareVersion(char* out);
    /// A new list of the mesh units' update states, from the ";"-separated
    /// settings "MeshFWSlavePassed", "MeshFWSlaveFailed" and
    /// "MeshFWSlavePending". The caller deletes it.
    std::list<SlaveFWStatus>* getSlaveFWupdateStatus();
    /// True when "SlaveFWUpdateStatus" is 1. Not to be confused with
    /// getSlaveFWupdateStatus() (lower-case "u"), which lists the units.
    bool getSlaveFWUpdateStatus();
    /// "HalvixLocation"; when not set, stores "default" in nvram and gives it.
    void getHalvixLocation(char* out);
    /// True when "SameNetworkSettings" is not 0.
    bool isSameNetworkSettings();
    /// True when "DisableAutoTimeZone" is not 0.
    bool isDisableAutoTimeZone();
    /// "Geolocation".
    void getGeolocation(char* out);
    /// "AppTime"; 3936000 when not set.
    int getAppTime();
    /// Writes the user name of security PIN `pin` (from the pro database's
    /// "user:PIN" entries) into `user` (100 bytes); untouched if no entry has
    /// that PIN.
    void getPinToUserName(char* pin, char* user);
    ///@}

    /**
     * @name Setters
     * Each sends a hub-settings event to the HA server's association port.
     * Unless said otherwise they return 1 when sent and 0 for a refused
     * value or a failed send (reported on standard error). A value that does
     * not fit the event (291 characters) is refused like a failed check.
     */
    ///@{
    /// Two dotted IPv4 addresses, sent as "pri,sec"; 1 also when unchanged
    /// (nothing sent) or when the send fails.
    int setDns(char* pri, char* sec);
    /// The hub's name; 0 also when it equals the first line of /halvix/name.
    int setHalvixName(char* name);
    /// A text with 'C' or 'F'; 1 also when the send fails.
    int setTempFormat(char* format);
    /// At least 3 characters; 1 also when the send fails.
    int setServerName(char* name);
    /// Any number; always 1.
    int setUpnpStatus(int status);
    /// Web administration on or off.
    int setWebAdminState(bool on);
    /// 4 to 32 characters.
    int setWebAdminPassword(char* password);
    /// Screen lock on or off.
    int setScreenLock(bool on);
    /// 1 second or more.
    int setScreenLockTime(int seconds);
    /// A POSIX TZ string of at least 3 characters.
    int setHalvixTimeZone(char* tz);
    /// 24-hour clock on or off.
    int setTimeHoursMode24(bool on);
    /// Automatic firmware update on or off.
    int setFWAutoUpdate(bool on);
    /// Time of day of the automatic update.
    int setFWAutoUpdateTime(char* time);
    /// Announced firmware version; 1 without sending when unchanged.
    int setNewFirmwareVersion(char* version);
    /// Mesh units' update flag.
    int setSlaveFWUpdateStatus(bool on);
    /// Same network settings on all mesh units; 1 without sending when
    /// unchanged.
    int setSameNetworkSettings(bool on);
    /// Location name; 1 without sending when unchanged.
    int setHalvixLocation(char* location);
    /// 1 or 2 networks; 1 also when the send fails.
    int setGuestNetwork(int count);
    /// A dotted IPv4 address; 1 also when the send fails.
    int setPingIP(char* ip);
    /// Internet check URL; 1 also when the send fails.
    int setURL(char* url);
    /// Language name; 1 also when the send fails.
    int setHalvixLanguage(char* language);
    /// Automatic time zone off or on; 1 without sending when unchanged.
    int setDisableAutoTimeZone(bool on);
    /// Geolocation text; 1 without sending when unchanged.
    int setGeolocation(char* geolocation);
    /// Application time; 1 without sending when unchanged.
    int setAppTime(int time);
    /// Sets the TZ string of a location of ::zones (setHalvixTimeZone()); 1
    /// when the location is known, 0 for an unknown location.
    int setHalvixTimeZoneByLocation(char* location);
    ///@}
    /// The TZ string of the location (exact match in ::zones), or "NAN"; a
    /// constant text.
    const char* getZone(char* location);

    /**
     * @name Pro database
     * /tmp/apdb, read here; changes are RSC command 53 requests that block
     * up to 120 seconds for the answer.
     */
    ///@{
    /// Fills `rec` from the store (the defaults of HalvixProDB for missing
    /// keys); untouched when the store cannot be opened.
    void InitHalvixProDB(HalvixProDB* rec);
    /// Writes one value as text into `out` (1024 bytes): its default when
    /// not stored ("2 ,NULL" for the mode, "30" for the delays and siren
    /// timeout, "-1", "0,0,0", "None", else "0"). 1 when written; 0 for
    /// HUC_SecurityPin, another code or a store that cannot be opened.
    int getHalvixProDB(HalvixUpdateCmd code, char* out);
    /// Asks the RSC server to set value `code` to `text`, `a` and `b` going
    /// along as its arguments. Armed locations with more than ten entries,
    /// and texts of 10240 characters or more, are not sent. The answer is not
    /// reported.
    void setHalvixProDB(HalvixUpdateCmd code, char* text, unsigned char a, unsigned char b);
    /// Asks for a mode change: `kind` 2 sends mode 5 when `first` is "d",
    /// else 2; kind 3 sends mode 3; the text is "<mode> <second>;<first>".
    /// 1 when the server answered "true"; 0 for another kind.
    int setHalvixModeToDisarm(char* first, char* second, unsigned char kind);
    /// Sets security PIN entry `slot` (1..6) to `text` ("user:PIN"); slot -1
    /// with `list` ("1|3|...") names several entries. 1 when the server
    /// answered "true"; 0 for a bad slot or an empty text.
    int setHalvixCredentials(int slot, char* text, char* list, unsigned char flag);
    /// Slot 1..6: one PIN entry (out holds 180 bytes), 1 when found; -1: all
    /// of them joined by "|" (out holds 1086 bytes), 1. 0 for another slot
    /// or a store that cannot be opened.
    int getHalvixCredentials(int slot, char* out);
    ///@}

private:
    char dnsPri_[30];
    char dnsSec_[30];
};

#pragma GCC visibility pop
