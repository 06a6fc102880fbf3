// The index catalogue and the index store /tmp/idb, through the real store.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hacore/index.h"
#include "testkit.h"

extern "C" {
#include <depot.h>
}

namespace {

const char kStore[] = "/tmp/idb";

std::string row(int code, int k) {
    char out[kIndexRowSize];
    strcpy(out, "<untouched>");
    IndexDetails(IndexType(code), out, k);
    return out;
}

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        size_t c = s.find(',', start);
        f.push_back(s.substr(start, c == std::string::npos ? c : c - start));
        if (c == std::string::npos) return f;
        start = c + 1;
    }
}

int valueCount(int code) { return std::stoi(split(row(code, 0))[7]); }

using Row = std::vector<std::string>;

// An entry as Index reads it back, in the order of the catalogue's rows:
// the description, the attributes, and value k.
Row descriptionOf(Index& x) {
    return {x.getIndexName(),      x.getIndexDataType(),   x.getIndexReadOnly(),    x.getIndexLayout(),
            x.getIndexBehaviour(), x.getIndexGroupLabel(), x.getIndexDefaultIcon(), std::to_string(x.getValueCount())};
}
Row attributesOf(Index& x) {
    return {x.getIndexUnits(),
            x.getIndexMin(),
            x.getIndexMax(),
            x.getIndexFactor(),
            x.getIndexPlacement(),
            x.getIndexSPlacement(),
            x.getIndexConditional(),
            x.getIndexUseinScenes(),
            x.getIndexDefaultVisibility(),
            x.getIndexShowToggleInRules(),
            x.getIndexExcludeFrom(),
            x.getIndexAppLabel()};
}
Row valueOf(Index& x, int k) {
    return {x.getValue(k),         x.getValueLabel(k),      x.getValueIcon(k), x.getValueToggleValue(k),
            x.getValueAppLabel(k), x.getValueExcludeFrom(k)};
}

// Every record of the store, read with qdbm itself.
std::map<std::string, std::string> dumpStore() {
    std::map<std::string, std::string> out;
    DEPOT* db = dpopen(kStore, DP_OREADER | DP_ONOLCK, 0);
    if (!db) return out;
    dpiterinit(db);
    int ks;
    while (char* k = dpiternext(db, &ks)) {
        int vs;
        char* v = dpget(db, k, ks, 0, -1, &vs);
        out[std::string(k, ks)] = v ? std::string(v, vs) : "<missing>";
        free(v);
        free(k);
    }
    dpclose(db);
    return out;
}

// Entry keys ("N", no dot) in the store's own iteration order.
std::vector<std::string> entryKeysInStoreOrder() {
    std::vector<std::string> keys;
    DEPOT* db = dpopen(kStore, DP_OREADER | DP_ONOLCK, 0);
    if (!db) return keys;
    dpiterinit(db);
    int ks;
    while (char* k = dpiternext(db, &ks)) {
        std::string key(k, ks);
        if (key.find('.') == std::string::npos) keys.push_back(key);
        free(k);
    }
    dpclose(db);
    return keys;
}

void putRecord(const std::string& key, const std::string& value) {
    DEPOT* db = dpopen(kStore, DP_OWRITER | DP_OCREAT | DP_ONOLCK, 0);
    ASSERT_NE(db, nullptr);
    ASSERT_TRUE(dpput(db, key.data(), key.size(), value.data(), value.size(), DP_DOVER));
    dpclose(db);
}

std::vector<int> codes(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> out;
    for (auto r : ranges)
        for (int c = r.first; c <= r.second; ++c) out.push_back(c);
    return out;
}

// ---------------------------------------------------------------------------
// The catalogue

struct FullEntry {
    int code;
    std::vector<std::string> rows;
};

