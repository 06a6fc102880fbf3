/**
 * @file
 * A home-automation device as the hub knows it: a snapshot of its records in
 * the device store /tmp/ddb, and the commands that act on it.
 */
#pragma once

#include <cstdint>
#include <list>

#include "hacore/records.h"
#include "hacore/vocab.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Radio technology of a device (DeviceRecord::technology); also the server
/// code of pairing events. It picks the server a command goes to.
enum DevTech : int32_t {
    DEVTECH_NONE = 0,    ///< none: commands send nothing
    DEVTECH_ZIGBEE = 1,  ///< ZigBee server, by the short ID
    DEVTECH_ZWAVE = 2,   ///< Z-Wave server, by the node number
    DEVTECH_HUE = 3,     ///< Hue server, by bridge, bulb and user name
    DEVTECH_NEST = 4,    ///< Nest server, by the Nest ID
    DEVTECH_HALVIX = 5,  ///< the hub's own siren and LED, through the pic driver
};

// Declared hidden, as the library defines it.
#pragma GCC visibility push(hidden)
class DeviceRecords;  // internal: where a load reads and writes records
#pragma GCC visibility pop

/**
 * Snapshot of one device: its main record, a few attributes and its value
 * records, copied out of /tmp/ddb when it is loaded, plus the commands that
 * act on it.
 *
 * The object does not follow the store: load it afresh (RefreshDevice()) to
 * see new values. The `char*` getters return pointers into the object (or to
 * constant texts such as "#ERR"): valid while the object lives and is not
 * reloaded; never free them or write through them. Copies are independent.
 *
 * Loading also writes defaults: a value index below the value count that has
 * no record gets a default record in the store.
 */
class Device {
public:
    /// An empty device: ID 0, no values. Commands on it send nothing.
    Device();
    /// Loads device `id` from /tmp/ddb (as fromDeviceID()).
    /// @throws int the ID itself when the store holds no main record for it.
    explicit Device(int id);
    /// Copies the snapshot, value list included.
    Device(const Device&) = default;
    /// Replaces this snapshot with a copy of another.
    Device& operator=(const Device&) = default;
    /// Frees the value list.
    ~Device();

    /// Loads device `id` into this object. An ID below 1, or a store that
    /// cannot be opened, leaves the object as it was.
    /// @throws int the ID when the store opens but holds no record for it.
    void fromDeviceID(int id);
    /// Reloads the device of the object's own ID (nothing for an ID below 1);
    /// throws as fromDeviceID().
    void RefreshDevice();

    /// Device ID (the store key); 0 for an empty object or after
    /// removeDevice() and setHalvixSirenDuration().
    int getID();
    /// Name (at most 179 characters).
    char* getDeviceName();
    /// Location (at most 179 characters).
    char* getDeviceLocation();
    /// Friendly type text as stored (at most 31 characters).
    char* getFriendlyDeviceType();
    /// ZigBee EUI-64 as text (at most 24 characters), as stored.
    char* getZigBeeEUI64();
    /// Firmware version attribute "VS"; "Unknown" when not stored.
    char* getVersion();
    /// Model attribute "MI"; "Unknown" when not stored. The lower-case "id"
    /// is the exported spelling.
    char* getModelid();
    /// Device type, from the stored type name.
    DevType getDeviceType();
    /// Technology, which picks the server of every command.
    DevTech getDeviceTechnology();
    /// Z-Wave node number.
    int getOZWNode();
    /// ZigBee short address; 65535 when the device has none.
    int getShortID();
    /// Association time text; null for an empty object (ID 0).
    char* getAssociationTimeStamp();
    /// Manufacturer attribute "MN"; "Unknown" when shorter than 2 characters.
    char* getManufacturername();
    /// Highest value index, as the main record says.
    int getValueCount();
    /// Whether the device's changes are to be notified to the user. The
    /// misspelling "Notificiation" is the exported name, kept as it is.
    bool getAllowNotificiation();
    /// Changes the flag in this object only (nothing is stored or sent).
    void setAllowNotification(bool allow);
    /// State attribute "ST" (0 when not stored); the lower-case "device" is
    /// the exported spelling.
    int getdeviceState();
    /// Changes the state in this object only.
    void setDeviceState(int state);
    /// Security flag of this object: 0 after a load (setSecurityDevice()
    /// changes the store, not this object).
    int getSecurityDevice();

