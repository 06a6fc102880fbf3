// The resolver's reading of DNS replies, bounded by the received length.
#pragma once

// Hidden: nothing of it is the library's interface.
#pragma GCC visibility push(hidden)
namespace dnsparse {

// Bytes the name at msg[pos] occupies there (compression pointers count 2),
// walking at most 255 name bytes; pointers must point backwards, inside the
// message. -1 when the name is malformed; *walked (if given) then holds the
// bytes of the name at pos that were inside the message.
int nameLength(const unsigned char* msg, int len, int pos, int* walked = nullptr);

// Walks the answer records of a reply of len bytes to a query whose name took
// qnameLen bytes, stepping over each record's RDLENGTH bytes of data: A
// records with 4 bytes of data go to out as dotted text (at most
// DNS_OUT_SLOTS, the count bumped at out[DNS_OUT_COUNT]); the first 4 bytes
// of out are zeroed first. Stops at the first record that does not fit the
// message.
// Returns the number of A records written.
int parseAnswers(const unsigned char* msg, int len, int qnameLen, char* out);

}  // namespace dnsparse
#pragma GCC visibility pop
