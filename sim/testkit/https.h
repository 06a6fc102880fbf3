// Test helpers for the firmware and support hosts of the virtual router
// (sim/tools/https-peers): their files and switches, what they received.
#pragma once
#include <string>
#include <vector>

namespace testkit {

// Puts a file on the firmware host: GET /<path> answers it.
void putFirmwareFile(const std::string& path, const std::string& data);
void removeFirmwareFile(const std::string& path);
// "good", "other-ca" (right names, another CA) or "other-name" (our CA,
// another host name); for every following connection to both hosts.
void setCertMode(const std::string& mode);
// How the support host answers an upload.
void setSupportReply(int status, const std::string& text);

struct FormField {
    std::string name;
    std::string filename;
    std::string data;
};
// Every upload the support host received, in order, each its form fields in
// the order they came.
std::vector<std::vector<FormField>> uploads();
// Removes what the support host kept.
void clearUploads();
// Lines "host method path status" of the requests the hosts answered.
std::vector<std::string> httpsRequests();

// Waits until the file exists (the hosts' holding-<name> markers, a tool's
// record, ...); false if the time runs out.
bool waitForFile(const std::string& path, int timeoutMs = 60000);

// Runs argv directly (no shell) and returns its standard output.
std::string runArgv(const std::vector<std::string>& argv);

}  // namespace testkit
