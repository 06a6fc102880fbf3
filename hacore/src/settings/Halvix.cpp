// Halvix: the hub's settings. Getters read nvram and files afresh on every
// call; setters send a hub-settings event to the HA server, which applies it.
#include "hacore/Halvix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "channel/channel_internal.h"
#include "hacore/Client.h"
#include "hacore/vocab.h"
#include "store/store_internal.h"
#include "base/text.h"

namespace {

constexpr int kValueSize = 180;  // a getter's buffer

// nvram value of section 1, cut to 179 characters.
std::string setting(const char* name) {
    char value[NVRAM_BUFFER_SIZE] = {0};
    RMemory().getNoSaveSetting(const_cast<char*>(name), value);
    return std::string(value, strnlen(value, kValueSize - 1));
}

void settingTo(const char* name, char* out) {
    if (!out) return;
    hbase::copyText(out, kValueSize, setting(name).c_str());
}

int settingNumber(const char* name) { return atoi(setting(name).c_str()); }

// First line of a file, line end included, at most max characters; false
// when the file cannot be opened.
bool firstLine(const char* path, std::string* line, size_t max) {
    FILE* f = fopen(path, "r");
    if (!f) return false;
    line->clear();
    int c;
    while (line->size() < max && (c = fgetc(f)) != EOF) {
        *line += (char)c;
        if (c == '\n') break;
    }
    fclose(f);
    return true;
}

constexpr int kSent = 1, kSendFailed = 0, kTooLong = -1;

// Sends the hub-settings event; on a failed send writes the message.
int sendSetting(int code, const char* text, const char* failMessage = "sending event to haserver failed\n") {
    HalvixSettingEvent e;
    memset(&e, 0, sizeof e);
    if (!text || strnlen(text, sizeof e.value) >= sizeof e.value) return kTooLong;
    e.type = EV_HalvixUpdated;
    e.code = code;
    hbase::copyText(e.value, sizeof e.value, text);
    if (sendToHA(&e, sizeof e, true) != (int)sizeof e) {
        fputs(failMessage, stderr);
        return kSendFailed;
    }
    return kSent;
}

int sendFlag(int code, bool on) { return sendSetting(code, on ? "1" : "0"); }

// Setters that answer 1 when sent and 0 when the send failed.
int sentOrFailed(int r) { return r == kSent ? 1 : 0; }

// A setting sent only when it changes: 1 when it already holds the value.
int changeText(const char* name, int code, const char* value) {
    if (!value) return 0;
    if (setting(name) == value) return 1;
    return sentOrFailed(sendSetting(code, value));
}

int changeFlag(const char* name, int code, bool on) {
    if (settingNumber(name) == (int)on) return 1;
    return sentOrFailed(sendFlag(code, on));
}

}  // namespace

Halvix::Halvix() {
    settingTo("dhcpPriDns", dnsPri_);
    settingTo("dhcpSecDns", dnsSec_);
}

Halvix::~Halvix() {}

int Halvix::getDNS(char* pri, char* sec) {
    if (pri) strcpy(pri, dnsPri_);
    if (sec) strcpy(sec, dnsSec_);
    return 1;
}

void Halvix::getHalvixName(char* out) {
    if (!out) return;
    std::string line;
    if (firstLine("/halvix/name", &line, kValueSize - 1)) {
        hbase::copyText(out, kValueSize, line.c_str());
        return;
    }
    settingTo("SSID1", out);
    setHalvixName(out);
}

void Halvix::getTempFormat(char* out) { settingTo("DegreeFormat", out); }

void Halvix::getServerName(char* out) {
    std::string line;
    if (out && firstLine("/halvix/ServerName", &line, 199)) hbase::copyText(out, 200, line.c_str());
}

int Halvix::getUpnpStatus() { return settingNumber("upnpEnabled"); }
void Halvix::getHalvixLanguage(char* out) { settingTo("Language", out); }
void Halvix::getURL(char* out) { settingTo("CHECKINTERNET_URL", out); }
void Halvix::getPingIP(char* out) { settingTo("CHECKINTERNET_IP", out); }
bool Halvix::isGuestNetworkEnabled() { return setting("BssidNum")[0] >= '2'; }

bool Halvix::getWebAdminState() {
    std::string v = setting("WEBADMINENABLE");
    return !v.empty() && v[0] != '0';
}

void Halvix::getHalvixTimeZone(char* out) { settingTo("TZ", out); }

void Halvix::getHalvixVersion(char* out) {
    if (!out) return;
    std::string line;
    if (!firstLine("/etc_ro/lighttpd/www/version", &line, kValueSize - 1)) line.clear();
    hbase::copyText(out, kValueSize, line.c_str());
}

