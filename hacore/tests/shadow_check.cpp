// Compiled, never run (tests hacore_headers_shadow and its control): an
// application's own short names beside every public header of the
// libraries but hacore/channel_state.h compile cleanly with -Wshadow
// -Werror. With channel_state.h included they must not (the control).
#include "daemonlink/DaemonConnector.h"
#include "daemonlink/probes.h"
#include "fwupdate/Firmware.h"
#include "hacore/Client.h"
#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "hacore/HAPersistence.h"
#include "hacore/Halvix.h"
#include "hacore/HalvixDebug.h"
#include "hacore/Memory.h"
#include "hacore/Rule.h"
#include "hacore/Scene.h"
#include "hacore/Weather.h"
#include "hacore/channel.h"
#include "hacore/commands.h"
#include "hacore/frozen.h"
#include "hacore/index.h"
#include "hacore/mesh.h"
#include "hacore/packets.h"
#include "hacore/records.h"
#include "hacore/vocab.h"
#include "hwtimer/Timer.h"
#include "lcddraw/LcdRecords.h"
#include "lcddraw/jpeg.h"
#include "lcddraw/libHalvixGui.h"
#include "logupload/sendLogs.h"
#include "pairing/HalvixAssociation.h"
#include "touchui/Keyboard.h"
#include "touchui/KeyboardLayout.h"
#include "touchui/Languages.h"
#include "touchui/Memory.h"
#include "touchui/Modal.h"
#include "touchui/Persistence.h"
#include "touchui/Screen.h"
#include "touchui/ScreenLock.h"
#include "touchui/TextFormat.h"
#include "touchui/Widget.h"

static int which = 1;

int sceneCount(ScenesList& scenes) {
    int n = which;
    for (Scene& s : scenes.scenes) n += s.getID() > 0;
    return n;
}