const std::vector<FullEntry> kFullEntries = {
    {1,
     {"SWITCH BINARY,NaN,NaN,MULTI_BUTTON,Actuator,NaN,switch_on,2", "true,ON,switch_on,false,on,NaN",
      "false,OFF,switch_off,true,off,NaN", "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
    {2,
     {"SENSOR BINARY,NaN,NaN,MULTI_BUTTON,Sensor,NaN,door_off,2", "true,ACTIVE,door_on,NaN,door_on,NaN",
      "false,INACTIVE,door_off,NaN,door_off,NaN", "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
    {9,
     {"TAMPER,NaN,NaN,MULTI_BUTTON,Sensor,Tamper,NaN,1", "true,Device has been tampered,tamper,NaN,tampered,NaN",
      "NaN,NaN,NaN,NaN,Badge,NaN,NaN,NaN,NaN,NaN,NaN,tampered"}},
    {10,
     {"PANIC_ALARM,NaN,NaN,MULTI_BUTTON,Sensor,NaN,panic_icon,2", "true,Panic Alarm,panic_icon,NaN,panicAlarm,NaN",
      "false,NO,panic_icon,NaN,no,Rule", "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,scene,panicAlarm"}},
    {14,
     {"BASIC,Byte,true,MULTI_BUTTON,Sensor,NaN,alarm_off,2", "0,INACTIVE,alarm_on,255,alarm_on,NaN",
      "255,ACTIVE,alarm_off,0,off,NaN", "NaN,NaN,NaN,NaN,Header,NaN,false,NaN,true,NaN,Scene,set_alarm_for"}},
    {17,
     {"SWITCH MULTILEVEL,NaN,NaN,SLIDER_ICON,Actuator,NaN,dimmer,0",
      "%,0,100,1,Header_Detail,NaN,NaN,NaN,NaN,NaN,NaN,dimmer"}},
    {19,
     {"SWITCH_MULTISOUND,NaN,NaN,LIST,Actuator,NaN,alarm_off,7", "0,OFF,alarm_off,NaN,stop,NaN",
      "1,EMERGENCY MODE: ON,alarm_on,0,emergency,NaN", "2,FIRE MODE: ON,alarm_on,0,fire,NaN",
      "3,AMBULANCE MODE: ON,alarm_on,0,ambulance,NaN", "4,POLICE MODE: ON,alarm_on,0,police,NaN",
      "5,DOOR MODE: ON,alarm_on,0,door_chime,NaN", "6,BEEP MODE: ON,alarm_on,0,beep,NaN",
      "NaN,NaN,NaN,NaN,Header_Detail_Primary,NaN,NaN,NaN,NaN,NaN,NaN,start_alarm"}},
    {20,
     {"SHUTTER_LEVEL,NaN,NaN,MULTI_BUTTON,Actuator,NaN,garage_close,3", "0,CLOSED,garage_close,99,closed,NaN",
      "99,OPENED,garage_open,0,opened,NaN", "254,PROCESSING,garage_open,NaN,processing,Action_Scene",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
    {22,
     {"LOCK_STATE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,lock_close,2", "0,UNLOCKED,lock_open,255,doorlock_off,NaN",
      "255,LOCKED,lock_close,0,doorlock_on,NaN", "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
    {23,
     {"LOCK_STATE_ZB,NaN,NaN,MULTI_BUTTON,Actuator,NaN,lock_open,3", "1,LOCKED,lock_close,2,doorlock_on,NaN",
      "2,UNLOCKED,doorlock_off,1,doorlock_off,NaN", "0,PARTIALLY LOCKED,lock_open,1,doorlock_partial,Scene_Rule",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
    {24,
     {"ARMMODE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,keyfob_off,3", "0,ALL DISARMED,keyfob_off,NaN,keyfob_disarmed,NaN",
      "2,PERIMETER ARMED,arm_perimeter,NaN,keyfob_perimeter_armed,NaN", "3,ALL ARMED,keyfob_on,NaN,keyfob_armed,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
    {25,
     {"TEMPERATURE,NaN,NaN,SINGLE_TEMP,Sensor,NaN,target_temperature,0",
      "\xC2\xB0"
      "F,35,95,1,Detail,NaN,NaN,NaN,NaN,NaN,NaN,temperature"}},
    {35,
     {"THERMOSTAT MODE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,NaN,4", "Auto,Auto,img_auto,NaN,auto,NaN",
      "Cool,Cool,img_cool,NaN,cool,NaN", "Heat,Heat,img_heat,NaN,heat,NaN", "Off,Off,img_off,NaN,button_off,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,mode"}},
    {44,
     {"BARRIER OPERATOR,NaN,NaN,LIST,Actuator,NaN,NaN,5", "0,CLOSED,garage_close,255,closed,NaN",
      "252,CLOSING,icon_garage_door_down,255,closing,NaN", "253,STOPPED,garage_open,0,stopped,NaN",
      "254,OPENING,icon_garage_door_up,0,opening,NaN", "255,OPENED,garage_open,0,opened,NaN",
      "NaN,NaN,NaN,NaN,Header_Detail_Primary,NaN,NaN,NaN,NaN,NaN,NaN,actions"}},
    {45,
     {"AC MODE,NaN,NaN,LIST,Actuator,NaN,NaN,8", "Auto,Auto,img_auto,NaN,auto,NaN", "Cool,Cool,img_cool,NaN,cool,NaN",
      "Heat,Heat,img_off,NaN,heat,NaN", "Off,Off,img_off,NaN,offMode,NaN", "Resume,Resume,resume_icon,NaN,resume,NaN",
      "Fan Only,Fan Only,btn_fan_off,NaN,fanOnly,NaN", "Dry Air,Dry Air,water_off,NaN,dryAir,NaN",
      "Auto Changeover,Auto Changeover,img_auto,NaN,autoChangeOver,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,mode"}},
    {50, {"BATTERY,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,0", "%,0,100,1,Detail,NaN,true,NaN,NaN,NaN,NaN,battery"}},
    {60,
     {"AWAY_MODE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,NaN,3", "home,Home,home_white,NaN,home,NaN",
      "away,Away,away_white,NaN,away,NaN", "auto-away,Auto-away,away_white,NaN,AUTOAWAY,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,nest_label_away_mode"}},
    {62,
     {"ISONLINE,NaN,NaN,MULTI_BUTTON,Functional,NaN,NaN,2", "true,Online,online_icon,NaN,online,NaN",
      "false,Offline,offline_icon,NaN,offline,NaN", "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
    {67,
     {"HVAC_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,NaN,3", "heating,HEATING,img_heat,NaN,heating,NaN",
      "cooling,COOLING,img_cool,NaN,cooling,NaN", "off,IDLE,img_off,NaN,off,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
    {70,
     {"CO_ALARM_STATE,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,3", "ok,OK,nest_protest_icon,NaN,ok,NaN",
      "warning,WARNING,icon_tampered_yellow,NaN,co_detected,NaN",
      "emergency,EMERGENCY,icon_tampered_red,NaN,emergency_,NaN",
      "NaN,NaN,NaN,NaN,Header_Details,NaN,NaN,NaN,NaN,NaN,Rule,co_label"}},
    {75, {"HUE_BULB_ID,Int,true,NaN,Functional,NaN,NaN,0", "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
    {88,
     {"GENERIC_INT,Int,false,Input,Actuator,NaN,NaN,0",
      "NaN,-2147483648,2147483647,NaN,NaN,NaN,true,false,false,NaN,NaN,NaN"}},
    {90,
     {"GENERIC_BOOL,BOOL,true,Input,Actuator,NaN,NaN,2", "true,NaN,NaN,NaN,NaN,NaN", "false,NaN,NaN,NaN,NaN,NaN",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
    {101,
     {"OCCUPANCY_STATE,NaN,NaN,MULTI_BUTTON,NaN,NaN,motion_on,2", "true,OCCUPIED,motion_on,NaN,NaN,NaN",
      "false,UNOCCUPIED,motion_off,NaN,NaN,NaN", "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
    {107,
     {"MULTI_SWITCH BINARY2,NaN,NaN,MULTI_BUTTON,Actuator,NaN,switch_on,2",
      "true,SWITCH2 ON,switch_on,false,switch2_on,NaN", "false,SWITCH2 OFF,switch_off,true,switch2_off,NaN",
      "NaN,NaN,NaN,NaN,Header_Detail,NaN,NaN,NaN,NaN,true,NaN,switch2"}},
};

TEST(IndexCatalogue, EntriesGivenInFullAreExact) {
    for (const FullEntry& e : kFullEntries) {
        SCOPED_TRACE(e.code);
        for (size_t k = 0; k < e.rows.size(); ++k) EXPECT_EQ(row(e.code, int(k)), e.rows[k]) << "row " << k;
        EXPECT_EQ(row(e.code, int(e.rows.size())), "<untouched>");
    }
}

TEST(IndexCatalogue, ResponseCodes) {
    const std::vector<std::pair<std::string, std::string>> codes = {
        {"-1", "Wrong mode selection"},
        {"-2", "Cannot change target temperature while structure is away"},
        {"-3", "Thermostat is not online"},
        {"-4", "Cannot change fan_timer_active while structure is Away"},
        {"-5", "heat-cool mode 3 unit issue"},
        {"-6", "Cannot change HVAC mode while thermostat lock is enabled"},
        {"-7", "Cannot set c and f temperatures simultaneously"},
        {"-8", "Cannot set target temperature closer than N degrees C/F"},
        {"-9", "Temperature C/F value is too low"},
        {"-10", "Temperature C/F value is too high"},
        {"-11", "Temperature C/F value too low for lock temperature"},
        {"-12", "Temperature C/F value too high for lock temperature"},
        {"-13", "Cannot change HVAC mode during energy-saving events"},
        {"-14", "Cannot change HVAC mode to [Heat/Cool/Heat \xE2\x80\xA2 Cool]; HVAC cannot [Heat/Cool]"},
        {"-15", "Invalid HVAC mode: [Heat/Cool/Heat \xE2\x80\xA2 Cool]"},
        {"-16", "Cannot activate fan during smoke/co safety shutoff"},
        {"-17", "fan_timer_active not set"},
        {"-18", "Cannot change Away state while emergency heat is on"},
        {"503", "Service Unavailable"},
        {"429", "Too Many Requests"},
    };
    EXPECT_EQ(row(69, 0), "RESPONSE_CODE,NaN,NaN,NaN,Info,NaN,NaN,20");
    for (size_t i = 0; i < codes.size(); ++i) {
        std::string nans = codes[i].first == "-2" ? ",NaN,NaN,NaN" : ",NaN,NaN,NaN,NaN";
        EXPECT_EQ(row(69, int(i) + 1), codes[i].first + "," + codes[i].second + nans);
    }
    EXPECT_EQ(row(69, 21), "NaN,NaN,NaN,NaN,Message,NaN,NaN,NaN,NaN,NaN,Rule,NaN");
    EXPECT_EQ(row(69, 22), "<untouched>");
}

// Expected value of one descriptor column for every code: `dflt` unless one
// of the lists names the code.
void expectColumn(int column, const std::string& dflt,
                  const std::vector<std::pair<std::string, std::vector<int>>>& lists) {
    std::map<int, std::string> want;
    for (int c = 1; c <= 107; ++c) want[c] = dflt;
    for (auto& l : lists)
        for (int c : l.second) {
            ASSERT_EQ(want[c], dflt) << "code " << c << " listed twice";
            want[c] = l.first;
        }
    for (int c = 1; c <= 107; ++c) EXPECT_EQ(split(row(c, 0))[column], want[c]) << "code " << c;
}

TEST(IndexCatalogue, DescriptorColumns) {
    // Names are the vocabulary's, read back to their own code (99 is spelt
    // "SECONDS" here).
    for (int c = 1; c <= 107; ++c) {
        std::string name = split(row(c, 0))[0];
        EXPECT_EQ(StrToIndexTypeEnum(name.c_str()), c) << name;
    }
    EXPECT_EQ(split(row(99, 0))[0], "SECONDS");

    expectColumn(3, "",
                 {
                     {"MULTI_BUTTON", codes({{1, 12},
                                             {14, 16},
                                             {20, 24},
                                             {35, 35},
                                             {39, 39},
                                             {43, 43},
                                             {49, 49},
                                             {56, 56},
                                             {60, 62},
                                             {67, 67},
                                             {101, 104},
                                             {107, 107}})},
                     {"TEXT_VIEW_ONLY", {13, 51}},
                     {"SLIDER_ICON", {17, 80}},
                     {"SLIDER", codes({{18, 18}, {26, 26}, {28, 29}, {31, 34}})},
                     {"LIST", {19, 42, 44, 45, 48}},
                     {"SINGLE_TEMP", codes({{25, 25}, {27, 27}, {37, 38}, {41, 41}, {46, 47}, {57, 59}})},
                     {"Hue", {30}},
                     {"TEXT_VIEW", codes({{36, 36}, {40, 40}, {50, 50}, {52, 53}, {70, 71}, {78, 78}, {81, 86}})},
                     {"NaN", codes({{54, 55}, {63, 66}, {68, 69}, {72, 77}, {79, 79}})},
                     {"Input", codes({{87, 90}, {99, 99}})},
                     {"info", {91, 92}},
                     {"Button", {93, 94, 96, 97, 100}},
                     {"BUTTON", {95}},
                     {"Slider", {98}},
                     {"MULTI_LEVEL", {105}},
                     {"MULIT_BUTTON", {106}},
                 });
    expectColumn(4, "",
                 {
                     {"Actuator", codes({{1, 1},
                                         {13, 13},
                                         {17, 23},
                                         {30, 33},
                                         {35, 35},
                                         {37, 39},
                                         {41, 49},
                                         {51, 51},
                                         {56, 61},
                                         {81, 81},
                                         {87, 90},
                                         {93, 100},
                                         {102, 102},
                                         {104, 107}})},
                     {"Sensor", codes({{2, 12},
                                       {14, 16},
                                       {24, 29},
                                       {34, 34},
                                       {36, 36},
                                       {40, 40},
                                       {50, 50},
                                       {52, 53},
                                       {67, 67},
                                       {70, 71},
                                       {78, 78},
                                       {80, 80},
                                       {82, 86}})},
                     {"Functional", codes({{54, 55}, {62, 66}, {68, 68}, {72, 77}, {79, 79}})},
                     {"Info", {69}},
                     {"sensor", {91, 92}},
                     {"NaN", {101, 103}},
                 });
    expectColumn(1, "NaN",
                 {{"Byte", {14}},
                  {"Int", {75, 88, 98, 99}},
                  {"String", {87}},
                  {"Double", {89}},
                  {"BOOL", {90}},
                  {"Decimal", {91, 96}},
                  {"string", {92}},
                  {"Bool", {93, 94, 97, 100}}});
    expectColumn(2, "NaN", {{"true", {14, 26, 75, 90, 91, 92}}, {"false", {87, 88, 89, 93, 94, 96, 97, 98, 99, 100}}});
    expectColumn(5, "NaN", {{"Tamper", {9}}, {"IR Code", {51}}, {"Nan", {53}}, {"ac_switch_off", {103}}});
}

TEST(IndexCatalogue, RawValuesInRowOrder) {
    const std::vector<std::string> tf = {"true", "false"};
    const std::vector<std::string> zeroFF = {"0", "255"};
    const std::vector<std::string> nest = {"ok", "warning", "emergency"};
    std::map<int, std::vector<std::string>> want = {
        {9, {"true"}},
        {12, {"true"}},
        {13, {"0", "65535"}},
        {14, zeroFF},
        {15, zeroFF},
        {16, zeroFF},
        {19, {"0", "1", "2", "3", "4", "5", "6"}},
        {20, {"0", "99", "254"}},
        {21, zeroFF},
        {22, zeroFF},
        {23, {"1", "2", "0"}},
        {24, {"0", "2", "3"}},
        {35, {"Auto", "Cool", "Heat", "Off"}},
        {39, {"On low ", "Auto low"}},
        {42, {"0", "99"}},
        {43, {"true"}},
        {44, {"0", "252", "253", "254", "255"}},
        {45, {"Auto", "Cool", "Heat", "Off", "Resume", "Fan Only", "Dry Air", "Auto Changeover"}},
        {48, {"Auto Low", "On Low", "Unknown 5", "On High"}},
        {49, {"0", "1"}},
        {56, {"heat-cool", "cool", "heat", "off"}},
        {60, {"home", "away", "auto-away"}},
        {61, tf},
        {62, tf},
        {65, {"true"}},
        {67, {"heating", "cooling", "off"}},
        {70, nest},
        {71, nest},
        {78, {"ok", "Warning"}},
        {90, tf},
        {91, {"0", "2", "3", "4"}},
        {93, tf},
        {94, tf},
        {95, {"1", "2", "3"}},
        {96, {"1", "2", "3"}},
        {97, tf},
        {100, tf},
    };
    for (int c = 1; c <= 8; ++c) want[c] = tf;
    want[10] = want[11] = tf;
    for (int c = 101; c <= 107; ++c) want[c] = tf;
    std::vector<std::string> resp;
    for (int i = 1; i <= 18; ++i) resp.push_back(std::to_string(-i));
    resp.push_back("503");
    resp.push_back("429");
    want[69] = resp;

    int total = 0;
    for (int c = 1; c <= 107; ++c) {
        SCOPED_TRACE(c);
        int n = valueCount(c);
        total += n;
        std::vector<std::string> got;
        for (int k = 1; k <= n; ++k) got.push_back(split(row(c, k))[0]);
        EXPECT_EQ(got, want[c]);  // empty for the entries without values
    }
    EXPECT_EQ(total, 155);
}

TEST(IndexCatalogue, UnitsRangesAndFactors) {
    const std::string F =
        "\xC2\xB0"
        "F";
    std::map<int, std::vector<std::string>> want = {
        {17, {"%", "0", "100", "1"}},
        {18, {"%", "0", "100", "0.392"}},
        {25, {F, "35", "95", "1"}},
        {26, {"kPa", "-3276", "3276", "1"}},
        {27, {"%", "0", "100", "1"}},
        {28, {"Lux", "0", "3000", "1"}},
        {29, {"%", "0", "100", "NaN"}},
        {30, {"NaN", "0", "65535", "NaN"}},
        {31, {"NaN", "0", "255", "1"}},
        {32, {"%", "0", "100", "0.392"}},
        {33, {"%", "1000", "9000", "0.39"}},
        {34, {"W", "0", "9999", "NaN"}},
        {37, {F, "35", "95", "1"}},
        {38, {F, "35", "95", "1"}},
        {41, {F, "41", "104", "NaN"}},
        {46, {F, "60", "86", "NaN"}},
        {47, {F, "60", "86", "NaN"}},
        {50, {"%", "0", "100", "1"}},
        {51, {"NaN", "0", "999", "NaN"}},
        {52, {"V", "0", "100", "NaN"}},
        {53, {"A", "0", "100", "NaN"}},
        {57, {F, "50", "90", "NaN"}},
        {58, {F, "50", "87", "NaN"}},
        {59, {F, "53", "90", "NaN"}},
        {80, {"KWh", "0", "9999", "NaN"}},
        {82, {"W", "0", "9999", "NaN"}},
        {83, {"W", "0", "9999", "NaN"}},
        {84, {"kWh", "0", "9999", "NaN"}},
        {85, {"kWh", "0", "9999", "NaN"}},
        {86, {"W", "0", "100", "NaN"}},
        {88, {"NaN", "-2147483648", "2147483647", "NaN"}},
        {98, {"NaN", "0", "65535", "NaN"}},
        {99, {"NaN", "0", "65535", "NaN"}},
    };
    for (int c = 1; c <= 107; ++c) {
        std::vector<std::string> f = split(row(c, valueCount(c) + 1));
        std::vector<std::string> got(f.begin(), f.begin() + 4);
        std::vector<std::string> expect = want.count(c) ? want[c] : std::vector<std::string>(4, "NaN");
        EXPECT_EQ(got, expect) << "code " << c;
    }
}

// What a front end relies on to draw every type: closed vocabularies, every
// field present, and every field fitting where Index keeps it.
TEST(IndexCatalogue, FieldsAreDrawable) {
    const std::set<std::string> placements = {"Header",     "Header_Detail", "Header_Details", "Header_Detail_Primary",
                                              "HeaderOnly", "Detail",        "Badge",          "Hidden",
                                              "Message",    "NaN",           "MULTI_BUTTON"};
    const std::set<std::string> excludes = {"Scene",      "scene",         "Rule",         "Trigger", "Scene_Rule",
                                            "Rule_Scene", "Scene_Trigger", "Action_Scene", "NaN"};
    const std::set<std::string> flags = {"true", "false", "NaN"};
    const int descWidth[8] = {50, 10, 30, 25, 25, 20, 50, 0};
    const int valueWidth[6] = {50, 100, 50, 20, 50, 50};
    const int attrWidth[12] = {10, 12, 12, 10, 30, 30, 30, 30, 30, 30, 50, 50};

    std::set<std::string> usedPlacements, usedExcludes;
    size_t longest = 0;
    for (int c = 1; c <= 107; ++c) {
        SCOPED_TRACE(c);
        int n = valueCount(c);
        for (int k = 0; k <= n + 1; ++k) {
            std::string r = row(c, k);
            longest = std::max(longest, r.size());
            std::vector<std::string> f = split(r);
            const int* width = k == 0 ? descWidth : k <= n ? valueWidth : attrWidth;
            for (size_t i = 0; i < f.size(); ++i) {
                EXPECT_FALSE(f[i].empty()) << "row " << k << " field " << i;
                if (width[i]) {
                    EXPECT_LT(f[i].size(), size_t(width[i])) << "row " << k << " field " << i;
                }
            }
            if (k >= 1 && k <= n) {
                if (f.size() == 6) {
                    EXPECT_TRUE(excludes.count(f[5])) << f[5];
                    usedExcludes.insert(f[5]);
                }
            } else if (k == n + 1) {
                ASSERT_EQ(f.size(), 12u);
                EXPECT_TRUE(placements.count(f[4])) << f[4];
                usedPlacements.insert(f[4]);
                for (int i : {6, 7, 8, 9}) EXPECT_TRUE(flags.count(f[i])) << f[i];
                EXPECT_TRUE(excludes.count(f[10])) << f[10];
                usedExcludes.insert(f[10]);
            }
        }
    }
    EXPECT_EQ(usedPlacements, placements);
    EXPECT_EQ(usedExcludes, excludes);
    EXPECT_EQ(split(row(106, 3))[4], "MULTI_BUTTON");
    EXPECT_EQ(longest, 97u);  // the RESPONSE_CODE row of -14
    EXPECT_EQ(row(69, 14).size(), 97u);
}

TEST(IndexDetails, ErrorTextsAndUntouchedBuffer) {
    EXPECT_EQ(row(1, 3), "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN");
    EXPECT_EQ(row(1, 4), "<untouched>");
    EXPECT_EQ(row(1, 1000), "<untouched>");
    EXPECT_EQ(row(108, 0), "#ERR:Invalid Index Type");
    EXPECT_EQ(row(0, 0), "#ERR:Invalid Index Type");
    EXPECT_EQ(row(-3, 1), "#ERR:Invalid Index Type");
    // The choice is checked first, whatever the type.
    EXPECT_EQ(row(0, -1), "#ERR:Invalid choice");
    EXPECT_EQ(row(1, -1), "#ERR:Invalid choice");
    EXPECT_EQ(row(500, -7), "#ERR:Invalid choice");

    // A reused buffer still shows the previous row.
    char buf[kIndexRowSize];
    IndexDetails(IDX_TAMPER, buf, 1);
    IndexDetails(IDX_TAMPER, buf, 3);
    EXPECT_STREQ(buf, "true,Device has been tampered,tamper,NaN,tampered,NaN");
}

TEST(IndexDetails, FieldCodeTable) {
    const char* want[20] = {"IN",  "DT",  "RO", "LT",  "IB", "GL",  "DI", "VC",  "UNT", "MIN",
                            "MAX", "FCT", "PL", "SPL", "CD", "UIS", "DV", "STR", "EF",  "AL"};
    EXPECT_EQ(sizeof IdxArr, 100u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_STREQ(IdxArr[i], want[i]);
        for (size_t j = strlen(want[i]); j < 5; ++j) EXPECT_EQ(IdxArr[i][j], '\0');
    }
}

// ---------------------------------------------------------------------------
// The index store

class IndexStore : public ::testing::Test {
protected:
    void SetUp() override {
        rmdir(kStore);
        unlink(kStore);
        Index::WriteIndexToidb();
    }
};

// The records one entry should lay down, from its catalogue rows.
std::map<std::string, std::string> expectedRecords(int c) {
    static const char* codes[20] = {"IN",  "DT",  "RO", "LT",  "IB", "GL",  "DI", "VC",  "UNT", "MIN",
                                    "MAX", "FCT", "PL", "SPL", "CD", "UIS", "DV", "STR", "EF",  "AL"};
    static const char* vkeys[6] = {"V", "L", "I", "T", "AL", "EF"};
    std::map<std::string, std::string> out;
    std::string n = std::to_string(c);
    out[n] = n;
    std::vector<std::string> d = split(row(c, 0));
    for (int i = 0; i < 8; ++i) out[n + "." + codes[i]] = d[i];
    int vc = std::stoi(d[7]);
    for (int k = 1; k <= vc; ++k) {
        std::vector<std::string> v = split(row(c, k));
        v.resize(6, "NaN");
        for (int i = 0; i < 6; ++i) out[n + "." + vkeys[i] + std::to_string(k)] = v[i];
    }
    std::vector<std::string> a = split(row(c, vc + 1));
    for (int i = 0; i < 12; ++i) out[n + "." + codes[8 + i]] = a[i];
    return out;
}

TEST_F(IndexStore, HoldsEveryFieldOfEveryEntry) {
    std::map<std::string, std::string> want;
    for (int c = 1; c <= 107; ++c) {
        auto r = expectedRecords(c);
        want.insert(r.begin(), r.end());
    }
    std::map<std::string, std::string> got = dumpStore();
    EXPECT_EQ(got.size(), 3177u);
    EXPECT_EQ(got, want);

    // Plain text without a terminating NUL.
    EXPECT_EQ(got["1"], "1");
    EXPECT_EQ(got["107"], "107");
    EXPECT_EQ(got["1.IN"], "SWITCH BINARY");
    EXPECT_EQ(got["1.VC"], "2");
    EXPECT_EQ(got["1.V1"], "true");
    EXPECT_EQ(got["1.T2"], "true");
    EXPECT_EQ(got["1.STR"], "true");
    EXPECT_EQ(got["1.EF"], "NaN");
    EXPECT_EQ(got["9.AL"], "tampered");
    EXPECT_EQ(got["10.EF2"], "Rule");
    EXPECT_EQ(got["10.EF"], "scene");
    EXPECT_EQ(got["39.V1"], "On low ");
    EXPECT_EQ(got["69.EF2"], "NaN");  // the short row of -2
    EXPECT_EQ(got["69.L2"], "Cannot change target temperature while structure is away");
    EXPECT_EQ(got["25.UNT"],
              "\xC2\xB0"
              "F");
    EXPECT_EQ(got.count("1.V3"), 0u);
    EXPECT_EQ(got.count("108"), 0u);
}

TEST_F(IndexStore, WritingTwiceChangesNothing) {
    std::map<std::string, std::string> first = dumpStore();
    // A changed record is put back; a record the catalogue does not write stays.
    putRecord("1.L1", "changed");
    putRecord("500.XX", "stray");
    Index::WriteIndexToidb();
    std::map<std::string, std::string> second = dumpStore();
    EXPECT_EQ(second.size(), 3178u);
    EXPECT_EQ(second["500.XX"], "stray");
    second.erase("500.XX");
    EXPECT_EQ(second, first);

    Index::WriteIndexToidb();
    Index::WriteIndexToidb();
    std::map<std::string, std::string> third = dumpStore();
    third.erase("500.XX");
    EXPECT_EQ(third, first);
}

TEST_F(IndexStore, ReadsOneEntryWithEveryGetter) {
    Index b(14);
    EXPECT_EQ(b.getIndexID(), IDX_BASIC);
    EXPECT_EQ(descriptionOf(b), (Row{"BASIC", "Byte", "true", "MULTI_BUTTON", "Sensor", "NaN", "alarm_off", "2"}));
    EXPECT_EQ(attributesOf(b), (Row{"NaN", "NaN", "NaN", "NaN", "Header", "NaN", "false", "NaN", "true", "NaN", "Scene",
                                    "set_alarm_for"}));
    EXPECT_EQ(valueOf(b, 1), (Row{"0", "INACTIVE", "alarm_on", "255", "alarm_on", "NaN"}));
    EXPECT_EQ(valueOf(b, 2), (Row{"255", "ACTIVE", "alarm_off", "0", "off", "NaN"}));

    Index a(60);
    EXPECT_EQ(a.values().size(), 3u);
    EXPECT_STREQ(a.getValueAppLabel(3), "AUTOAWAY");
    EXPECT_STREQ(a.getValue(4), "#Err");

    Index o(101);
    EXPECT_EQ(o.values().size(), 2u);
    EXPECT_STREQ(o.getValueLabel(1), "OCCUPIED");
    EXPECT_STREQ(o.getValueLabel(2), "UNOCCUPIED");

    EXPECT_STREQ(Index(88).getIndexMin(), "-2147483648");
    EXPECT_STREQ(Index(88).getIndexMax(), "2147483647");
    EXPECT_STREQ(Index(39).getValue(1), "On low ");
    EXPECT_STREQ(Index(25).getIndexUnits(),
                 "\xC2\xB0"
                 "F");
    EXPECT_EQ(Index(99).getIndexID(), IDX_SECONDS);  // stored as "SECONDS"
    EXPECT_EQ(Index(101).getIndexID(), IDX_OCCUPANCY_STATE);

    Index r(69);
    EXPECT_EQ(r.values().size(), 20u);
    EXPECT_STREQ(r.getValue(20), "429");
    EXPECT_STREQ(r.getValueExcludeFrom(2), "NaN");
    EXPECT_STREQ(r.getValueLabel(14),
                 "Cannot change HVAC mode to [Heat/Cool/Heat \xE2\x80\xA2 Cool]; HVAC cannot [Heat/Cool]");
}

TEST_F(IndexStore, OutOfRangeValuesAndMissingEntries) {
    Index s(1);
    for (int k : {0, 3, -1, 1000}) {
        EXPECT_EQ(valueOf(s, k), Row(6, "#Err")) << k;
    }
    EXPECT_STREQ(Index(17).getValue(1), "#Err");

    for (int code : {500, 0, -1, 108}) {
        Index m(code);
        EXPECT_STREQ(m.getIndexName(), "") << code;
        EXPECT_EQ(m.getIndexID(), IDX_NONE);
        EXPECT_TRUE(m.values().empty());
        EXPECT_STREQ(m.getIndexAppLabel(), "");
    }
    Index e;
    EXPECT_STREQ(e.getIndexName(), "");
    EXPECT_STREQ(e.getValue(1), "#Err");
}

TEST_F(IndexStore, EveryEntryReadsBackAsCatalogued) {
    for (int c = 1; c <= 107; ++c) {
        SCOPED_TRACE(c);
        Index x(c);
        std::vector<std::string> d = split(row(c, 0));
        int vc = std::stoi(d[7]);
        EXPECT_EQ(x.getIndexID(), c);
        EXPECT_EQ(descriptionOf(x), d);
        EXPECT_EQ(attributesOf(x), split(row(c, vc + 1)));
        ASSERT_EQ(int(x.values().size()), vc);
        for (int k = 1; k <= vc; ++k) {
            std::vector<std::string> v = split(row(c, k));
            v.resize(6, "NaN");
            EXPECT_EQ(valueOf(x, k), v) << "value " << k;
        }
    }
}

TEST_F(IndexStore, ListHoldsEveryEntryInStoreOrder) {
    IndexList list;
    list.Populate();
    ASSERT_EQ(list.indexes.size(), 107u);
    std::vector<std::string> order = entryKeysInStoreOrder();
    ASSERT_EQ(order.size(), 107u);
    size_t i = 0;
    for (Index& x : list.indexes) {
        EXPECT_EQ(std::to_string(x.getIndexID()), order[i++]);
        EXPECT_STREQ(x.getIndexName(), split(row(x.getIndexID(), 0))[0].c_str());
    }
    // The list owns copies: each one's texts live in that copy.
    Index& first = list.indexes.front();
    Index copy = first;
    EXPECT_NE(copy.getIndexName(), first.getIndexName());
    EXPECT_STREQ(copy.getIndexName(), first.getIndexName());
    if (!first.values().empty()) {
        EXPECT_NE(copy.getValueLabel(1), first.getValueLabel(1));
        EXPECT_STREQ(copy.getValueLabel(1), first.getValueLabel(1));
    }

    // Populate appends.
    list.Populate();
    EXPECT_EQ(list.indexes.size(), 214u);
}

TEST(IndexStoreEdges, ListOfEmptyStoreIsEmpty) {
    rmdir(kStore);
    unlink(kStore);
    IndexList list;
    std::string err = testkit::captureStderr([&] { list.Populate(); });
    EXPECT_TRUE(list.indexes.empty());
    EXPECT_EQ(err, "");
    EXPECT_TRUE(testkit::fileExists(kStore));  // opened for writing, created
}

TEST(IndexStoreEdges, StoredTextsAreCutToTheirFields) {
    rmdir(kStore);
    unlink(kStore);
    const std::string longText(49, 'x');
    putRecord("300", "300");
    putRecord("300.IN", std::string(70, 'n'));  // read at most 50, kept 49
    putRecord("300.DT", longText);              // field of 10
    putRecord("300.RO", "NaN");
    putRecord("300.LT", "NaN");
    putRecord("300.IB", "NaN");
    putRecord("300.GL", longText);  // field of 20
    putRecord("300.DI", "NaN");
    putRecord("300.VC", "1");
    putRecord("300.UNT", longText);  // field of 10
    putRecord("300.MIN", longText);  // field of 12
    putRecord("300.V1", std::string(60, 'v'));
    putRecord("300.L1", std::string(150, 'l'));  // read at most 100, kept 99
    putRecord("300.T1", longText);               // field of 20
    Index x(300);
    EXPECT_EQ(std::string(x.getIndexName()), std::string(49, 'n'));
    EXPECT_EQ(strlen(x.getIndexDataType()), 9u);
    EXPECT_EQ(strlen(x.getIndexGroupLabel()), 19u);
    EXPECT_EQ(strlen(x.getIndexUnits()), 9u);
    EXPECT_EQ(strlen(x.getIndexMin()), 11u);
    EXPECT_STREQ(x.getIndexMax(), "");  // MAX missing: the rest stay empty
    EXPECT_STREQ(x.getIndexAppLabel(), "");
    EXPECT_EQ(x.getIndexID(), IDX_NONE);
    EXPECT_EQ(strlen(x.getValue(1)), 49u);
    EXPECT_EQ(std::string(x.getValueLabel(1)), std::string(99, 'l'));
    EXPECT_EQ(strlen(x.getValueToggleValue(1)), 19u);
    EXPECT_STREQ(x.getValueIcon(1), "");  // missing per-value key: empty field
}

TEST(IndexStoreEdges, FirstMissingFieldEndsTheRead) {
    rmdir(kStore);
    unlink(kStore);
    putRecord("301.IN", "TAMPER");
    putRecord("301.DT", "NaN");
    putRecord("301.LT", "LIST");  // RO missing: LT and beyond are not read
    putRecord("301.VC", "1");
    putRecord("301.V1", "true");
    Index x(301);
    EXPECT_EQ(x.getIndexID(), IDX_TAMPER);
    EXPECT_STREQ(x.getIndexDataType(), "NaN");
    EXPECT_STREQ(x.getIndexLayout(), "");
    EXPECT_TRUE(x.values().empty());
    EXPECT_STREQ(x.getValue(1), "#Err");
}

TEST(IndexStoreEdges, ValueCountsThatAreNoNumbersOrHuge) {
    rmdir(kStore);
    unlink(kStore);
    const char* fields[8] = {"IN", "DT", "RO", "LT", "IB", "GL", "DI", "VC"};
    auto entry = [&](int code, const std::string& vc) {
        for (int i = 0; i < 7; ++i) putRecord(std::to_string(code) + "." + fields[i], "NaN");
        putRecord(std::to_string(code) + ".VC", vc);
    };
    entry(310, "abc");
    entry(311, "-4");
    entry(312, "1000000000");
    EXPECT_TRUE(Index(310).values().empty());
    EXPECT_EQ(Index(310).getValueCount(), 0);
    EXPECT_TRUE(Index(311).values().empty());
    EXPECT_STREQ(Index(311).getValue(1), "#Err");
    // A count out of all proportion is bounded instead of exhausting memory.
    Index big(312);
    EXPECT_EQ(big.values().size(), 255u);
    EXPECT_EQ(big.getValueCount(), 255);
    EXPECT_STREQ(big.getValue(255), "");
    EXPECT_STREQ(big.getValue(256), "#Err");
}

TEST(IndexStoreEdges, CorruptStoreIsRepairedBeforeWriting) {
    rmdir(kStore);
    unlink(kStore);
    testkit::writeFile(kStore, std::string(4096, 'g'));
    std::string err = testkit::captureStderr([] { Index::WriteIndexToidb(); });
    EXPECT_EQ(err.rfind("dpopen: ", 0), 0u) << err;
    EXPECT_EQ(err.find("cannot repair"), std::string::npos);
    EXPECT_EQ(dumpStore().size(), 3177u);
}

TEST(IndexStoreEdges, UnopenableStoreGivesEmptyResults) {
    rmdir(kStore);
    unlink(kStore);
    ASSERT_EQ(mkdir(kStore, 0755), 0);  // cannot be opened, repaired nor deleted

    std::string err = testkit::captureStderr([] { Index::WriteIndexToidb(); });
    EXPECT_NE(err.find("dpopen: "), std::string::npos) << err;
    EXPECT_NE(err.find("cannot repair: "), std::string::npos) << err;

    Index x(1);
    err = testkit::captureStderr([&] { x = Index(1); });
    EXPECT_EQ(err.rfind("dpopen: ", 0), 0u) << err;
    EXPECT_EQ(err.find("cannot repair"), std::string::npos) << err;  // readers do not repair
    EXPECT_STREQ(x.getIndexName(), "");
    EXPECT_TRUE(x.values().empty());

    IndexList list;
    err = testkit::captureStderr([&] { list.Populate(); });
    EXPECT_EQ(err.rfind("dpopen: ", 0), 0u) << err;
    EXPECT_EQ(err.find("cannot repair"), std::string::npos) << err;
    EXPECT_TRUE(list.indexes.empty());
    rmdir(kStore);
}

}  // namespace