int Halvix::getScreenLockTime() { return settingNumber("ScreenTimeout"); }
void Halvix::getWebAdminPassword(char* out) { settingTo("Password", out); }
void Halvix::getWebAdminUserName(char* out) { settingTo("Login", out); }
bool Halvix::isScreenLock() { return settingNumber("ScreenLock") == 1; }
bool Halvix::isTimeHoursMode24() { return settingNumber("isTimeHoursMode24") == 1; }
void Halvix::getFWAutoUpdateTime(char* out) { settingTo("AutoUpdateTime", out); }

bool Halvix::isFWAutoUpdate() {
    std::string v = setting("isAutoUpdate");
    if (v.empty()) {
        setFWAutoUpdate(true);
        return true;
    }
    return v[0] == '1';
}

void Halvix::getHalvixOperationMode(char* out) {
    if (!out) return;
    const char* mode = nullptr;
    if (settingNumber("MeshIsMaster") == 1) {
        mode = "master";
    } else {
        int m = settingNumber("OperationMode");
        if (settingNumber("MeshIsSlave") == 1) {
            mode = m == 3 ? "WirelessSlave" : m == 9 ? "WiredSlave" : nullptr;
        } else {
            mode = m == 1 ? "router" : m == 3 ? "re" : m == 8 ? "wwan" : m == 9 ? "ap" : nullptr;
        }
    }
    if (mode) strcpy(out, mode);
}

void Halvix::getNewFirmwareVersion(char* out) {
    if (!out) return;
    std::string v = setting("NewFirmwareVersion");
    hbase::copyText(out, kValueSize, v.find("VK7-R") != std::string::npos ? v.c_str() : "NaN");
}

std::list<SlaveFWStatus>* Halvix::getSlaveFWupdateStatus() {
    auto* list = new std::list<SlaveFWStatus>;
    static const struct {
        const char* key;
        int status;
    } kLists[] = {{"MeshFWSlavePassed", 1}, {"MeshFWSlaveFailed", -1}, {"MeshFWSlavePending", 0}};
    for (const auto& l : kLists) {
        std::string v = setting(l.key);
        size_t start = 0;
        while (start <= v.size()) {
            size_t end = v.find(';', start);
            if (end == std::string::npos) end = v.size();
            if (end > start) {
                SlaveFWStatus s;
                memset(&s, 0, sizeof s);
                hbase::copyText(s.name, sizeof s.name, v.substr(start, end - start).c_str());
                s.status = l.status;
                list->push_back(s);
            }
            start = end + 1;
        }
    }
    return list;
}

bool Halvix::getSlaveFWUpdateStatus() { return settingNumber("SlaveFWUpdateStatus") == 1; }

void Halvix::getHalvixLocation(char* out) {
    if (!out) return;
    std::string v = setting("HalvixLocation");
    if (v.empty()) {
        RMemory().saveSetting("HalvixLocation", "default");
        v = "default";
    }
    hbase::copyText(out, kValueSize, v.c_str());
}

bool Halvix::isSameNetworkSettings() { return settingNumber("SameNetworkSettings") != 0; }
bool Halvix::isDisableAutoTimeZone() { return settingNumber("DisableAutoTimeZone") != 0; }
void Halvix::getGeolocation(char* out) { settingTo("Geolocation", out); }

int Halvix::getAppTime() {
    std::string v = setting("AppTime");
    return v.empty() ? 3936000 : atoi(v.c_str());
}

void Halvix::getPinToUserName(char* pin, char* user) {
    if (!pin || !user) return;
    hastore::Store db = hastore::open("/tmp/apdb", hastore::kReadMode);
    if (!db) return;
    for (int n = 1; n <= 6; ++n) {
        char key[32], v[kValueSize + 2];
        snprintf(key, sizeof key, "SecurityPin.%d", n);
        if (!hastore::getText(db, key, v, kValueSize + 1)) {
            fprintf(stderr, "dpget: %s\n", hastore::lastError());
            break;
        }
        // An entry longer than what is read, or a PIN longer than its piece,
        // would match on a cut PIN: it matches nothing.
        bool whole = strlen(v) <= (size_t)kValueSize;
        v[kValueSize] = '\0';
        char* colon = strchr(v, ':');
        if (!whole || !colon || strlen(colon + 1) > 79) continue;
        char name[100];
        hbase::copyText(name, sizeof name, v, colon - v);
        if (strcmp(colon + 1, pin) == 0) {
            strcpy(user, name);
            break;
        }
    }
}

// ---- setters ----

int Halvix::setDns(char* pri, char* sec) {
    if (!isValidIpAddress(pri) || !isValidIpAddress(sec)) return 0;
    if (strcmp(pri, dnsPri_) == 0 && strcmp(sec, dnsSec_) == 0) return 1;
    hbase::copyText(dnsPri_, sizeof dnsPri_, pri);
    hbase::copyText(dnsSec_, sizeof dnsSec_, sec);
    std::string text = std::string(pri) + "," + sec;
    sendSetting(HS_Dns, text.c_str());
    return 1;
}

