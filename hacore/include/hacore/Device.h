// A home-automation device as the hub knows it: a snapshot of its records in
// the device store /tmp/ddb, and the commands that act on it.
#pragma once

#include <cstdint>
#include <list>

#include "hacore/records.h"
#include "hacore/vocab.h"

// Radio technology of a device; also the server code of pairing events.
enum DevTech : int32_t {
    DEVTECH_NONE = 0,
    DEVTECH_ZIGBEE = 1,
    DEVTECH_ZWAVE = 2,
    DEVTECH_HUE = 3,
    DEVTECH_NEST = 4,
    DEVTECH_HALVIX = 5,  // the hub's own siren and LED, through the pic driver
};

class DeviceRecords;  // internal: where a load reads and writes records

class Device {
public:
    Device();
    // Loads the device; throws the ID as an int if the store does not hold it.
    explicit Device(int id);
    Device(const Device&) = default;
    Device& operator=(const Device&) = default;
    ~Device();

    void fromDeviceID(int id);
    void RefreshDevice();

    int getID();
    char* getDeviceName();
    char* getDeviceLocation();
    char* getFriendlyDeviceType();
    char* getZigBeeEUI64();
    char* getVersion();
    char* getModelid();
    DevType getDeviceType();
    DevTech getDeviceTechnology();
    int getOZWNode();
    int getShortID();
    char* getAssociationTimeStamp();
    char* getManufacturername();
    int getValueCount();
    bool getAllowNotificiation();
    void setAllowNotification(bool allow);
    int getdeviceState();
    void setDeviceState(int state);
    int getSecurityDevice();

    char* getValue(int index);
    char* getValue(char* name);
    int getIndexType(int index);
    char* getValueName(int pos);
    int getCommandClassID(int pos);
    int getCommandIndex(int pos);
    int getEndPoint(int pos);
    int getEndPointValue(int pos);
    int getIndexNoFromName(char* name, int endPoint, int flag);
    int getBatterLevel();
    char* getTamper();
    char* gethueid();
    int getbulbid();
    char* getusername();
    long long getLastActiveTime();

    // The value list in index order, as loaded.
    const std::list<ValueRecord>& values() const { return valueList; }

    // ---- commands: begin ----
    // Commands. Each picks the server by the device's technology, fills that
    // server's packet and sends it; a device with ID below 1 is never
    // commanded. The result is 0 when nothing was sent, else 1; callers may
    // ignore it. New values come back as notifications, not here.

    // Generic entry of scenes, rules and user interfaces: acts on one value
    // index with a value text, by device type.
    void setValue(int index, char* value);

    // Switching and dimming.
    int setSwitchOn(bool on, unsigned char instance);
    int setSwitchOnEp(bool on, int endPoint);
    int setSwitchAll(bool on);
    int setSwitchToggle();
    int setSwitchLevel(int level);
    int startDimming(bool start);
    int startBrightning(bool start);
    int setBasic(int value);
    int getBasic();

    // Shutters, window coverings, garage doors.
    int stopShutterRolling();
    int startWindowCovering(bool up);
    int stopWindowCovering(bool stop);
    int SetGarageDoorLevel(int level);

    // Locks.
    int setDoorLock(int value);
    int setDoorLockConf(int value);
    int setUserCode(char* code, unsigned char slot);
    int getUserCode(unsigned char slot);

    // Z-Wave configuration and battery.
    int setSceneControllerConf(int value);
    int getBatteryStatus();
    int SetConfigParam(int param, int size, int value);

    // Thermostats. ZigBee set points take degrees Fahrenheit.
    int setThermostatMode(char* mode);
    int setThermostatFanMode(char* mode);
    int setThermostatHeatingTemp(int temp, unsigned char index);
    int setThermostatCoolingTemp(int temp);

    // Colour lights.
    int setColorTemperature(int kelvin);
    int setHue(int hue);
    int setSaturation(int saturation);
    int setHueandSat(int hue, int saturation);
    int setColorBulb(int value);

    // ZigBee sirens, cameras and console requests.
    int setSirenOn(int duration);
    int setSirenOff();
    int Retainstate(bool retain);
    int setCameraMode(char* mode);
    int CaptureZigbeeImage(int n);
    int sendCustomMessage(char* hex);
    int setDeviceAttribute(unsigned int cluster, unsigned int attribute, void* data);
    int readPanId();
    int getCurrentandNextVersionofQuentrixswitch();
    int upgardeswitchversion();
    int getRemovedeviceid();

    // Hue bridge reads.
    int getbrightness();
    int getstate();

    // Attributes the HA server stores, and association requests.
    int setName(char* newName);
    int setLocation(char* newLocation);
    int changedevicetype(DevType newType);
    int removeDevice();
    int setIndexValue(int index, char* valueName, char* value, DevTech selector);
    int setResolution(int resolution);
    int setImageCnt(int count);
    int setMotionState(char* motionState);
    int setSecurityDevice(int security);
    int clearTamper();
    int clearAlarm(char* alarmName);

    // The hub's own siren and LED, through the pic driver.
    int setHalvixSirenDuration(int seconds);
    int enableHalvixSiren(bool enable);
    int StartorStopHalvixSiren(bool start);
    int setHalvixSirenTone(int tone, int mode, int arg);
    int setHalvixSirenVolume(char volume, int arg);
    int setHalvixBlinkColor(unsigned int rgb);
    int setHalvixBlinkOnOff(bool on, int arg);
    int setHalvixBlinkStart();
    int readPicVersion();

    // Kept for the applications; they do nothing.
    int wakeUpDevice();
    int startAlarm(bool start);
    // ---- commands: end ----

    // ---- notifications: begin ----
    // The last device notification received (HADevices), as seen by this
    // device: the notified index (-1 if it is for another device), the name
    // of that value here, and its new value ("#ERR" if for another device).
    int getLastNotificationIndex();
    char* getLastNotificationIndexName();
    char* getLastNotificationIndexValue();
    // ---- notifications: end ----

private:
    friend class DeviceList;
    // Loads the device through `records` (where its records are read and
    // its defaults written); false if the store holds no main record for it.
    bool load(DeviceRecords& records, int id);

    const ValueRecord* valueAt(int pos) const;
    const ValueRecord* valueByIndex(int index) const;
    const ValueRecord* valueByName(const char* name) const;

    int32_t id;
    char name[180];
    char location[180];
    int32_t ozwNode;
    int32_t shortId;
    char eui64[25];
    DevTech technology;
    char associationTime[32];
    DevType type;
    char typeName[32];
    char friendlyType[32];
    bool allowNotification;
    int32_t valueCount;
    std::list<ValueRecord> valueList;
    int64_t lastActive;
    char version[32];
    char manufacturer[32];
    char modelId[20];
    int32_t state;
    int32_t securityDevice;
};

// Ordered list of device copies.
class DeviceList {
public:
    DeviceList();
    ~DeviceList();
    // Empties the list and loads every device of the store.
    void Populate();
    // Exported for the applications; they have no effect.
    void addDevice(int id);
    void PopulateByType(DevType type);
    void PopulateByScene(int scene);
    void PopulateByGroup(int group);

    std::list<Device> devices;
};

// Copies field 1, 2 or 3 of the Nest server's record for `id` into `out`.
void getNestUrl(char* id, int which, char* out);
