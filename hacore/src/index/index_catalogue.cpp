// The index catalogue: one entry per index type, codes 1 to 107, each a list
// of comma-separated rows exactly as they are laid into the index store.
//
//   row 0        descriptor:  name,data type,read-only,layout,behaviour,
//                             group label,default icon,value count N
//   rows 1..N    values:      value,label,icon,toggle value,app label,
//                             exclude-from
//   row N+1      attributes:  units,min,max,factor,placement,
//                             secondary placement,conditional,use in scenes,
//                             default visibility,show toggle in rules,
//                             exclude-from,app label
//
// "NaN" marks a field without value. Fields hold no commas and no blanks
// around them; keep every row shorter than kIndexRowSize. The shape of the
// table (codes in order, N+2 rows per entry, field counts, row lengths) is
// checked at compile time below.
#include <cstring>

#include "hacore/index.h"

namespace {

constexpr int kMaxRows = 22;  // descriptor, 20 values (RESPONSE_CODE), attributes

struct Entry {
    int code;
    const char* rows[kMaxRows];
};

// An entry at a time, its rows one a line, as the index store holds them.
// clang-format off
constexpr Entry kCatalogue[] = {
{1, {"SWITCH BINARY,NaN,NaN,MULTI_BUTTON,Actuator,NaN,switch_on,2",
     "true,ON,switch_on,false,on,NaN",
     "false,OFF,switch_off,true,off,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{2, {"SENSOR BINARY,NaN,NaN,MULTI_BUTTON,Sensor,NaN,door_off,2",
     "true,ACTIVE,door_on,NaN,door_on,NaN",
     "false,INACTIVE,door_off,NaN,door_off,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
{3, {"MOTION_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,motion_off,2",
     "true,MOTION,motion_on,NaN,motion_on,NaN",
     "false,NO MOTION,motion_off,NaN,motion_off,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{4, {"DOOR_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,door_off,2",
     "true,OPEN,door_on,NaN,door_open,NaN",
     "false,CLOSED,door_off,NaN,door_closed,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{5, {"VIBRATION_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,vibration_off,2",
     "true,VIBRATION,vibration_on,NaN,vibration_on,NaN",
     "false,NO VIBRATION,vibration_off,NaN,vibration_off,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{6, {"WATER_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,water_off,2",
     "true,WATER DETECTED,water_on,NaN,water_detected,NaN",
     "false,DRY,water_off,NaN,dry,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{7, {"GAS_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,gas_off,2",
     "true,GAS DETECTED,gas_on,NaN,gas_detected,NaN",
     "false,NO GAS,gas_off,NaN,no_gas,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{8, {"FIRE_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,fire_off,2",
     "true,FIRE DETECTED,fire_on,NaN,fire_detected,NaN",
     "false,NO FIRE,fire_off,NaN,no_fire,NaN",
     "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{9, {"TAMPER,NaN,NaN,MULTI_BUTTON,Sensor,Tamper,NaN,1",
     "true,Device has been tampered,tamper,NaN,tampered,NaN",
     "NaN,NaN,NaN,NaN,Badge,NaN,NaN,NaN,NaN,NaN,NaN,tampered"}},
{10, {"PANIC_ALARM,NaN,NaN,MULTI_BUTTON,Sensor,NaN,panic_icon,2",
      "true,Panic Alarm,panic_icon,NaN,panicAlarm,NaN",
      "false,NO,panic_icon,NaN,no,Rule",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,scene,panicAlarm"}},
{11, {"EMER_ALARM,NaN,NaN,MULTI_BUTTON,Sensor,NaN,emergency_icon,2",
      "true,Emergency Alarm,emergency_icon,NaN,emergencyAlarm,NaN",
      "false,NO,emergency_icon,NaN,no,Rule",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,scene,emergencyAlarm"}},
{12, {"LOW BATTERY,NaN,NaN,MULTI_BUTTON,Sensor,NaN,NaN,1",
      "true,Battery is low,battery_low,NaN,low_battery,NaN",
      "NaN,NaN,NaN,NaN,Badge,NaN,NaN,NaN,NaN,NaN,NaN,low_battery"}},
{13, {"ALARM_STATE,NaN,NaN,TEXT_VIEW_ONLY,Actuator,NaN,alarm_off,2",
      "0,OFF,alarm_off,NaN,alarm_off,NaN",
      "65535,ON,alarm_on,NaN,alarm_on,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,alarm"}},
{14, {"BASIC,Byte,true,MULTI_BUTTON,Sensor,NaN,alarm_off,2",
      "0,INACTIVE,alarm_on,255,alarm_on,NaN",
      "255,ACTIVE,alarm_off,0,off,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,false,NaN,true,NaN,Scene,set_alarm_for"}},
{15, {"SMOKE_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,smoke_off,2",
      "0,NO SMOKE,smoke_off,NaN,no_smoke,NaN",
      "255,SMOKE DETECTED,smoke_on,NaN,smoke_detected,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{16, {"FLOOD_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,water_off,2",
      "0,DRY,water_off,NaN,dry,NaN",
      "255,FLOOD DETECTED,water_on,NaN,flood_detected,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{17, {"SWITCH MULTILEVEL,NaN,NaN,SLIDER_ICON,Actuator,NaN,dimmer,0",
      "%,0,100,1,Header_Detail,NaN,NaN,NaN,NaN,NaN,NaN,dimmer"}},
{18, {"DIMMER_LEVEL,NaN,NaN,SLIDER,Actuator,NaN,dimmer,0",
      "%,0,100,0.392,Header_Detail,NaN,NaN,NaN,NaN,NaN,NaN,dimmer"}},
{19, {"SWITCH_MULTISOUND,NaN,NaN,LIST,Actuator,NaN,alarm_off,7",
      "0,OFF,alarm_off,NaN,stop,NaN",
      "1,EMERGENCY MODE: ON,alarm_on,0,emergency,NaN",
      "2,FIRE MODE: ON,alarm_on,0,fire,NaN",
      "3,AMBULANCE MODE: ON,alarm_on,0,ambulance,NaN",
      "4,POLICE MODE: ON,alarm_on,0,police,NaN",
      "5,DOOR MODE: ON,alarm_on,0,door_chime,NaN",
      "6,BEEP MODE: ON,alarm_on,0,beep,NaN",
      "NaN,NaN,NaN,NaN,Header_Detail_Primary,NaN,NaN,NaN,NaN,NaN,NaN,start_alarm"}},
{20, {"SHUTTER_LEVEL,NaN,NaN,MULTI_BUTTON,Actuator,NaN,garage_close,3",
      "0,CLOSED,garage_close,99,closed,NaN",
      "99,OPENED,garage_open,0,opened,NaN",
      "254,PROCESSING,garage_open,NaN,processing,Action_Scene",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
{21, {"BASIC_EXTENDER,NaN,NaN,MULTI_BUTTON,Actuator,NaN,switch_off,2",
      "0,OFF,switch_off,255,off,NaN",
      "255,ON,switch_on,0,on,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{22, {"LOCK_STATE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,lock_close,2",
      "0,UNLOCKED,lock_open,255,doorlock_off,NaN",
      "255,LOCKED,lock_close,0,doorlock_on,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{23, {"LOCK_STATE_ZB,NaN,NaN,MULTI_BUTTON,Actuator,NaN,lock_open,3",
      "1,LOCKED,lock_close,2,doorlock_on,NaN",
      "2,UNLOCKED,doorlock_off,1,doorlock_off,NaN",
      "0,PARTIALLY LOCKED,lock_open,1,doorlock_partial,Scene_Rule",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{24, {"ARMMODE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,keyfob_off,3",
      "0,ALL DISARMED,keyfob_off,NaN,keyfob_disarmed,NaN",
      "2,PERIMETER ARMED,arm_perimeter,NaN,keyfob_perimeter_armed,NaN",
      "3,ALL ARMED,keyfob_on,NaN,keyfob_armed,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
{25, {"TEMPERATURE,NaN,NaN,SINGLE_TEMP,Sensor,NaN,target_temperature,0",
      "°F,35,95,1,Detail,NaN,NaN,NaN,NaN,NaN,NaN,temperature"}},
{26, {"PRESSURE,NaN,true,SLIDER,Sensor,NaN,pressure,0",
      "kPa,-3276,3276,1,Detail,NaN,NaN,NaN,NaN,NaN,Scene,pressure"}},
{27, {"HUMIDITY,NaN,NaN,SINGLE_TEMP,Sensor,NaN,humidity,0",
      "%,0,100,1,Detail,NaN,NaN,NaN,NaN,NaN,Scene,humidity"}},
{28, {"ILLUMINANCE,NaN,NaN,SLIDER,Sensor,NaN,illuminance,0",
      "Lux,0,3000,1,Detail,NaN,NaN,NaN,NaN,NaN,Scene,illuminance"}},
{29, {"ILLUMINANCE_PERCENT,NaN,NaN,SLIDER,Sensor,NaN,illuminance,0",
      "%,0,100,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,illuminance"}},
{30, {"HUE,NaN,NaN,Hue,Actuator,NaN,color_wheel,0",
      "NaN,0,65535,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,hue"}},
{31, {"HUE_ZB,NaN,NaN,SLIDER,Actuator,NaN,color_wheel,0",
      "NaN,0,255,1,Detail,NaN,NaN,NaN,NaN,NaN,NaN,hue"}},
{32, {"SATURATION,NaN,NaN,SLIDER,Actuator,NaN,saturation,0",
      "%,0,100,0.392,Detail,NaN,NaN,NaN,NaN,NaN,NaN,saturation"}},
{33, {"COLOR_TEMPERATURE,NaN,NaN,SLIDER,Actuator,NaN,color_temperature,0",
      "%,1000,9000,0.39,Detail,NaN,NaN,NaN,NaN,NaN,NaN,color_temperature"}},
{34, {"POWER,NaN,NaN,SLIDER,Sensor,NaN,power,0",
      "W,0,9999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,power"}},
{35, {"THERMOSTAT MODE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,NaN,4",
      "Auto,Auto,img_auto,NaN,auto,NaN",
      "Cool,Cool,img_cool,NaN,cool,NaN",
      "Heat,Heat,img_heat,NaN,heat,NaN",
      "Off,Off,img_off,NaN,button_off,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,mode"}},
{36, {"THERMOSTAT OPERATING STATE,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,operating_state"}},
{37, {"THERMOSTAT SETPOINT HEATING,NaN,NaN,SINGLE_TEMP,Actuator,NaN,img_heat,0",
      "°F,35,95,1,Detail,NaN,NaN,NaN,NaN,NaN,NaN,heating_setpoint"}},
{38, {"THERMOSTAT SETPOINT COOLING,NaN,NaN,SINGLE_TEMP,Actuator,NaN,img_cool,0",
      "°F,35,95,1,Detail,NaN,NaN,NaN,NaN,NaN,NaN,cooling_setpoint"}},
// The first raw value ends in a blank: devices report it that way.
{39, {"THERMOSTAT FAN MODE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,NaN,2",
      "On low ,On Low,btn_fan_on,NaN,fan_on,NaN",
      "Auto low,Auto Low,btn_fan_off,NaN,fan_auto,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,fan_mode"}},
{40, {"THERMOSTAT FAN STATE,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,fan_state"}},
{41, {"THERMOSTAT SETPOINT,NaN,NaN,SINGLE_TEMP,Actuator,NaN,target_temperature,0",
      "°F,41,104,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,setpoint"}},
{42, {"UP_DOWN,NaN,NaN,LIST,Actuator,NaN,NaN,2",
      "0,DOWN,icon_garage_door_down,99,down,NaN",
      "99,UP,icon_garage_door_up,0,up,NaN",
      "NaN,NaN,NaN,NaN,Header_Detail_Primary,NaN,NaN,NaN,NaN,NaN,NaN,actions"}},
{43, {"STOP,NaN,NaN,MULTI_BUTTON,Actuator,NaN,stop_icon,1",
      "true,STOP,stop_icon,true,stop,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene_Trigger,stop"}},
{44, {"BARRIER OPERATOR,NaN,NaN,LIST,Actuator,NaN,NaN,5",
      "0,CLOSED,garage_close,255,closed,NaN",
      "252,CLOSING,icon_garage_door_down,255,closing,NaN",
      "253,STOPPED,garage_open,0,stopped,NaN",
      "254,OPENING,icon_garage_door_up,0,opening,NaN",
      "255,OPENED,garage_open,0,opened,NaN",
      "NaN,NaN,NaN,NaN,Header_Detail_Primary,NaN,NaN,NaN,NaN,NaN,NaN,actions"}},
{45, {"AC MODE,NaN,NaN,LIST,Actuator,NaN,NaN,8",
      "Auto,Auto,img_auto,NaN,auto,NaN",
      "Cool,Cool,img_cool,NaN,cool,NaN",
      "Heat,Heat,img_off,NaN,heat,NaN",
      "Off,Off,img_off,NaN,offMode,NaN",
      "Resume,Resume,resume_icon,NaN,resume,NaN",
      "Fan Only,Fan Only,btn_fan_off,NaN,fanOnly,NaN",
      "Dry Air,Dry Air,water_off,NaN,dryAir,NaN",
      "Auto Changeover,Auto Changeover,img_auto,NaN,autoChangeOver,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,mode"}},
{46, {"AC SETPOINT HEATING,NaN,NaN,SINGLE_TEMP,Actuator,NaN,img_heat,0",
      "°F,60,86,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,heating_setpoint"}},
{47, {"AC SETPOINT COOLING,NaN,NaN,SINGLE_TEMP,Actuator,NaN,img_cool,0",
      "°F,60,86,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,cooling_setpoint"}},
{48, {"AC FAN MODE,NaN,NaN,LIST,Actuator,NaN,NaN,4",
      "Auto Low,Auto Low,btn_fan_off,NaN,fanAutoLow,NaN",
      "On Low,On Low,btn_fan_on,NaN,fanOnLow,NaN",
      "Unknown 5,Unknown,btn_fan_off,NaN,fanUnknown,Scene_Rule",
      "On High,On High,btn_fan_on,NaN,fanOnHigh,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,fan_mode"}},
{49, {"AC SWING,NaN,NaN,MULTI_BUTTON,Actuator,NaN,swing_off,2",
      "0,SWING OFF,swing_off,1,swingOff,NaN",
      "1,SWING ON,swing_on,0,swingOn,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,true,NaN,swing"}},
{50, {"BATTERY,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,0",
      "%,0,100,1,Detail,NaN,true,NaN,NaN,NaN,NaN,battery"}},
{51, {"IR CODE,NaN,NaN,TEXT_VIEW_ONLY,Actuator,IR Code,NaN,0",
      "NaN,0,999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Trigger,ir_code"}},
{52, {"VOLTAGE,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,0",
      "V,0,100,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,voltage"}},
{53, {"CURRENT,NaN,NaN,TEXT_VIEW,Sensor,Nan,NaN,0",
      "A,0,100,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,current"}},
{54, {"RETAIN_STATE,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
{55, {"NEST_ID,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
{56, {"THERMOSTAT_MODE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,NaN,4",
      "heat-cool,Heat-Cool,img_auto,NaN,heatCool,NaN",
      "cool,Cool,img_cool,NaN,cool,NaN",
      "heat,Heat,img_heat,NaN,heat,NaN",
      "off,Off,img_off,NaN,button_off,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,mode"}},
{57, {"THERMOSTAT_TARGET,NaN,NaN,SINGLE_TEMP,Actuator,NaN,target_temperature,0",
      "°F,50,90,NaN,Header_Detail,NaN,NaN,NaN,NaN,NaN,NaN,nest_label_target"}},
{58, {"THERMOSTAT_RANGE_LOW,NaN,NaN,SINGLE_TEMP,Actuator,NaN,img_heat,0",
      "°F,50,87,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,nest_label_range_low"}},
{59, {"THERMOSTAT_RANGE_HIGH,NaN,NaN,SINGLE_TEMP,Actuator,NaN,img_cool,0",
      "°F,53,90,NaN,Detail,NaN,NaN,NaN,NaN,NaN,NaN,nest_label_range_high"}},
{60, {"AWAY_MODE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,NaN,3",
      "home,Home,home_white,NaN,home,NaN",
      "away,Away,away_white,NaN,away,NaN",
      "auto-away,Auto-away,away_white,NaN,AUTOAWAY,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,nest_label_away_mode"}},
{61, {"THERMOSTAT_FAN_STATE,NaN,NaN,MULTI_BUTTON,Actuator,NaN,btn_fan_off,2",
      "true,FAN ON,btn_fan_on,false,fan_on,NaN",
      "false,FAN OFF,btn_fan_off,true,fan_off,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,true,NaN,nest_label_fan"}},
{62, {"ISONLINE,NaN,NaN,MULTI_BUTTON,Functional,NaN,NaN,2",
      "true,Online,online_icon,NaN,online,NaN",
      "false,Offline,offline_icon,NaN,offline,NaN",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{63, {"CAN_COOL,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
{64, {"CAN_HEAT,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
{65, {"IS_USING_EMERGENCY_HEAT,NaN,NaN,NaN,Functional,NaN,NaN,1",
      "true,Emergency heat is on,img_heat,NaN,emergency_heat,NaN",
      "NaN,NaN,NaN,NaN,Badge,NaN,NaN,NaN,NaN,NaN,Scene_Rule,emergency_heat"}},
{66, {"HAS_FAN,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
{67, {"HVAC_STATE,NaN,NaN,MULTI_BUTTON,Sensor,NaN,NaN,3",
      "heating,HEATING,img_heat,NaN,heating,NaN",
      "cooling,COOLING,img_cool,NaN,cooling,NaN",
      "off,IDLE,img_off,NaN,off,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,Scene,NaN"}},
{68, {"HAS_LEAF,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
// Results of thermostat commands. The row of -2 has one field less, as it
// always had; the missing exclude-from reads as NaN.
{69, {"RESPONSE_CODE,NaN,NaN,NaN,Info,NaN,NaN,20",
      "-1,Wrong mode selection,NaN,NaN,NaN,NaN",
      "-2,Cannot change target temperature while structure is away,NaN,NaN,NaN",
      "-3,Thermostat is not online,NaN,NaN,NaN,NaN",
      "-4,Cannot change fan_timer_active while structure is Away,NaN,NaN,NaN,NaN",
      "-5,heat-cool mode 3 unit issue,NaN,NaN,NaN,NaN",
      "-6,Cannot change HVAC mode while thermostat lock is enabled,NaN,NaN,NaN,NaN",
      "-7,Cannot set c and f temperatures simultaneously,NaN,NaN,NaN,NaN",
      "-8,Cannot set target temperature closer than N degrees C/F,NaN,NaN,NaN,NaN",
      "-9,Temperature C/F value is too low,NaN,NaN,NaN,NaN",
      "-10,Temperature C/F value is too high,NaN,NaN,NaN,NaN",
      "-11,Temperature C/F value too low for lock temperature,NaN,NaN,NaN,NaN",
      "-12,Temperature C/F value too high for lock temperature,NaN,NaN,NaN,NaN",
      "-13,Cannot change HVAC mode during energy-saving events,NaN,NaN,NaN,NaN",
      "-14,Cannot change HVAC mode to [Heat/Cool/Heat • Cool]; HVAC cannot [Heat/Cool],NaN,NaN,NaN,NaN",
      "-15,Invalid HVAC mode: [Heat/Cool/Heat • Cool],NaN,NaN,NaN,NaN",
      "-16,Cannot activate fan during smoke/co safety shutoff,NaN,NaN,NaN,NaN",
      "-17,fan_timer_active not set,NaN,NaN,NaN,NaN",
      "-18,Cannot change Away state while emergency heat is on,NaN,NaN,NaN,NaN",
      "503,Service Unavailable,NaN,NaN,NaN,NaN",
      "429,Too Many Requests,NaN,NaN,NaN,NaN",
      "NaN,NaN,NaN,NaN,Message,NaN,NaN,NaN,NaN,NaN,Rule,NaN"}},
{70, {"CO_ALARM_STATE,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,3",
      "ok,OK,nest_protest_icon,NaN,ok,NaN",
      "warning,WARNING,icon_tampered_yellow,NaN,co_detected,NaN",
      "emergency,EMERGENCY,icon_tampered_red,NaN,emergency_,NaN",
      "NaN,NaN,NaN,NaN,Header_Details,NaN,NaN,NaN,NaN,NaN,Rule,co_label"}},
{71, {"SMOKE_ALARM_STATE,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,3",
      "ok,OK,nest_protest_icon,NaN,ok,NaN",
      "warning,WARNING,icon_tampered_yellow,NaN,smoke_detected,NaN",
      "emergency,EMERGENCY,icon_tampered_red,NaN,emergency_,NaN",
      "NaN,NaN,NaN,NaN,Header_Details,NaN,NaN,NaN,NaN,NaN,Rule,smoke_label"}},
{72, {"HUE_BRIDGE_ID,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
{73, {"EFFECT,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
{74, {"COLOUR_MODE,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
{75, {"HUE_BULB_ID,Int,true,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
{76, {"USER_NAME,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
{77, {"REACHABLE,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
{78, {"BATTERY_NEST,NaN,NaN,TEXT_VIEW,Sensor,NaN,NaN,2",
      "ok,OK,battery_ok,NaN,ok,NaN",
      "Warning,LOW,battery_low,NaN,battery_low,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Rule,battery"}},
{79, {"MAXIMUM_USERS,NaN,NaN,NaN,Functional,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Hidden,NaN,NaN,NaN,NaN,NaN,Scene_Rule,NaN"}},
{80, {"ENERGY,NaN,NaN,SLIDER_ICON,Sensor,NaN,energy,0",
      "KWh,0,9999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,energy"}},
{81, {"USER_CODE,NaN,NaN,TEXT_VIEW,Actuator,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Rule_Scene,user_code"}},
{82, {"CLAMP1_POWER,NaN,NaN,TEXT_VIEW,Sensor,NaN,power,0",
      "W,0,9999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,clamp1_power"}},
{83, {"CLAMP2_POWER,NaN,NaN,TEXT_VIEW,Sensor,NaN,power,0",
      "W,0,9999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,clamp2_power"}},
{84, {"CLAMP1_ENERGY,NaN,NaN,TEXT_VIEW,Sensor,NaN,energy,0",
      "kWh,0,9999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,clamp1_energy"}},
{85, {"CLAMP2_ENERGY,NaN,NaN,TEXT_VIEW,Sensor,NaN,energy,0",
      "kWh,0,9999,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,clamp2_energy"}},
{86, {"ACTIVE_POWER,NaN,NaN,TEXT_VIEW,Sensor,NaN,power,0",
      "W,0,100,NaN,Detail,NaN,NaN,NaN,NaN,NaN,Scene,active_power"}},
{87, {"GENERIC_STRING,String,false,Input,Actuator,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,true,false,false,NaN,NaN,NaN"}},
{88, {"GENERIC_INT,Int,false,Input,Actuator,NaN,NaN,0",
      "NaN,-2147483648,2147483647,NaN,NaN,NaN,true,false,false,NaN,NaN,NaN"}},
{89, {"GENERIC_DOUBLE,Double,false,Input,Actuator,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,true,false,false,NaN,NaN,NaN"}},
{90, {"GENERIC_BOOL,BOOL,true,Input,Actuator,NaN,NaN,2",
      "true,NaN,NaN,NaN,NaN,NaN",
      "false,NaN,NaN,NaN,NaN,NaN",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,false,NaN,NaN,NaN"}},
// Key attributes of a button press (1, released, is not reported).
{91, {"PRESS,Decimal,true,info,sensor,NaN,NaN,4",
      "0,PRESSED,NaN,NaN,pressed,NaN",
      "2,HELD,NaN,NaN,held,NaN",
      "3,DOUBLE PRESSED,NaN,NaN,double_pressed,NaN",
      "4,TRIPLE PRESSED,NaN,NaN,triple_pressed,NaN",
      "NaN,NaN,NaN,NaN,NaN,NaN,true,false,true,NaN,Scene,NaN"}},
{92, {"CUSTOM_MESSAGE,string,true,info,sensor,NaN,NaN,0",
      "NaN,NaN,NaN,NaN,NaN,NaN,false,false,true,NaN,Scene,NaN"}},
// 93 to 100: the hub's own siren and LED.
{93, {"BUZZ_STATE,Bool,false,Button,Actuator,NaN,alarm_off,2",
      "true,BUZZING,alarm_on,false,buzz_on,NaN",
      "false,SILENT,alarm_off,true,buzz_off,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,true,true,true,true,NaN,NaN"}},
{94, {"LED_STATE,Bool,false,Button,Actuator,NaN,led_off,2",
      "true,LED ON,led_on,false,led_on,NaN",
      "false,LED OFF,led_off,true,led_off,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,true,true,true,true,NaN,NaN"}},
{95, {"TONE,NaN,NaN,BUTTON,Actuator,NaN,NaN,3",
      "1,TONE 1,NaN,NaN,tone1,NaN",
      "2,TONE 2,NaN,NaN,tone2,NaN",
      "3,TONE 3,NaN,NaN,tone3,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,true,true,true,NaN,NaN,tone"}},
{96, {"VOLUME,Decimal,false,Button,Actuator,NaN,NaN,3",
      "1,LOW,NaN,NaN,volume_low,NaN",
      "2,MEDIUM,NaN,NaN,volume_medium,NaN",
      "3,HIGH,NaN,NaN,volume_high,NaN",
      "NaN,NaN,NaN,NaN,Detail,NaN,true,true,true,NaN,NaN,volume"}},
{97, {"BLINK_STATE,Bool,false,Button,Actuator,NaN,led_off,2",
      "true,BLINKING,led_on,false,blink_on,NaN",
      "false,STEADY,led_off,true,blink_off,NaN",
      "NaN,NaN,NaN,NaN,Header,NaN,true,true,true,true,NaN,NaN"}},
{98, {"RGB,Int,false,Slider,Actuator,NaN,color_wheel,0",
      "NaN,0,65535,NaN,Detail,NaN,true,true,true,NaN,NaN,rgb"}},
{99, {"SECONDS,Int,false,Input,Actuator,NaN,NaN,0",
      "NaN,0,65535,NaN,Detail,NaN,true,true,true,NaN,Trigger,seconds"}},
{100, {"ENABLE,Bool,false,Button,Actuator,NaN,NaN,2",
       "true,ENABLED,NaN,false,enabled,NaN",
       "false,DISABLED,NaN,true,disabled,NaN",
       "NaN,NaN,NaN,NaN,Detail,NaN,true,true,true,true,NaN,enable"}},
{101, {"OCCUPANCY_STATE,NaN,NaN,MULTI_BUTTON,NaN,NaN,motion_on,2",
       "true,OCCUPIED,motion_on,NaN,NaN,NaN",
       "false,UNOCCUPIED,motion_off,NaN,NaN,NaN",
       "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,NaN,NaN,NaN"}},
{102, {"ALARM_BINARY,NaN,NaN,MULTI_BUTTON,Actuator,NaN,alarm_off,2",
       "true,ON,alarm_on,false,alarm_on,NaN",
       "false,OFF,alarm_off,true,alarm_off,NaN",
       "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{103, {"AC_SWITCH BINARY,NaN,NaN,MULTI_BUTTON,NaN,ac_switch_off,ac_switch_off,2",
       "true,ON,ac_switch_on,false,on,NaN",
       "false,OFF,ac_switch_off,true,off,NaN",
       "NaN,NaN,NaN,NaN,HeaderOnly,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{104, {"HUE_SWITCH BINARY,NaN,NaN,MULTI_BUTTON,Actuator,NaN,bulb_off,2",
       "true,ON,bulb_on,false,on,NaN",
       "false,OFF,bulb_off,true,off,NaN",
       "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{105, {"MULTILEVEL BINARY,NaN,NaN,MULTI_LEVEL,Actuator,NaN,dimmer,2",
       "true,ON,switch_on,false,on,NaN",
       "false,OFF,switch_off,true,off,NaN",
       "NaN,NaN,NaN,NaN,Header,NaN,NaN,NaN,NaN,true,NaN,NaN"}},
{106, {"MULTI_SWITCH BINARY1,NaN,NaN,MULIT_BUTTON,Actuator,NaN,switch_on,2",
       "true,SWITCH1 ON,switch_on,false,switch1_on,NaN",
       "false,SWITCH1 OFF,switch_off,true,switch1_off,NaN",
       "NaN,NaN,NaN,NaN,MULTI_BUTTON,NaN,NaN,NaN,NaN,true,NaN,switch1"}},
{107, {"MULTI_SWITCH BINARY2,NaN,NaN,MULTI_BUTTON,Actuator,NaN,switch_on,2",
       "true,SWITCH2 ON,switch_on,false,switch2_on,NaN",
       "false,SWITCH2 OFF,switch_off,true,switch2_off,NaN",
       "NaN,NaN,NaN,NaN,Header_Detail,NaN,NaN,NaN,NaN,true,NaN,switch2"}},
};
// clang-format on

constexpr int kEntries = sizeof kCatalogue / sizeof kCatalogue[0];

// ---- compile-time checks of the table's shape ----

constexpr int textLength(const char* s) {
    int n = 0;
    while (s[n]) ++n;
    return n;
}

constexpr int fieldCount(const char* s) {
    int n = 1;
    for (; *s; ++s)
        if (*s == ',') ++n;
    return n;
}

constexpr int rowCount(const Entry& e) {
    int n = 0;
    while (n < kMaxRows && e.rows[n]) ++n;
    return n;
}

// The last field of the descriptor, as a decimal number.
constexpr int valueCount(const Entry& e) {
    const char* s = e.rows[0];
    int last = 0;
    for (int i = 0; s[i]; ++i)
        if (s[i] == ',') last = i + 1;
    int n = 0;
    for (int i = last; s[i]; ++i) n = n * 10 + (s[i] - '0');
    return n;
}

constexpr bool shapeIsSound() {
    for (int i = 0; i < kEntries; ++i) {
        const Entry& e = kCatalogue[i];
        if (e.code != i + 1) return false;
        int n = valueCount(e);
        if (rowCount(e) != n + 2) return false;
        if (fieldCount(e.rows[0]) != 8 || fieldCount(e.rows[n + 1]) != 12) return false;
        for (int k = 1; k <= n; ++k)
            if (fieldCount(e.rows[k]) > 6) return false;
        for (int k = 0; k < n + 2; ++k)
            if (textLength(e.rows[k]) >= kIndexRowSize) return false;
    }
    return true;
}

// Records that writing the catalogue lays down: the entry record, 8
// descriptor fields, 6 per value and 12 attribute fields.
constexpr int storeRecords() {
    int n = 0;
    for (int i = 0; i < kEntries; ++i) n += 1 + 8 + 6 * valueCount(kCatalogue[i]) + 12;
    return n;
}

static_assert(kEntries == kIndexCatalogueLast, "one entry per code 1..107");
static_assert(shapeIsSound(), "catalogue rows out of shape");
static_assert(storeRecords() == 3177, "index store record count");

}  // namespace

void IndexDetails(IndexType type, char* out, int choice) {
    if (choice < 0) {
        strcpy(out, "#ERR:Invalid choice");
        return;
    }
    if (type < kIndexCatalogueFirst || type > kIndexCatalogueLast) {
        strcpy(out, "#ERR:Invalid Index Type");
        return;
    }
    const Entry& e = kCatalogue[type - kIndexCatalogueFirst];
    // Past the attribute row: the caller's buffer keeps its previous row.
    if (choice >= rowCount(e)) return;
    strcpy(out, e.rows[choice]);  // every row fits kIndexRowSize (checked above)
}
