// Scenes: read from /tmp/sdb, changed through requests to the RSC server.
#include "hacore/Scene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "automation/automation_internal.h"
#include "channel/channel_internal.h"
#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "hacore/Halvix.h"
#include "base/text.h"

namespace {

const char kStore[] = "/tmp/sdb";

const char kNotFoundName[] = "\nERROR:Could not update Scene Name,Scene not found";
const char kNotFoundEntry[] = "\nERROR:Could not add or update SceneEntry,Scene not found";
const char kNotFoundRemove[] = "\nERROR:Could not remove SceneEntry,Scene not found";
const char kNotFoundDelete[] = "\nERROR:Could not delete Scene,Scene not found";
const char kNotFoundActivate[] = "\nERROR:Could not activate Scene,Scene not found";

void say(const char* message) {
    printf("%s\n", message);
    fflush(stdout);
}

// A scene without ID (none was found or made): says so and tells the caller
// to do nothing.
bool missing(int id, const char* message) {
    if (id != 0) return false;
    say(message);
    return true;
}

std::string key(int id, const char* suffix) { return std::to_string(id) + "." + suffix; }

}  // namespace

namespace automation {

std::vector<int> recordIds(const char* store, bool flush) {
    std::vector<int> ids;
    hastore::Store db = hastore::open(store);
    if (!db) return ids;
    if (hastore::iterInit(db)) {
        std::string k;
        int id;
        while (hastore::iterNext(db, k))
            if (isRecordKey(k, &id) && id != 0) ids.push_back(id);
    }
    if (flush) hastore::memFlush(db);
    return ids;
}

bool isRecordKey(const std::string& key, int* id) {
    if (key.empty() || key.size() > 9 || key.find('.') != std::string::npos) return false;
    for (char c : key)
        if (c < '0' || c > '9') return false;
    *id = atoi(key.c_str());
    return true;
}

int nextId(DEPOT* db) {
    int largest = 0;
    if (hastore::iterInit(db)) {
        std::string k;
        int id;
        while (hastore::iterNext(db, k))
            if (isRecordKey(k, &id) && id > largest) largest = id;
    }
    return largest + 1;
}

}  // namespace automation

bool SceneStore::read(DEPOT* db, Scene& s, int* thrown) {
    char text[51];
    if (!hastore::getText(db, key(s.id, "NM").c_str(), text, 50)) {
        s.id = 0;
        s.name[0] = '\0';
        *thrown = 0;
        return false;
    }
    hbase::copyText(s.name, sizeof s.name, text);
    if (!hastore::getText(db, key(s.id, "EC").c_str(), text, 50)) {
        *thrown = -33;
        return false;
    }
    s.entryCount = atoi(text);
    if (!hastore::getText(db, key(s.id, "AT").c_str(), text, 50)) return true;
    s.atTime = (uint64_t)(int64_t)strtoll(text, nullptr, 10);
    if (!hastore::getText(db, key(s.id, "ST").c_str(), text, 50)) return true;
    s.state = strcmp(text, "true") == 0;
    s.voiceCompatible = hastore::getText(db, key(s.id, "VC").c_str(), text, 50) && strcmp(text, "true") == 0;
    // A damaged count cannot make the reader walk millions of keys.
    int count = s.entryCount > 4096 ? 4096 : s.entryCount;
    for (int k = 1; k <= count; ++k) {
        SceneEntry e;
        memset(&e, 0, sizeof e);
        if (hastore::get(db, key(s.id, std::to_string(k).c_str()).c_str(), &e, sizeof e) < 0) {
            printf("Scene::Refresh : dpget returned null\n");
            break;
        }
        e.state = 0;
        e.value[24] = '\0';
        memset(e.pad2, 0, sizeof e.pad2);
        memset(e.pad37, 0, sizeof e.pad37);
        s.entries.push_back(e);
    }
    return true;
}

Scene::Scene() : atTime(0), id(0), entryCount(0), state(false), voiceCompatible(false) { name[0] = '\0'; }

Scene::Scene(int sceneId) : Scene() {
    id = sceneId;
    Refresh();
}

Scene::Scene(char* newName) : Scene() {
    hastore::Store db = hastore::open(kStore);
    if (!db) return;
    int newId = automation::nextId(db);
    hastore::close(db);
    id = newId;
    hbase::copyText(name, sizeof name, newName);
    atTime = 0;
    std::unique_ptr<RSC_PACKET> p = newRscPacket(3);
    hbase::copyText(p->text, sizeof p->text, newName);
    p->int2 = newId;
    p->int5 = newId;
    sendRscPacket(p.get());
}

Scene::~Scene() {}

void Scene::Refresh() {
    if (id == 0) return;
    entries.clear();
    entryCount = 0;
    hastore::Store db = hastore::open(kStore);
    if (!db) return;
    int thrown = 0;
    bool ok = SceneStore::read(db, *this, &thrown);
    if (!ok) throw thrown;
}

int Scene::getID() { return id; }
bool Scene::getState() { return state; }
bool Scene::getVoiceCompatible() { return voiceCompatible; }
char* Scene::getSceneName() { return name; }
std::list<SceneEntry> Scene::getSceneEntries() { return entries; }

