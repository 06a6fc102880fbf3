// sim-nvram: the settings of the nvram stand-in from the shell.
//   sim-nvram seed                       lays down the defaults if missing
//   sim-nvram get [2860|rtdev] NAME      prints the value and a new line
//   sim-nvram set [2860|rtdev] NAME VALUE
//   sim-nvram show [2860|rtdev]          prints every setting
//   sim-nvram zone                       makes "TZ" the zone of the processes
//                                        started from now on (zone.h), as the
//                                        router's system does at boot
// The router's nvram_get and nvram_set tools (sim/tools) call it; each call
// is recorded in /sim/state/log/nvram as "nvram_get 2860 NAME" or
// "nvram_set 2860 NAME=VALUE".
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "nvram_file.h"
#include "defaults.h"

namespace {

void record(const std::string& line) {
    FILE* f = fopen("/sim/state/log/nvram", "a");
    if (!f) return;
    fprintf(f, "%s\n", line.c_str());
    fclose(f);
}

template <size_t N>
void seed(int section, const simnvram::Default (&defaults)[N]) {
    struct stat st;
    if (stat(simnvram::path(section).c_str(), &st) == 0) return;
    simnvram::Settings all;
    for (const auto& d : defaults) all.emplace_back(d.name, d.value);
    simnvram::setAll(section, all);
    simnvram::commit(section);
}

int usage() {
    fprintf(stderr,
            "usage: sim-nvram seed | get [2860|rtdev] NAME | set [2860|rtdev] NAME VALUE | show [2860|rtdev] | "
            "zone\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string cmd = argv[1];
    mkdir(simnvram::kDir, 0755);
    if (cmd == "seed") {
        seed(1, simnvram::kMain);
        seed(2, simnvram::kRtdev);
        return 0;
    }
    if (cmd == "zone" && argc == 2) {
        simnvram::Lock lock(true);
        std::string tz;
        for (const auto& kv : simnvram::loadUnlocked(1))
            if (kv.first == "TZ") tz = kv.second;
        simzone::Zone z;
        std::string why;
        std::string rule = simzone::ruleFor(tz, &z, &why);
        if (!why.empty())
            fprintf(stderr, "sim-nvram: TZ \"%s\": %s, the zone is %s\n", tz.c_str(), why.c_str(), rule.c_str());
        if (!simzone::apply(tz)) {
            perror(simzone::kFile);
            return 1;
        }
        return 0;
    }
    // An optional section comes first; without one the main section is meant.
    int section = 1;
    int arg = 2;
    if (argc > arg && simnvram::sectionOf(argv[arg])) section = simnvram::sectionOf(argv[arg++]);
    const char* sname = simnvram::sectionName(section);
    if (cmd == "show") {
        for (const auto& kv : simnvram::load(section)) printf("%s=%s\n", kv.first.c_str(), kv.second.c_str());
        return 0;
    }
    if (cmd == "get" && argc == arg + 1) {
        record(std::string("nvram_get ") + sname + " " + argv[arg]);
        std::string value;
        simnvram::get(section, argv[arg], &value);
        printf("%s\n", value.c_str());
        return 0;
    }
    if (cmd == "set" && argc == arg + 2) {
        std::string value = argv[arg + 1];
        if (strlen(argv[arg]) >= 1024 || value.size() >= 1024) {
            fprintf(stderr, "nvram_set: name or value too long\n");
            return 1;
        }
        record(std::string("nvram_set ") + sname + " " + argv[arg] + "=" + value);
        return simnvram::set(section, argv[arg], value) ? 0 : 1;
    }
    return usage();
}
