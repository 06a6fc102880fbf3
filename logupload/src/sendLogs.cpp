#include "logupload/sendLogs.h"

#include <curl/curl.h>
#include <dirent.h>
#include <resolv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

const char kVersionFile[] = "/etc_ro/lighttpd/www/version";
const char kCaBundle[] = "/halvix/cacert.pem";
const char kSupportUrl[] = "https://support.halvix.net:1027/send_log";

// Outside text as one single-quoted shell word.
std::string quoted(const char* text) {
    std::string out = "'";
    for (const char* p = text; *p; ++p) {
        if (*p == '\'')
            out += "'\\''";
        else
            out += *p;
    }
    return out + "'";
}

// The router identity: up to 49 bytes of the file, its first line.
void readIdentity(const char* path, char* out /* 50 */) {
    FILE* f = fopen(path, "r");
    if (!f) {
        printf("ID File could not be opened.\n");
        strcpy(out, "NOTFOUND");
        return;
    }
    size_t n = fread(out, 1, 49, f);
    out[n] = 0;
    fclose(f);
    out[strcspn(out, "\r\n")] = 0;
}

// What the snapshot collects, each through the shell; a missing source only
// leaves its log out.
const char* const kCollect[] = {
    "cp /etc_ro/lighttpd/www/version /tmp/version.log",
    "cp /tmp/NotifyUsers.xml /tmp/NotifyUsers.log",
    "cp /tmp/RX_TX /tmp/RX_TX.log",
    "cp /tmp/ddb /tmp/ddb.log",
    "cp /tmp/cdb /tmp/cdb.log",
    "cp /tmp/mdb /tmp/mdb.log",
    "cp /tmp/rdb /tmp/rdb.log",
    "cp /tmp/sdb /tmp/sdb.log",
    "cp /tmp/NJdata /tmp/NJdata.log",
    "cp /tmp/Authcode /tmp/Authcode.log",
    "cp /tmp/autoip.json  /tmp/autoip.log",
    "ifconfig > /tmp/ifconfig.log",
    "iwconfig >  /tmp/iwconfig.log",
    "cp /etc/resolv.conf /tmp/resolv.conf.log",
    "ralink_init show 2860 | grep -iv 'wpapsk\\|pass\\|key\\|user\\|pin' > /tmp/2860.log",
    "ralink_init show rtdev | grep -iv 'wpapsk\\|pass\\|key\\|user\\|pin' > /tmp/rtdev.log",
    "ps -AF >/tmp/ps.log",
    "uptime >> /tmp/ps.log",
    "crontab -l >> /tmp/ps.log",
    "top -b -n 1 >/tmp/top.log",
    "cat /proc/meminfo >/tmp/meminfo.log",
    "arp -i br0 > /tmp/arp.log",
    "iwpriv ra0 show stainfo",
    "logread > /tmp/logread.log",
    "dmesg -s 131072 > /tmp/dmesg.log",
    "cp /tmp/zwcfg_home.xml /tmp/zwcfg_home.log",
    " (echo ------nat------;iptables -t nat -nvxL;echo ------filter------;iptables -t filter -nvxL;"
    "echo ----mangle--- ;iptables -t mangle -nvxL) > /tmp/iptables.log",
    "/halvix/decodedb 8 /tmp/apdb | grep -v SecurityPin > /tmp/apdb.log",
};

const char* const kCollected[] = {
    "Id_mac",   "version", "ps",          "top",        "meminfo", "ifconfig", "iwconfig", "arp",  "resolv.conf",
    "2860",     "rtdev",   "RX_TX",       "ddb",        "cdb",     "mdb",      "rdb",      "sdb",  "autoip",
    "Authcode", "NJdata",  "NotifyUsers", "zwcfg_home", "dmesg",   "logread",  "iptables", "apdb",
};

}  // namespace

unsigned long long getMac() {
    FILE* p = popen("hexdump -C /dev/mtd3 -s 4 -n 6 -e '16/1 \"%.2x\" \"\\n\"' | sed -n 2p ", "r");
    if (!p) {
        printf("Failed to run command");
        return 0;
    }
    char line[180] = {0};
    if (!fgets(line, sizeof line, p)) line[0] = 0;
    pclose(p);
    unsigned long long mac = 0;
    if (line[0] == 0 || sscanf(line, "%llx", &mac) != 1) {
        printf("output empty no mac");
        return 0;
    }
    return mac;
}

size_t read_data(void* data, unsigned size, unsigned count, void* user) {
    size_t total = (size_t)size * count;
    // The reply is not terminated: judge a terminated copy.
    std::string text(static_cast<const char*>(data), total);
    printf("Inside read_data \n%s\nreturning...", text.c_str());
    auto has = [&](const char* what) { return text.find(what) != std::string::npos; };
    if (has("Error Uploading")) return (size_t)-1;
    if (has("Invalid ")) return (size_t)-2;
    if (has("Internal Error")) return (size_t)-3;
    if (has("Error ")) return (size_t)-4;
    return total;
}

// Only async-signal-safe calls in a handler: exit() would run the atexit
// handlers and flush stdio from whatever the signal interrupted (a lock
// held inside malloc or libcrypto: a hang).
void on_terminate(int) { _exit(0); }

