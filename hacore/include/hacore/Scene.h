/**
 * @file
 * Scenes: named sets of device settings applied in one step. Read from the
 * scene store /tmp/sdb; every change is a request to the RSC server, which
 * owns the store.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// One setting of a scene; the same 40 bytes in memory and in the store.
/// Device 0 with index 1 is a hub-mode entry ("home" or "away").
struct SceneEntry {
    uint8_t state;     ///< local only, never stored (setSceneEntryState())
    uint8_t valid;     ///< 1: applied on activation
    uint8_t pad2[2];   ///< zero
    int32_t deviceID;  ///< device to set; 0 for a hub-mode entry
    int32_t index;     ///< value index to set within the device
    char value[25];    ///< the value text, at most 24 characters
    uint8_t pad37[3];  ///< zero
};
static_assert(sizeof(SceneEntry) == 40, "");
static_assert(offsetof(SceneEntry, valid) == 1, "");
static_assert(offsetof(SceneEntry, deviceID) == 4, "");
static_assert(offsetof(SceneEntry, index) == 8, "");
static_assert(offsetof(SceneEntry, value) == 12, "");

/**
 * Snapshot of one scene: name, state, flags and entries, read from /tmp/sdb.
 * Changes update the object and send one request to the RSC server (each
 * blocks up to 120 seconds for the answer, which is not reported). On a
 * scene with ID 0 every change only prints a message.
 */
class Scene {
public:
    /// An empty scene, ID 0.
    Scene();
    /// Reads scene `id` (nothing for 0).
    /// @throws int 0 when the store holds no name record for it (the ID
    /// becomes 0), -33 when it has no entry count.
    explicit Scene(int id);
    /// Creates a new scene: takes the next free ID of the store and asks the
    /// RSC server to add it with `name`. A store that cannot be opened leaves
    /// ID 0.
    explicit Scene(char* name);
    /// Copies the snapshot.
    Scene(const Scene&) = default;
    /// Replaces the snapshot with a copy of another.
    Scene& operator=(const Scene&) = default;
    /// Frees the entries.
    ~Scene();

    /// Rereads the scene from /tmp/sdb (nothing for ID 0 or a store that
    /// cannot be opened).
    /// @throws int 0 (no name record, the ID becomes 0) or -33 (no entry
    /// count).
    void Refresh();

    /// Scene ID; 0 for no scene.
    int getID();
    /// True while the scene is active.
    bool getState();
    /// The scene's voice-compatible flag.
    bool getVoiceCompatible();
    /// Name (at most 32 characters), pointing into the object.
    char* getSceneName();
    /// A copy of the entries, in store order.
    std::list<SceneEntry> getSceneEntries();

    /// Renames the scene (cut to 32 characters); nothing when unchanged.
    void setName(char* name);
    /// Sets the value of the entry for (deviceID, index), adding a valid
    /// entry when there is none.
    void addOrUpdateSceneEntry(int deviceID, int index, char* value);
    /// Sets the local state flag of an entry (nothing is sent).
    void setSceneEntryState(int deviceID, int index, bool state);
    /// Marks an entry as applied on activation or not; nothing when unchanged.
    void setSceneEntryValid(int deviceID, int index, bool valid);
    /// Marks the scene active or not (switching it off records the AT time);
    /// nothing when unchanged. Does not apply the entries: see activate().
    void setSceneState(bool active);
    /// Sets the voice flag; nothing when unchanged.
    void setSceneVoiceCompatible(bool flag);
    /// Removes every entry. "Entrys" is the exported spelling, kept for
    /// compatibility.
    void removeAllSceneEntrys();
    /// Removes the scene from the store (the object stays as it is).
    void deleteScene();
    /// Sends each valid entry's value to its device (Device::setValue()),
    /// skipping devices that no longer exist; hub-mode entries ("home",
    /// "away") set the hub's mode through the pro database.
    void activate();

    /// The AT time: when the scene was last switched off, seconds since the
    /// epoch.
    uint64_t getATTime() const { return atTime; }
    /// Entry count as stored.
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

/// Every scene of the store, each a copy owned by the list.
class ScenesList {
public:
    /// An empty list.
    ScenesList();
    /// Frees the copies.
    ~ScenesList();
    /// Empties the list and loads every scene of the store (hash order).
    /// @throws int as Scene::Refresh() when a scene cannot be read whole.
    void Populate();
    /// Empties the list and asks the RSC server to remove every scene.
    void deleteAllScenes();

    /// The scenes loaded by Populate().
    std::list<Scene> scenes;
};

#pragma GCC visibility pop
