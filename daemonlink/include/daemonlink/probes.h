/**
 * @file
 * Network probes: ICMP echo, a small DNS resolver of its own and an
 * Internet check (resolve, connect to port 80, one HTTP exchange), with a
 * process-wide switch to the PPP fallback link "ppp0".
 *
 * All state is process-wide and unguarded: run probes from one thread at a
 * time.
 */
#ifndef DAEMONLINK_PROBES_H
#define DAEMONLINK_PROBES_H

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Raw ICMP socket; 0 when not open.
extern int pingSock;
/// Microseconds one echo probe waits for its reply (100000 at load).
extern int timeLimit;
/// The two resolvers, dotted text (get_dns_servers()).
extern char dns_servers[2][50];
/// The resolver list, "/etc/resolv.conf".
extern char rconf[100];
/// Socket of the query in progress.
extern int dns_fd;
/// Socket of the Internet check in progress; -1 when none.
extern int sockfd;
/// Fallback mode is on; resolver and Internet-check sockets go through "ppp0".
extern bool fallback;
/// Set and cleared together with ::fallback.
extern bool use_ppp;

/// Resolver output: A records as dotted text in 16-byte slots from the start,
/// the number of slots written in the byte at #DNS_OUT_COUNT. At most
/// #DNS_OUT_SLOTS slots are written, so the buffer needs #DNS_OUT_COUNT + 1
/// bytes (callers use 1024).
#define DNS_OUT_SLOT 16
/// Offset of the slot count in the resolver output.
#define DNS_OUT_COUNT 256
/// Most slots the resolver writes.
#define DNS_OUT_SLOTS (DNS_OUT_COUNT / DNS_OUT_SLOT)

/// Opens the raw ICMP socket ::pingSock (closing an open one first); 0, or -1
/// on failure (reported with perror; raw sockets need privileges).
int pingIPinit();
/// Closes ::pingSock, if open.
void pingIPfini();
/// "destination [-I interface]": true when the destination answers (two of
/// four probes, or the fifth). Opens the ICMP socket if needed; false when it
/// cannot.
bool pingIP(const char* args);

/// Fills ::dns_servers from the first two "nameserver" lines of ::rconf;
/// without the file, 8.8.8.8 and 8.8.4.4.
void get_dns_servers();
/// One query of type `qtype` (1 for A) for `host` at `server`, port 53,
/// waiting `timeoutSec` seconds; the answers go to `out` (see #DNS_OUT_SLOT).
/// `host` gains a trailing dot and must have room for it. Returns 0 at once
/// for an empty server; else true when an answer arrived.
int ngethostbyname(unsigned char* host, int qtype, char* out, int timeoutSec, char* server);
/// Writes `host` (which gains a trailing dot) in label form; `out` needs
/// strlen(host) + 2 bytes.
void ChangetoDnsNameFormat(unsigned char* out, unsigned char* host);
/// Sets `count` to the bytes the name at `p` occupies in the message `msg`, a
/// buffer of at most 65536 bytes like the resolver's own.
void ReadName(unsigned char* p, unsigned char* msg, int* count);

/// Binds the Internet check's socket ::sockfd to the first IPv4 address of
/// interface `name`; 0 when bound, -1 when the interface has none or the
/// bind failed. Exits the process if an address cannot be turned into text.
int check_and_bind_iface(char* name);
/// Checks the Internet through `host`: resolve it, connect to port 80 (from
/// interface `iface` when not null, else through "ppp0" in fallback mode),
/// one HTTP exchange, each step within
/// `timeoutSec` seconds. 0 passed; 1 no answer read; 2 request not written;
/// 3 no connection in time; 4 socket option refused; 5 no socket; 6 host not
/// resolved; 9 connection failed at once; -1 no such interface.
int checkInternet(char* host, int timeoutSec, char* iface);
/// checkInternet() from the default interface.
int checkInternet(char* host, int timeoutSec);

/// Turns fallback mode on (::fallback, ::use_ppp); returns 1.
int change2FallBack();
/// Turns fallback mode off.
void change2Primary();

/// Prints `len` bytes at `p` in decimal, 16 to a line, on standard output.
void hexdump(unsigned char* p, int len);

#pragma GCC visibility pop

#endif
