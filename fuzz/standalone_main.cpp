// Runs a fuzz target once over every file named, and over every file of
// every directory named (in name order), without libFuzzer: the driver of
// the coverage build (fuzz/run.sh coverage).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool runFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        perror(path.c_str());
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) data.insert(data.end(), buf, buf + n);
    fclose(f);
    // Exactly the input's bytes, as libFuzzer hands them over.
    data.shrink_to_fit();
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    int files = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) != 0) {
            perror(argv[i]);
            ok = false;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            ok = runFile(argv[i]) && ok;
            ++files;
            continue;
        }
        std::vector<std::string> names;
        if (DIR* d = opendir(argv[i])) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            ok = runFile(std::string(argv[i]) + "/" + n) && ok;
            ++files;
        }
    }
    fprintf(stderr, "ran %d inputs\n", files);
    return ok ? 0 : 1;
}
