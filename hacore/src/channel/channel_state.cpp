// The exported names of the channel's state (hacore/channel_state.h), bound
// to the library's own objects. This is the one file of the libraries that
// names them: the library's code uses the chan:: objects, so an application
// defining a global of one of these names takes the place of the exported
// symbol without the library ever reading it.
#include "hacore/channel_state.h"

#include "channel/channel_internal.h"

int& which = chan::identity;
int& s = chan::sock;

struct sockaddr_in& adr_ha = chan::ha.adr;
int& len_ha = chan::ha.len;
struct sockaddr_in& adr_ha_assoc = chan::haAssoc.adr;
int& len_ha_assoc = chan::haAssoc.len;
struct sockaddr_in& adr_rsc = chan::rsc.adr;
int& len_rsc = chan::rsc.len;
struct sockaddr_in& adr_ozw = chan::ozw.adr;
int& len_ozw = chan::ozw.len;
struct sockaddr_in& adr_zigbee = chan::zigbee.adr;
int& len_zigbee = chan::zigbee.len;
struct sockaddr_in& adr_hue = chan::hue.adr;
int& len_hue = chan::hue.len;
struct sockaddr_in& adr_nest = chan::nest.adr;
int& len_nest = chan::nest.len;
struct sockaddr_in& adr_mesh = chan::mesh.adr;
int& len_mesh = chan::mesh.len;
struct sockaddr_in& adr_picdriver = chan::picdriver.adr;
int& len_picdriver = chan::picdriver.len;
struct sockaddr_in& adr_end = chan::end.adr;
int& len_end = chan::end.len;
struct sockaddr_in& adr_cloud = chan::cloud.adr;
int& len_cloud = chan::cloud.len;
struct sockaddr_in& adr_rulesEngine = chan::rulesEngine.adr;
int& len_rulesEngine = chan::rulesEngine.len;
struct sockaddr_in& adr_runRule = chan::runRule.adr;
int& len_runRule = chan::runRule.len;
struct sockaddr_in& adr_free1 = chan::free1.adr;
int& len_free1 = chan::free1.len;
struct sockaddr_in& adr_free2 = chan::free2.adr;
int& len_free2 = chan::free2.len;
struct sockaddr_in& adr_web = chan::web.adr;
int& len_web = chan::web.len;

pthread_t& receiver_thread = chan::receiverThread;

SetDataPacket& set_data = chan::setData;
OZWPacket& OZWSendingPacket = chan::ozwPacket;
ZigbeePacket& ZigbeeSendingPacket = chan::zigbeePacket;
HuePacket& HUESendingPacket = chan::huePacket;
NestPacket& NESTSendingPacket = chan::nestPacket;
