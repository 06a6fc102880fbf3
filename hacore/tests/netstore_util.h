// Test helpers for the client, mesh and pro stores: records written with
// qdbm's own dpmgr tool, as another process of the router would.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "servers.h"
#include "testkit.h"

namespace nettest {

inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Puts a text record with dpmgr, creating the store first if needed.
inline void dpmgrPut(const std::string& store, const std::string& key, const std::string& value) {
    if (!testkit::fileExists(store)) testkit::run("dpmgr create -bnum 1 " + store);
    testkit::run("dpmgr put " + store + " " + quote(key) + " " + quote(value));
}

// The record's value as dpmgr prints it (no new line added), "" if missing.
inline std::string dpmgrGet(const std::string& store, const std::string& key) {
    return testkit::run("dpmgr get -n " + store + " " + quote(key) + " 2>/dev/null");
}

inline std::string dpmgrKeys(const std::string& store) {
    return testkit::run("dpmgr list -k " + store + " 2>/dev/null | sort");
}

// Each test starts without the store and with an RSC server that answers
// and has received nothing.
class RscStoreTest : public ::testing::Test {
protected:
    explicit RscStoreTest(const char* store) : store_(store) {}
    void SetUp() override {
        testkit::removeFile(store_);
        testkit::setRscMode("");
        testkit::clearReceived("rsc");
    }
    // The one request the RSC server received since SetUp or the last call.
    std::string lastRequest() {
        std::vector<std::string> got = testkit::received("rsc");
        testkit::clearReceived("rsc");
        EXPECT_EQ(got.size(), 1u);
        return got.empty() ? std::string() : got.back();
    }

private:
    const char* store_;
};

}  // namespace nettest