    /// Value text of value index `index`; "#ERR" when the device has no such
    /// value. Index 1 of a StandardWarningDevice always reads "1".
    char* getValue(int index);
    /// Value text of the value named `name` (as in ValueRecord::name); "#ERR"
    /// when there is none (or `name` is null). The first value of a
    /// StandardWarningDevice always reads "1".
    char* getValue(char* name);
    /// IndexType code of value index `index`; -1 when there is no such value.
    int getIndexType(int index);
    /// Name of the value at list position `pos` (0-based, index order);
    /// "#ERR" when there is none.
    char* getValueName(int pos);
    /// Z-Wave command class of the value at position `pos`; -1 for another
    /// technology or no such value.
    int getCommandClassID(int pos);
    /// Z-Wave command index of the value at position `pos`; -1 as for
    /// getCommandClassID().
    int getCommandIndex(int pos);
    /// End point of the value at position `pos`; -1 when there is none.
    int getEndPoint(int pos);
    /// As getEndPoint(), but -1 for devices other than ZigBee and Z-Wave.
    int getEndPointValue(int pos);
    /// Value index of the first value named `name`; when `flag` is 1, or for
    /// a MultiSwitch or DoorLock, only a value of end point `endPoint` counts.
    /// 0 when none matches.
    int getIndexNoFromName(char* name, int endPoint, int flag);
    /// The "BATTERY" (or "LOW BATTERY") value as a number; -1 without one.
    /// "Batter" is the exported spelling, kept for compatibility.
    int getBatterLevel();
    /// The "TAMPER" value text; "#ERR" without one.
    char* getTamper();
    /// Hue bulb ID (Hue lamps and on/off Hue switches) or Nest ID (Nest
    /// thermostats, smoke detectors and cameras); "no_id" otherwise. Also
    /// leaves the device type in the Hue packet buffer for the next Hue
    /// command.
    char* gethueid();
    /// Hue bulb number; 0 for other devices. Sets the Hue buffer's type as
    /// gethueid().
    int getbulbid();
    /// Hue bridge user name; null for other devices or when not stored. Sets
    /// the Hue buffer's type as gethueid().
    char* getusername();
    /// Reads the "LT" attribute afresh from the store (seconds since the
    /// epoch); 0 when the store or the attribute is missing.
    long long getLastActiveTime();

    /// The value list in index order, as loaded.
    const std::list<ValueRecord>& values() const { return valueList; }

    /**
     * @name Commands
     * Each picks the server by the device's technology, fills that server's
     * process-wide packet buffer and sends it; a device with ID below 1 is
     * never commanded. The result is 0 when nothing was sent (wrong
     * technology, no ZigBee short ID, a refused argument, a failed send),
     * else 1; callers may ignore it. New values come back as notifications
     * (HADevices callbacks), never here. Commands may be called from
     * several threads: each holds its server's buffer while it fills and
     * sends it.
     */
    ///@{

    /// Generic entry of scenes, rules and user interfaces: acts on one value
    /// index with a value text, read as the device type takes it (switch
    /// states, levels, modes, ...). Index 0 also stores the security flag.
    /// Does nothing for a null value.
    void setValue(int index, char* value);

    /// Switches on or off: Z-Wave (binary switch of `instance`), ZigBee (every
    /// end point) or Hue.
    int setSwitchOn(bool on, unsigned char instance);
    /// Switches one ZigBee end point on or off.
    int setSwitchOnEp(bool on, int endPoint);
    /// Switches every Z-Wave node, and (for a device with a ZigBee short ID)
    /// every ZigBee device and Hue light, on or off. 1 for any device ID >= 1.
    int setSwitchAll(bool on);
    /// Switches to the opposite of the stored value (ZigBee toggles itself);
    /// 0 when the stored value is neither "true" nor "false".
    int setSwitchToggle();
    /// Sets a dimming level 0..100 (Z-Wave, ZigBee, Hue). A Z-Wave level is
    /// recorded in lightDeviceID and sentLightValue until it is notified.
    int setSwitchLevel(int level);
    /// Starts or stops dimming down (Z-Wave).
    int startDimming(bool start);
    /// Starts or stops brightening (Z-Wave). "Brightning" is the exported
    /// spelling.
    int startBrightning(bool start);
    /// Sets the Z-Wave basic value.
    int setBasic(int value);
    /// Asks a Z-Wave device to report its basic value (the answer comes as a
    /// notification).
    int getBasic();

