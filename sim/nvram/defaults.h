// The settings a fresh virtual router starts with: those of a router of the
// kind as it leaves its first-time setup (master of a mesh of two units,
// firmware with an announced update).
#pragma once

namespace simnvram {

struct Default {
    const char* name;
    const char* value;
};

// Section 1 ("2860"), the main settings.
const Default kMain[] = {
    {"HostName", "Halvix"},
    {"SSID1", "Halvix-5F3A"},
    {"SSID2", "Halvix-Guest-5F3A"},
    {"BssidNum", "1"},
    {"AuthMode", "WPA2PSK;WPA2PSK"},
    {"EncrypType", "AES;AES"},
    {"WPAPSK1", "maple-orbit-42"},
    {"WPAPSK2", "guest-lantern-7"},
    {"Channel", "6"},
    {"CountryCode", "US"},
    {"WirelessMode", "9"},
    {"HT_BW", "1"},
    {"lan_ipaddr", "192.168.8.1"},
    {"lan_netmask", "255.255.255.0"},
    {"dhcpEnabled", "1"},
    {"dhcpStart", "192.168.8.100"},
    {"dhcpEnd", "192.168.8.200"},
    {"dhcpLease", "86400"},
    {"dhcpPriDns", "8.8.8.8"},
    {"dhcpSecDns", "1.1.1.1"},
    {"wanConnectionMode", "DHCP"},
    {"upnpEnabled", "1"},
    {"CHECKINTERNET_URL", "www.google.com"},
    {"CHECKINTERNET_IP", "8.8.8.8"},
    {"Language", "en"},
    {"TZ", "EST5EDT,M3.2.0,M11.1.0"},
    {"HalvixLocation", "America/New York"},
    {"DisableAutoTimeZone", "0"},
    {"Geolocation", "40.7128,-74.0060"},
    {"DegreeFormat", "F"},
    {"isTimeHoursMode24", "0"},
    {"ScreenLock", "1"},
    {"ScreenTimeout", "60"},
    {"PIN", "2468"},
    {"ShowPass", "0"},
    {"WEBADMINENABLE", "1"},
    {"Login", "admin"},
    {"Password", "halvix-admin"},
    {"isAutoUpdate", "1"},
    {"AutoUpdateTime", "03:00"},
    {"NewFirmwareVersion", "VK7-R2.1.7"},
    {"old_firmware", ""},
    {"OperationMode", "1"},
    {"MeshIsMaster", "1"},
    {"MeshIsSlave", "0"},
    {"MeshSlaveID", "0"},
    {"MeshID", "HLXMESH-5F3A"},
    {"MeshKey", "6b1f0c9e2d7a4e58"},
    {"MeshFWSlavePassed", "Living Room Unit"},
    {"MeshFWSlaveFailed", ""},
    {"MeshFWSlavePending", "Garage Unit"},
    {"SlaveFWUpdateStatus", "0"},
    {"SameNetworkSettings", "1"},
    {"AppTime", "3936000"},
};

// Section 2 ("rtdev"), the second radio (5 GHz).
const Default kRtdev[] = {
    {"SSID1", "Halvix-5F3A-5G"},
    {"BssidNum", "1"},
    {"AuthMode", "WPA2PSK"},
    {"EncrypType", "AES"},
    {"WPAPSK1", "maple-orbit-42"},
    {"Channel", "44"},
    {"CountryCode", "US"},
    {"WirelessMode", "14"},
    {"ShowPass", "0"},
    {"ScreenTimeout", "60"},
};

}  // namespace simnvram