SendLogs::SendLogs() {
    memset(snapshotDir, 0, sizeof snapshotDir);
    memset(archivePath, 0, sizeof archivePath);
    memset(message, 0, sizeof message);
    snprintf(mac, sizeof mac, "%llu", getMac());
}

SendLogs::~SendLogs() {}

void SendLogs::setMessage(char* text) {
    char location[181] = {0};
    FILE* p = popen("nvram_get 2860 HalvixLocation", "r");
    if (p) {
        if (!fgets(location, sizeof location - 1, p)) location[0] = 0;
        pclose(p);
    }
    size_t n = strlen(location);
    if (n > 0 && location[n - 1] == '\n') location[n - 1] = 0;

    char version[41] = {0};
    FILE* f = fopen(kVersionFile, "rb");
    if (f) {
        fseek(f, 0, SEEK_END);
        long size = ftell(f);
        fseek(f, 0, SEEK_SET);
        size_t got = fread(version, 1, 40, f);
        fclose(f);
        // Cut at the smaller of size - 1 and 39, never outside what was read.
        long cut = size - 1 < 39 ? size - 1 : 39;
        if (cut < 0) cut = 0;
        if ((size_t)cut > got) cut = (long)got;
        version[cut] = 0;
    }
    snprintf(message, sizeof message, "%s--%s--%s", version, location, text ? text : "");
}

char* SendLogs::getMessage() { return message; }

char* SendLogs::getFileName() {
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    char name[64];
    snprintf(name, sizeof name, "Halvix3Logs.%d%d%d%d%d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
             t.tm_min);
    snprintf(snapshotDir, sizeof snapshotDir, "/tmp/%s", name);

    char id[50];
    readIdentity("/ID", id);
    printf("Halvix MAC=%s \n,HalvixID=%s\n", mac, id);
    std::string cmd = "echo " + quoted(mac) + "," + quoted(id) + " >/tmp/Id_mac.log";
    system(cmd.c_str());

    for (const char* c : kCollect) system(c);

    mkdir(snapshotDir, 0775);
    cmd = "cp /tmp/*.log " + quoted(snapshotDir) + "/";
    system(cmd.c_str());
    cmd = "tar -cf " + quoted((std::string(snapshotDir) + ".tar.gz").c_str()) + " " + quoted(snapshotDir);
    system(cmd.c_str());

    for (const char* n : kCollected) {
        char path[64];
        snprintf(path, sizeof path, "/tmp/%s.log", n);
        unlink(path);
    }
    return snapshotDir;
}

bool SendLogs::sendLogs(char* archive) {
    curl_global_init(CURL_GLOBAL_ALL);
    char id[50];
    readIdentity("../ID", id);

    bool ok = false;
    CURL* curl = curl_easy_init();
    res_init();
    if (curl) {
        curl_mime* form = curl_mime_init(curl);
        curl_mimepart* part = curl_mime_addpart(form);
        curl_mime_name(part, "log_file");
        curl_mime_filedata(part, archive);
        const char* fields[][2] = {{"HalvixMAC", mac}, {"HalvixID", id}, {"Message", message}, {"submit", "Upload"}};
        for (auto& f : fields) {
            part = curl_mime_addpart(form);
            curl_mime_name(part, f[0]);
            curl_mime_data(part, f[1], CURL_ZERO_TERMINATED);
        }
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_CAINFO, kCaBundle);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, read_data);
        curl_easy_setopt(curl, CURLOPT_URL, kSupportUrl);
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
        CURLcode rc = curl_easy_perform(curl);
        if (rc != CURLE_OK) {
            fprintf(stderr, "curl_easy_perform() failed: %s\n", curl_easy_strerror(rc));
        } else {
            long status = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            printf("HTTP response code:%ld \n", status);
            if (status != 200)
                fprintf(stderr, "HTTP request failed: %ld\n", status);
            else
                ok = true;
        }
        curl_easy_cleanup(curl);
        curl_mime_free(form);
    }
    curl_global_cleanup();
    return ok;
}

int SendLogs::mainSendLogs() {
    char* dir = getFileName();
    snprintf(archivePath, sizeof archivePath, "%s.tar.gz", dir);
    bool ok = sendLogs(archivePath);
    remove_directory(dir);
    unlink(archivePath);
    return ok ? 1 : 0;
}

int SendLogs::mainSendLogs(int object) {
    SendLogs* self = reinterpret_cast<SendLogs*>((uintptr_t)(unsigned)object);
    return self->mainSendLogs();
}

int SendLogs::remove_directory(const char* path) {
    DIR* d = opendir(path);
    if (!d) return -1;
    int r = 0;
    struct dirent* e;
    while (r == 0 && (e = readdir(d)) != nullptr) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        std::string child = std::string(path) + "/" + e->d_name;
        struct stat st;
        // lstat: a link inside the tree is removed, never followed.
        if (lstat(child.c_str(), &st) != 0) {
            r = -1;
            break;
        }
        if (S_ISDIR(st.st_mode))
            r = remove_directory(child.c_str());
        else
            r = unlink(child.c_str());
    }
    closedir(d);
    if (r != 0) return r;
    return rmdir(path);
}