int Halvix::setHalvixName(char* name) {
    if (!name) return 0;
    std::string line;
    if (firstLine("/halvix/name", &line, 4096) && line == name) return 0;
    return sentOrFailed(sendSetting(HS_Name, name));
}

int Halvix::setTempFormat(char* format) {
    if (!format || (!strchr(format, 'C') && !strchr(format, 'F'))) return 0;
    return sendSetting(HS_TempFormat, format) == kTooLong ? 0 : 1;
}

int Halvix::setServerName(char* name) {
    if (!name || strlen(name) < 3) return 0;
    return sendSetting(HS_ServerName, name) == kTooLong ? 0 : 1;
}

int Halvix::setUpnpStatus(int status) {
    sendSetting(HS_Upnp, std::to_string(status).c_str());
    return 1;
}

int Halvix::setWebAdminState(bool on) { return sentOrFailed(sendFlag(HS_WebAdminState, on)); }

int Halvix::setWebAdminPassword(char* password) {
    if (!password) return 0;
    size_t n = strlen(password);
    if (n < 4 || n > 32) return 0;
    return sentOrFailed(sendSetting(HS_WebAdminPassword, password));
}

int Halvix::setScreenLock(bool on) { return sentOrFailed(sendFlag(HS_ScreenLock, on)); }

int Halvix::setScreenLockTime(int seconds) {
    if (seconds < 1) return 0;
    return sentOrFailed(sendSetting(HS_ScreenLockTime, std::to_string(seconds).c_str()));
}

int Halvix::setHalvixTimeZone(char* tz) {
    if (!tz || strlen(tz) < 3) return 0;
    return sentOrFailed(sendSetting(HS_TimeZone, tz));
}

int Halvix::setTimeHoursMode24(bool on) { return sentOrFailed(sendFlag(HS_TimeHoursMode24, on)); }
int Halvix::setFWAutoUpdate(bool on) { return sentOrFailed(sendFlag(HS_FWAutoUpdate, on)); }

int Halvix::setFWAutoUpdateTime(char* time) {
    if (!time) return 0;
    return sentOrFailed(sendSetting(HS_FWAutoUpdateTime, time));
}

int Halvix::setNewFirmwareVersion(char* version) {
    return changeText("NewFirmwareVersion", HS_NewFirmwareVersion, version);
}

int Halvix::setSlaveFWUpdateStatus(bool on) { return sentOrFailed(sendFlag(HS_SlaveFWUpdateStatus, on)); }

int Halvix::setSameNetworkSettings(bool on) { return changeFlag("SameNetworkSettings", HS_SameNetworkSettings, on); }

int Halvix::setHalvixLocation(char* location) { return changeText("HalvixLocation", HS_Location, location); }

int Halvix::setGuestNetwork(int count) {
    if (count != 1 && count != 2) return 0;
    sendSetting(HS_GuestNetwork, std::to_string(count).c_str(), "sending setGuestNetwork event to haserver failed\n");
    return 1;
}

int Halvix::setPingIP(char* ip) {
    if (!isValidIpAddress(ip)) return 0;
    sendSetting(HS_PingIP, ip, "sending setPingIP event to haserver failed\n");
    return 1;
}

int Halvix::setURL(char* url) {
    if (!url) return 0;
    return sendSetting(HS_URL, url, "sending setURL event to haserver failed\n") == kTooLong ? 0 : 1;
}

int Halvix::setHalvixLanguage(char* language) {
    if (!language) return 0;
    return sendSetting(HS_Language, language, "sending setLanguage event to haserver failed\n") == kTooLong ? 0 : 1;
}

int Halvix::setDisableAutoTimeZone(bool on) { return changeFlag("DisableAutoTimeZone", HS_DisableAutoTimeZone, on); }

int Halvix::setGeolocation(char* geolocation) { return changeText("Geolocation", HS_Geolocation, geolocation); }

int Halvix::setAppTime(int time) {
    if (settingNumber("AppTime") == time) return 1;
    return sentOrFailed(sendSetting(HS_AppTime, std::to_string(time).c_str()));
}

int Halvix::setHalvixTimeZoneByLocation(char* location) {
    const char* tz = getZone(location);
    if (strcmp(tz, "NAN") == 0) return 0;
    setHalvixTimeZone(const_cast<char*>(tz));
    return 1;
}

const char* Halvix::getZone(char* location) {
    if (location)
        for (const TimeZoneEntry& z : zones)
            if (strcmp(z.location, location) == 0) return z.tz;
    return "NAN";
}
