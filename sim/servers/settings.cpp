// HA server: applies hub-settings events (type 22, HalvixUpdated) the way
// the router's HA server does: the setting code names an nvram setting of
// the main section (or the file /halvix/name or /halvix/ServerName), the
// value is stored there and the section is committed. Then the event goes
// on to every client, which reads the new value.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "../nvram/nvram_file.h"
#include "hacore/Halvix.h"
#include "hub.h"

namespace hub {
namespace {

const char* nvramKey(int code) {
    switch (code) {
        case HS_TempFormat:
            return "DegreeFormat";
        case HS_Upnp:
            return "upnpEnabled";
        case HS_WebAdminState:
            return "WEBADMINENABLE";
        case HS_WebAdminPassword:
            return "Password";
        case HS_ScreenLock:
            return "ScreenLock";
        case HS_ScreenLockTime:
            return "ScreenTimeout";
        case HS_TimeZone:
            return "TZ";
        case HS_TimeHoursMode24:
            return "isTimeHoursMode24";
        case HS_FWAutoUpdate:
            return "isAutoUpdate";
        case HS_FWAutoUpdateTime:
            return "AutoUpdateTime";
        case HS_NewFirmwareVersion:
            return "NewFirmwareVersion";
        case HS_SlaveFWUpdateStatus:
            return "SlaveFWUpdateStatus";
        case HS_SameNetworkSettings:
            return "SameNetworkSettings";
        case HS_Location:
            return "HalvixLocation";
        case HS_GuestNetwork:
            return "BssidNum";
        case HS_PingIP:
            return "CHECKINTERNET_IP";
        case HS_URL:
            return "CHECKINTERNET_URL";
        case HS_Language:
            return "Language";
        case HS_DisableAutoTimeZone:
            return "DisableAutoTimeZone";
        case HS_Geolocation:
            return "Geolocation";
        case HS_AppTime:
            return "AppTime";
        default:
            return nullptr;
    }
}

void writeFile(const char* path, const std::string& text) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (write(fd, text.data(), text.size()) != (ssize_t)text.size()) fprintf(stderr, "ha: short write to %s\n", path);
    close(fd);
}

}  // namespace

void applyHalvixSetting(const Event& e) {
    HalvixSettingEvent s;
    memcpy(&s, &e, sizeof s);
    std::string value(s.value, strnlen(s.value, sizeof s.value));
    simnvram::Settings changes;
    if (s.code == HS_Dns) {
        size_t comma = value.find(',');
        if (comma == std::string::npos) return;
        changes = {{"dhcpPriDns", value.substr(0, comma)}, {"dhcpSecDns", value.substr(comma + 1)}};
    } else if (s.code == HS_Name) {
        writeFile("/halvix/name", value);
        return;
    } else if (s.code == HS_ServerName) {
        writeFile("/halvix/ServerName", value);
        return;
    } else if (const char* key = nvramKey(s.code)) {
        changes = {{key, value}};
    } else {
        return;
    }
    simnvram::setAll(1, changes);
    simnvram::commit(1);
}

}  // namespace hub
