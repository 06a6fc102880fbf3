// The demo application: what an application of the router sees of the home
// through the libraries.
#include <cstdio>
#include <cstring>

#include "hacore/Device.h"
#include "hacore/vocab.h"

namespace {

const char* techName(DevTech t) {
    switch (t) {
        case DEVTECH_ZIGBEE: return "ZigBee";
        case DEVTECH_ZWAVE: return "Z-Wave";
        case DEVTECH_HUE: return "Hue";
        case DEVTECH_NEST: return "Nest";
        case DEVTECH_HALVIX: return "built-in";
        default: return "none";
    }
}

void listDevices() {
    DeviceList list;
    list.Populate();
    printf("%zu devices in the home\n\n", list.devices.size());
    for (Device& d : list.devices) {
        char type[32];
        DevtypeEnumToStr(d.getDeviceType(), type);
        printf("#%-3d %-20s %-12s %-22s %-8s %s %s\n", d.getID(), d.getDeviceName(),
               d.getDeviceLocation(), type, techName(d.getDeviceTechnology()),
               d.getManufacturername(), d.getModelid());
        for (const ValueRecord& v : d.values()) {
            char itype[32] = "", label[32] = "";
            IndexTypeEnumToStr((IndexType)v.indexType, itype, 0);
            IndexTypeEnumToStr((IndexType)v.indexType, label, 1);
            printf("       [%d] %-28s = %-18s (%s, %s)\n", v.index, v.name,
                   d.getValue(v.index), itype, label);
        }
        if (d.getBatterLevel() >= 0) printf("       battery %d%%\n", d.getBatterLevel());
        if (d.getDeviceTechnology() == DEVTECH_HUE)
            printf("       bridge %s, bulb %d\n", d.gethueid(), d.getbulbid());
    }
}

}  // namespace

int main() {
    printf("== Devices ==\n");
    listDevices();
    return 0;
}