    /// Stops a Z-Wave shutter.
    int stopShutterRolling();
    /// Moves a window covering up (true) or down (Z-Wave, ZigBee).
    int startWindowCovering(bool up);
    /// Stops a window covering (Z-Wave; ZigBee whatever `stop` is).
    int stopWindowCovering(bool stop);
    /// Sets a Z-Wave garage door (barrier operator) level.
    int SetGarageDoorLevel(int level);

    /// Locks (1) or unlocks (other values) a door lock (Z-Wave; ZigBee, which
    /// also asks for the battery level).
    int setDoorLock(int value);
    /// Sets the Z-Wave lock configuration value.
    int setDoorLockConf(int value);
    /// Sets the user code of `slot`; an empty or null code clears it on
    /// ZigBee. 0 for a code with quotes, backslashes or control characters
    /// (ZigBee), or one too long for the console line.
    int setUserCode(char* code, unsigned char slot);
    /// Asks a Z-Wave lock for the user code of `slot`.
    int getUserCode(unsigned char slot);

    /// Sets the Z-Wave scene controller configuration value.
    int setSceneControllerConf(int value);
    /// Asks a Z-Wave device for its battery level.
    int getBatteryStatus();
    /// Sets Z-Wave configuration parameter `param` (0..255, else 0 is
    /// returned) of `size` bytes to `value` (see GetSizeOfValueType()).
    int SetConfigParam(int param, int size, int value);

    /// Sets a thermostat mode: the Z-Wave list text as is; ZigBee "Off",
    /// "Auto", "Cool", "Heat"; Nest "off", "heat", "cool", "heat-cool", "eco".
    /// 0 for any other text.
    int setThermostatMode(char* mode);
    /// Sets the fan mode: Z-Wave list text; ZigBee "On Low" or "Auto Low";
    /// Nest "true" starts the fan timer, anything else stops it.
    int setThermostatFanMode(char* mode);
    /// Sets the heating set point `index` (Z-Wave) or the heating set point
    /// (ZigBee, degrees Fahrenheit).
    int setThermostatHeatingTemp(int temp, unsigned char index);
    /// Sets the cooling set point (Z-Wave; ZigBee in degrees Fahrenheit).
    int setThermostatCoolingTemp(int temp);

    /// Sets a ZigBee colour temperature in kelvin (above 0).
    int setColorTemperature(int kelvin);
    /// Sets the hue (Hue, ZigBee).
    int setHue(int hue);
    /// Sets the saturation (Hue, ZigBee).
    int setSaturation(int saturation);
    /// Sets hue and saturation in one ZigBee command.
    int setHueandSat(int hue, int saturation);
    /// Sets a Hue bulb's colour value.
    int setColorBulb(int value);

    /// Sounds a ZigBee siren for `duration` seconds; 0 stops it.
    int setSirenOn(int duration);
    /// Stops a ZigBee siren.
    int setSirenOff();
    /// Has a ZigBee device keep (true) or not keep its state over a power
    /// cut. The capital R is the exported spelling.
    int Retainstate(bool retain);
    /// Arms ("Arm", with the stored resolution 1 or 2 and image count 3 or 6)
    /// or disarms ("Disarm", which also clears the motion state) a ZigBee
    /// camera.
    int setCameraMode(char* mode);
    /// Asks a ZigBee camera for capture request `n` (1, 2 or 3).
    int CaptureZigbeeImage(int n);
    /// Sends a raw ZigBee frame carrying the hexadecimal bytes of `hex`
    /// ("0A 1B ..."); 0 for any other character.
    int sendCustomMessage(char* hex);
    /// Writes a ZigBee attribute; only cluster 0x0201 attribute 0x1011 is
    /// known, `data` pointing at its 5 bytes.
    int setDeviceAttribute(unsigned int cluster, unsigned int attribute, void* data);
    /// Asks the ZigBee server for its network information (PAN ID).
    int readPanId();
    /// Asks a Quentrix ZigBee switch for its current and next firmware
    /// version.
    int getCurrentandNextVersionofQuentrixswitch();
    /// Starts a Quentrix switch's firmware upgrade. "upgarde" is the exported
    /// spelling, kept for compatibility.
    int upgardeswitchversion();
    /// Asks the Hue or ZigBee server to remove the device from its network.
    int getRemovedeviceid();

