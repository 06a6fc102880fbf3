// Network probes: ICMP echo, a small DNS resolver of its own and an
// Internet check (resolve, connect to port 80, one HTTP exchange), with a
// process-wide switch to the PPP fallback link "ppp0".
//
// All state is process-wide and unguarded: run probes from one thread at a
// time.
#ifndef DAEMONLINK_PROBES_H
#define DAEMONLINK_PROBES_H

// Raw ICMP socket; 0 when not open.
extern int pingSock;
// Microseconds one echo probe waits for its reply (100000 at load).
extern int timeLimit;
// The two resolvers, dotted text.
extern char dns_servers[2][50];
// The resolver list, "/etc/resolv.conf".
extern char rconf[100];
// Socket of the query in progress.
extern int dns_fd;
// Socket of the Internet check in progress; -1 when none.
extern int sockfd;
// Fallback mode is on; resolver and Internet-check sockets go through "ppp0".
extern bool fallback;
extern bool use_ppp;

// Resolver output: A records as dotted text in 16-byte slots from the start,
// the number of slots written in the byte at DNS_OUT_COUNT. At most
// DNS_OUT_SLOTS slots are written, so the buffer needs DNS_OUT_COUNT + 1
// bytes (callers use 1024).
#define DNS_OUT_SLOT 16
#define DNS_OUT_COUNT 256
#define DNS_OUT_SLOTS (DNS_OUT_COUNT / DNS_OUT_SLOT)

int pingIPinit();
void pingIPfini();
// "destination [-I interface]": true when the destination answers (two of
// four probes, or the fifth).
bool pingIP(const char* args);

void get_dns_servers();
// One A query (qtype) for host at server, port 53, waiting timeoutSec
// seconds. host gains a trailing dot and must have room for it. Returns 0
// at once for an empty server; else true when an answer arrived.
int ngethostbyname(unsigned char* host, int qtype, char* out, int timeoutSec, char* server);
// Writes host (which gains a trailing dot) in label form; out needs
// strlen(host) + 2 bytes.
void ChangetoDnsNameFormat(unsigned char* out, unsigned char* host);
// Sets count to the bytes the name at p occupies in the message msg, a
// buffer of at most 65536 bytes like the resolver's own.
void ReadName(unsigned char* p, unsigned char* msg, int* count);

int check_and_bind_iface(char* name);
// 0 passed; 1 no answer read; 2 request not written; 3 no connection in
// time; 4 socket option refused; 5 no socket; 6 host not resolved; 9
// connection failed at once; -1 no such interface.
int checkInternet(char* host, int timeoutSec, char* iface);
int checkInternet(char* host, int timeoutSec);

int change2FallBack();
void change2Primary();

void hexdump(unsigned char* p, int len);

#endif