void Scene::setName(char* newName) {
    if (missing(id, kNotFoundName)) return;
    if (!newName || strcmp(newName, name) == 0) return;
    hbase::copyText(name, sizeof name, newName);
    std::unique_ptr<RSC_PACKET> p = newRscPacket(4);
    hbase::copyText(p->text, sizeof p->text, name, sizeof name);
    p->int2 = id;
    sendRscPacket(p.get());
}

void Scene::addOrUpdateSceneEntry(int deviceID, int index, char* value) {
    if (missing(id, kNotFoundEntry)) return;
    SceneEntry* found = nullptr;
    for (SceneEntry& e : entries)
        if (e.deviceID == deviceID && e.index == index) {
            found = &e;
            break;
        }
    if (!found) {
        SceneEntry e;
        memset(&e, 0, sizeof e);
        e.valid = 1;
        e.deviceID = deviceID;
        e.index = index;
        entries.push_back(e);
        found = &entries.back();
    }
    hbase::copyText(found->value, sizeof found->value, value);
    std::unique_ptr<RSC_PACKET> p = newRscPacket(5);
    hbase::copyText(p->text, 25, found->value);
    p->int1 = deviceID;
    p->int2 = id;
    p->int5 = index;
    p->int6 = (int)entries.size();
    sendRscPacket(p.get());
}

void Scene::setSceneEntryState(int deviceID, int index, bool on) {
    if (missing(id, kNotFoundEntry)) return;
    for (SceneEntry& e : entries)
        if (e.deviceID == deviceID && e.index == index) {
            e.state = on ? 1 : 0;
            return;
        }
}

void Scene::setSceneEntryValid(int deviceID, int index, bool on) {
    if (missing(id, kNotFoundEntry)) return;
    int position = 0;
    for (SceneEntry& e : entries) {
        ++position;
        if (e.deviceID != deviceID || e.index != index) continue;
        if ((e.valid != 0) == on) return;
        e.valid = on ? 1 : 0;
        std::unique_ptr<RSC_PACKET> p = newRscPacket(10);
        snprintf(p->text, sizeof p->text, "%s, %d", on ? "true" : "false", position);
        p->int2 = id;
        p->int6 = 8;
        sendRscPacket(p.get());
        return;
    }
}

void Scene::setSceneState(bool active) {
    if (missing(id, kNotFoundEntry)) return;
    if (state == active) return;
    state = active;
    std::unique_ptr<RSC_PACKET> p = newRscPacket(9);
    if (!active) {
        atTime = (uint64_t)time(nullptr);
        snprintf(p->text, sizeof p->text, "%llu", (unsigned long long)atTime);
    }
    p->int2 = id;
    p->int6 = active ? 1 : 0;
    sendRscPacket(p.get());
}

void Scene::setSceneVoiceCompatible(bool flag) {
    if (missing(id, kNotFoundEntry)) return;
    if (voiceCompatible == flag) return;
    voiceCompatible = flag;
    std::unique_ptr<RSC_PACKET> p = newRscPacket(11);
    p->int2 = id;
    p->int6 = flag ? 1 : 0;
    sendRscPacket(p.get());
}

void Scene::removeAllSceneEntrys() {
    if (missing(id, kNotFoundRemove)) return;
    std::unique_ptr<RSC_PACKET> p = newRscPacket(7);
    p->int2 = id;
    p->int4 = (int)entries.size();
    sendRscPacket(p.get());
    entries.clear();
}

void Scene::deleteScene() {
    if (missing(id, kNotFoundDelete)) return;
    std::unique_ptr<RSC_PACKET> p = newRscPacket(8);
    p->int2 = id;
    sendRscPacket(p.get());
}

void Scene::activate() {
    if (missing(id, kNotFoundActivate)) return;
    for (const SceneEntry& e : entries) {
        if (e.deviceID == 0 && e.index == 1) {
            unsigned char mode = strcmp(e.value, "home") == 0 ? 2 : strcmp(e.value, "away") == 0 ? 3 : 0;
            if (!mode) continue;
            char email[256] = "NULL";
            if (FILE* f = fopen("/halvix/email", "r")) {
                if (!fgets(email, sizeof email, f)) email[0] = '\0';
                email[strcspn(email, "\r\n")] = '\0';
                fclose(f);
            }
            char reason[100];
            snprintf(reason, sizeof reason, "Scene:%s", name);
            Halvix hub;
            hub.setHalvixModeToDisarm(reason, email, mode);
            continue;
        }
        if (!e.valid) continue;
        try {
            Device device(e.deviceID);
            char value[25];
            hbase::copyText(value, sizeof value, e.value);
            device.setValue(e.index, value);
        } catch (...) {
            // A device removed since the scene was made: the other entries still apply.
        }
    }
}

ScenesList::ScenesList() {}
ScenesList::~ScenesList() {}

void ScenesList::Populate() {
    scenes.clear();
    for (int id : automation::recordIds(kStore, false)) scenes.push_back(Scene(id));
}

void ScenesList::deleteAllScenes() {
    scenes.clear();
    std::unique_ptr<RSC_PACKET> p = newRscPacket(6);
    sendRscPacket(p.get());
}

Scene& HADevices::getSceneByID(int) {
    static Scene scene;
    return scene;
}