    /// Asks the Hue server for the light's brightness.
    int getbrightness();
    /// Asks the Hue server for the light's on/off state.
    int getstate();

    /// Renames the device (this object too): to the Hue bridge for a Hue
    /// light, else to the HA server.
    int setName(char* newName);
    /// Changes the location (this object too), through the HA server.
    int setLocation(char* newLocation);
    /// Asks the HA server to change the stored device type.
    int changedevicetype(DevType newType);
    /// Asks the HA server to remove the device. The object's ID becomes 0
    /// (whatever the answer), so it commands nothing afterwards.
    int removeDevice();
    /// Asks the HA server, through its association port, to set value
    /// `index` named `valueName` to `value`; `selector` is the technology.
    int setIndexValue(int index, char* valueName, char* value, DevTech selector);
    /// Stores the camera resolution (1 or 2) through the HA server.
    int setResolution(int resolution);
    /// Stores the camera image count; only 3 or 6 are taken.
    int setImageCnt(int count);
    /// Stores the motion state text ("true", "false") through the HA server.
    int setMotionState(char* motionState);
    /// Stores the security flag through the HA server.
    int setSecurityDevice(int security);
    /// Resets the tamper value to "false" (ZigBee and Z-Wave).
    int clearTamper();
    /// Resets the alarm value named `alarmName` to "false".
    int clearAlarm(char* alarmName);

    /// Stores the siren (or blink) duration in seconds, and applies it at
    /// once while it runs. The HA server rewrites the device: the object's ID
    /// becomes 0 and the caller reloads it before the next command.
    int setHalvixSirenDuration(int seconds);
    /// Enables or disables the hub's siren.
    int enableHalvixSiren(bool enable);
    /// Starts (for the stored duration, value 5) or stops the hub's siren.
    int StartorStopHalvixSiren(bool start);
    /// Sets the siren tone (1..3 are built-in tunes) and `mode`; `arg` is used
    /// in mode 3.
    int setHalvixSirenTone(int tone, int mode, int arg);
    /// Sets the siren volume.
    int setHalvixSirenVolume(char volume, int arg);
    /// Sets the LED colour, 0xRRGGBB.
    int setHalvixBlinkColor(unsigned int rgb);
    /// Switches the LED on or off.
    int setHalvixBlinkOnOff(bool on, int arg);
    /// Starts the LED blinking for the stored duration (value 4).
    int setHalvixBlinkStart();
    /// Asks the pic driver for its version.
    int readPicVersion();

    /// Kept for the applications; does nothing and returns 0.
    int wakeUpDevice();
    /// Kept for the applications; does nothing and returns 0.
    int startAlarm(bool start);
    ///@}

    /**
     * @name Last notification
     * The last device notification the receiver thread stored (::hapacket),
     * as seen by this device.
     */
    ///@{
    /// The notified value index; -1 when it is for another device.
    int getLastNotificationIndex();
    /// Name of the notified value here; "#ERR" when it is for another device
    /// or the device has no such value.
    char* getLastNotificationIndexName();
    /// New value text of the notification (points into ::hapacket); "#ERR"
    /// when it is for another device. After a Z-Wave dimming command the
    /// level sent stands in for the notified value once (see lightDeviceID).
    char* getLastNotificationIndexValue();
    ///@}

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

/// List of device copies owned by the list.
class DeviceList {
public:
    /// An empty list.
    DeviceList();
    /// Frees the copies.
    ~DeviceList();
    /// Empties the list and loads every device of /tmp/ddb (store order) in
    /// one open of the store; also repairs the store's "NextDevid" counter.
    /// A store that cannot be opened leaves the list empty.
    void Populate();
    /// Exported for the applications; has no effect.
    void addDevice(int id);
    /// Exported for the applications; has no effect.
    void PopulateByType(DevType type);
    /// Exported for the applications; has no effect.
    void PopulateByScene(int scene);
    /// Exported for the applications; has no effect.
    void PopulateByGroup(int group);

    /// The devices loaded by Populate().
    std::list<Device> devices;
};

/// Copies field 1, 2 or 3 (the Nest server's URLs) of the record of Nest ID
/// `id` in /tmp/NJdata into `out`, which holds 503 bytes; another `which`
/// writes "Unknown_request". Nothing is written when the file or the ID is
/// missing.
void getNestUrl(char* id, int which, char* out);

#pragma GCC visibility pop
