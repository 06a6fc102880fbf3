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

// The setting of nvram section 1 that keeps each hub setting held there.
const struct {
    int code;
    const char* key;
} kNvramKeys[] = {
    {HS_TempFormat, "DegreeFormat"},
    {HS_Upnp, "upnpEnabled"},
    {HS_WebAdminState, "WEBADMINENABLE"},
    {HS_WebAdminPassword, "Password"},
    {HS_ScreenLock, "ScreenLock"},
    {HS_ScreenLockTime, "ScreenTimeout"},
    {HS_TimeZone, "TZ"},
    {HS_TimeHoursMode24, "isTimeHoursMode24"},
    {HS_FWAutoUpdate, "isAutoUpdate"},
    {HS_FWAutoUpdateTime, "AutoUpdateTime"},
    {HS_NewFirmwareVersion, "NewFirmwareVersion"},
    {HS_SlaveFWUpdateStatus, "SlaveFWUpdateStatus"},
    {HS_SameNetworkSettings, "SameNetworkSettings"},
    {HS_Location, "HalvixLocation"},
    {HS_GuestNetwork, "BssidNum"},
    {HS_PingIP, "CHECKINTERNET_IP"},
    {HS_URL, "CHECKINTERNET_URL"},
    {HS_Language, "Language"},
    {HS_DisableAutoTimeZone, "DisableAutoTimeZone"},
    {HS_Geolocation, "Geolocation"},
    {HS_AppTime, "AppTime"},
};

const char* nvramKey(int code) {
    for (const auto& k : kNvramKeys)
        if (k.code == code) return k.key;
    return nullptr;
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
