// Scenes: named sets of device settings applied in one step. Read from the
// scene store /tmp/sdb; every change is a request to the RSC server, which
// owns the store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

// One setting of a scene; the same 40 bytes in memory and in the store.
// Device 0 with index 1 is a hub-mode entry ("home" or "away").
struct SceneEntry {
    uint8_t state;  // local only, never stored
    uint8_t valid;  // 1: applied on activation
    uint8_t pad2[2];
    int32_t deviceID;
    int32_t index;   // position of the value within the device
    char value[25];  // at most 24 characters
    uint8_t pad37[3];
};
static_assert(sizeof(SceneEntry) == 40, "");
static_assert(offsetof(SceneEntry, valid) == 1, "");
static_assert(offsetof(SceneEntry, deviceID) == 4, "");
static_assert(offsetof(SceneEntry, index) == 8, "");
static_assert(offsetof(SceneEntry, value) == 12, "");

class Scene {
public:
    Scene();
    explicit Scene(int id);      // reads the scene; throws 0 or -33
    explicit Scene(char* name);  // creates a new scene
    Scene(const Scene&) = default;
    Scene& operator=(const Scene&) = default;
    ~Scene();

    // Rereads the scene from /tmp/sdb. Throws 0 (no name record, the ID
    // becomes 0) or -33 (no entry count).
    void Refresh();

    int getID();
    bool getState();
    bool getVoiceCompatible();
    char* getSceneName();
    std::list<SceneEntry> getSceneEntries();

    void setName(char* name);
    void addOrUpdateSceneEntry(int deviceID, int index, char* value);
    void setSceneEntryState(int deviceID, int index, bool state);
    void setSceneEntryValid(int deviceID, int index, bool valid);
    void setSceneState(bool active);
    void setSceneVoiceCompatible(bool flag);
    void removeAllSceneEntrys();
    void deleteScene();
    // Sends each valid entry's value to its device; hub-mode entries set
    // the hub's mode.
    void activate();

    // The AT time: when the scene was last switched off.
    uint64_t getATTime() const { return atTime; }
    int getEntryCount() const { return entryCount; }

private:
    friend struct SceneStore;  // the store reader
    uint64_t atTime;
    std::list<SceneEntry> entries;
    char name[33];
    int32_t id;
    int32_t entryCount;
    bool state;
    bool voiceCompatible;
};

class ScenesList {
public:
    ScenesList();
    ~ScenesList();
    // Fills the list from the store (hash order); throws as Scene::Refresh.
    void Populate();
    void deleteAllScenes();

    std::list<Scene> scenes;
};
