// Weather readings: the current-conditions file of the demo home and of
// the tests, the JSON members missing, of the wrong type or too long,
// damaged files, the condition codes and the copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdint>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "hacore/Weather.h"
#include "testkit.h"

using namespace testkit;

namespace {

const char kFile[] = "/tmp/autoip.json";

const char kDocument[] =
    "{\"response\": {\"version\": \"0.1\"}, \"observation_interval\": 1800,\n"
    " \"conditions\": {\"city\": \"Amsterdam\", \"country\": \"NL\", \"latitude\": \"52.3676\",\n"
    "   \"longitude\": \"4.9041\", \"local_epoch\": \"1781949600\", \"local_tz_long\": \"Europe/Amsterdam\",\n"
    "   \"local_tz_offset\": \"+0200\", \"temp_f\": 64.4, \"temp_c\": \"18\", \"relative_humidity\": \"72%\",\n"
    "   \"pressure_mb\": \"1016\", \"icon\": \"nt_partlycloudy\", \"wind_mph\": 8}}";

int minutesOf(const std::string& hhmm) { return atoi(hhmm.c_str()) * 60 + atoi(hhmm.c_str() + 3); }

class WeatherTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", ":Europe/Amsterdam", 1);
        tzset();
        removeFile(kFile);
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(WeatherTest, ReadsTheCurrentConditions) {
    writeFile(kFile, kDocument);
    Weather w;
    ASSERT_EQ(w.RefreshData(), 1);
    EXPECT_EQ(w.GetTemperaturinF(), 64);
    EXPECT_EQ(w.GetTemperaturinC(), 18);
    EXPECT_EQ(w.GetRelativeHumidity(), 72);
    EXPECT_EQ(w.GetPressure(), 1016);
    EXPECT_STREQ(w.GetCity(), "Amsterdam");
    EXPECT_STREQ(w.GetCountry(), "NL");
    EXPECT_STREQ(w.GetTimeZoneName(), "Europe/Amsterdam");
    EXPECT_STREQ(w.GetTimeZoneOffset(), "+0200");
    EXPECT_STREQ(w.GetWeatherConditionAsString(), "nt_partlycloudy");
    EXPECT_EQ(w.GetWeatherConditionTypeFromSring(), 24);
    EXPECT_FLOAT_EQ(w.GetLatitude(), 52.3676f);
    EXPECT_FLOAT_EQ(w.GetLongitude(), 4.9041f);
    EXPECT_EQ(w.GetNextObservation(), 1800);
    EXPECT_EQ(w.GetLocalTime(), 1781949600);
    // 20 June 2026 in summer time; the NOAA equations
    // (tools/sun-reference.py) give 05:16 and 22:08.
    EXPECT_FLOAT_EQ(w.GetTimezone(), 2.0f);
    EXPECT_LE(std::abs(minutesOf(w.GetSunrise()) - (5 * 60 + 16)), 5) << w.GetSunrise();
    EXPECT_LE(std::abs(minutesOf(w.GetSunset()) - (22 * 60 + 8)), 5) << w.GetSunset();
    const std::string sunset = w.GetSunset();

    Weather copy(w);
    EXPECT_STREQ(copy.GetCity(), "Amsterdam");
    EXPECT_EQ(copy.GetSunset(), sunset);
    EXPECT_FLOAT_EQ(copy.GetTimezone(), 2.0f);
    EXPECT_EQ(copy.GetLocalTime(), 0);
    EXPECT_EQ(copy.GetNextObservation(), 0);

    EXPECT_EQ(w.SetSunrise((char*)"04:59"), 1);
    EXPECT_STREQ(w.GetSunrise(), "04:59");
    std::string longText(60, 's');
    EXPECT_EQ(w.SetSunset(&longText[0]), 1);
    EXPECT_EQ(std::string(w.GetSunset()), longText.substr(0, 29));
}

TEST_F(WeatherTest, TheDemoHomesDocument) {
    ASSERT_EQ(system("sim-automation >/dev/null 2>&1"), 0);
    setenv("TZ", ":America/New_York", 1);
    tzset();
    Weather w;
    ASSERT_EQ(w.RefreshData(), 1);
    EXPECT_STREQ(w.GetCity(), "New York");
    EXPECT_EQ(w.GetWeatherConditionTypeFromSring(), 31);
    EXPECT_EQ(w.GetRelativeHumidity(), 65);
    EXPECT_NEAR(std::labs((long)w.GetLocalTime() - (long)time(nullptr)), 0, 600);
    EXPECT_EQ(std::string(w.GetSunrise()).size(), 5u);
}

TEST_F(WeatherTest, FilesThatCannotBeRead) {
    Weather w;
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.RefreshData(), 0); }), "Time: File cannot be opened\n");
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.ReadDataFromFile((char*)"/tmp/none.json"), 0); }), "");
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.ReadDataFromFile(nullptr), 0); }), "");

    writeFile("/tmp/w.json", kDocument);
    ASSERT_EQ(w.ReadDataFromFile((char*)"/tmp/w.json"), 1);
    writeFile(kFile, "");
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.RefreshData(), 0); }), "File is empty\n");
    EXPECT_STREQ(w.GetCity(), "Amsterdam") << "unchanged";
    writeFile(kFile, "{\"conditions\": {\"city\": \"Par");
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.RefreshData(), 0); }),
              "invalid json  data\nUnable to set data properly.Returning null...\n");
    writeFile(kFile, std::string(100000, '[') + std::string(100000, ']'));
    EXPECT_EQ(w.RefreshData(), 0);
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.SetDownloadedData(nullptr), 0); }), "Got NULL buffer\n");
    EXPECT_STREQ(w.GetCity(), "Amsterdam");
    // A directory opens but is no document.
    EXPECT_EQ(w.ReadDataFromFile((char*)"/tmp"), 0);
}

TEST_F(WeatherTest, MissingMembersAreReportedInOrder) {
    Weather w;
    writeFile(kFile, kDocument);
    ASSERT_EQ(w.RefreshData(), 1);
    std::string doc = "{\"conditions\": {\"wind_mph\": 3}}";
    std::string out = captureStdout([&] { EXPECT_EQ(w.SetDownloadedData(&doc[0]), 1); });
    const char* lines[] = {"No next observation tag present",
                           "Doesn't have  temp_f tag",
                           "Doesn't have  temp_c tag",
                           "Doesn't have  humidity tag",
                           "Doesn't have  city tag",
                           "Doesn't have  country tag",
                           "Doesn't have  tz_offset tag",
                           "Doesn't have  name tag",
                           "Doesn't have  longitude tag",
                           "Doesn't have  latitude tag",
                           "Doesn't have  \"pressure_mb\" tag",
                           "Doesn't have  weather condition tag",
                           "Doesn't have  local_epoch tag"};
    size_t at = 0;
    for (const char* l : lines) {
        size_t found = out.find(std::string(l) + "\n", at);
        EXPECT_NE(found, std::string::npos) << l << " in\n" << out;
        if (found != std::string::npos) at = found;
    }
    EXPECT_NE(out.find("\nERROR:NO Data conditions.temp_f field found\n\n"), std::string::npos);
    // Numbers read 0, texts stay as they were.
    EXPECT_EQ(w.GetTemperaturinC(), 0);
    EXPECT_EQ(w.GetPressure(), 0);
    EXPECT_EQ(w.GetNextObservation(), 0);
    EXPECT_STREQ(w.GetCity(), "Amsterdam");
    EXPECT_STREQ(w.GetWeatherConditionAsString(), "nt_partlycloudy");

    // Without "conditions" only the next observation changes.
    ASSERT_EQ(w.RefreshData(), 1);
    const std::string sunset = w.GetSunset();
    std::string bare = "{\"observation_interval\": 900, \"current\": {\"temp_c\": 40}}";
    EXPECT_EQ(w.SetDownloadedData(&bare[0]), 1);
    EXPECT_EQ(w.GetNextObservation(), 900);
    EXPECT_EQ(w.GetTemperaturinC(), 18);
    EXPECT_EQ(w.GetSunset(), sunset);
}

TEST_F(WeatherTest, WrongTypesAndLongValuesAreCutOrEmptied) {
    Weather w;
    writeFile(kFile, kDocument);
    ASSERT_EQ(w.RefreshData(), 1);
    std::string longCity(200, 'c');
    std::string doc = "{\"observation_interval\": {\"a\": 1}, \"conditions\": {\"city\": \"" + longCity +
                      "\", \"country\": [\"N\", \"L\"], \"temp_c\": {\"v\": 5}, \"temp_f\": \"99999999999999\","
                      " \"relative_humidity\": true, \"icon\": \"" +
                      std::string(40, 'i') +
                      "\", \"local_tz_offset\": \"+020000000000\", \"latitude\": null, \"longitude\": \"abc\","
                      " \"local_tz_long\": 12, \"pressure_mb\": -3, \"local_epoch\": \"1781949600\"}}";
    ASSERT_EQ(w.SetDownloadedData(&doc[0]), 1);
    EXPECT_EQ(std::string(w.GetCity()), longCity.substr(0, 29));
    EXPECT_STREQ(w.GetCountry(), "");
    EXPECT_EQ(w.GetTemperaturinC(), 0);
    EXPECT_EQ(w.GetTemperaturinF(), 2147483647);
    EXPECT_EQ(w.GetRelativeHumidity(), 0);
    EXPECT_EQ(std::string(w.GetWeatherConditionAsString()), std::string(31, 'i'));
    EXPECT_EQ(w.GetWeatherConditionTypeFromSring(), -1);
    EXPECT_STREQ(w.GetTimeZoneOffset(), "+02000000");
    EXPECT_STREQ(w.GetTimeZoneName(), "12");
    EXPECT_EQ(w.GetPressure(), -3);
    EXPECT_EQ(w.GetLatitude(), 0.0f);
    EXPECT_EQ(w.GetNextObservation(), 0);
    // At 0°, 0° the sun rises and sets about six in the morning and evening UTC.
    EXPECT_EQ(std::string(w.GetSunrise()).size(), 5u);
}

// The condition code of a document with only this icon.
int conditionCode(const std::string& icon) {
    std::string doc = "{\"conditions\": {\"icon\": \"" + icon + "\"}}";
    Weather w;
    captureStdout([&] { w.SetDownloadedData(&doc[0]); });
    return w.GetWeatherConditionTypeFromSring();
}

TEST(WeatherCodes, EveryIcon) {
    // The codes are the places of the icon names in alphabetical order; each
    // day icon has a night one with "nt_" before it.
    std::vector<std::string> icons;
    std::istringstream day(
        "chanceflurries chancerain chancesleet chancesnow chancetstorms clear cloudy flurries fog "
        "hazy mostlycloudy mostlysunny partlycloudy partlysunny rain sleet snow sunny tstorms");
    for (std::string name; day >> name;) {
        icons.push_back(name);
        icons.push_back("nt_" + name);
    }
    std::sort(icons.begin(), icons.end());
    ASSERT_EQ(icons.size(), 38u);
    EXPECT_EQ(icons[5], "clear");
    EXPECT_EQ(icons[24], "nt_partlycloudy");
    for (int code = 0; code < 38; ++code) EXPECT_EQ(conditionCode(icons[code]), code) << icons[code];
    for (const char* other : {"Clear", "clear ", "", "unknown", "nt_"}) EXPECT_EQ(conditionCode(other), -1) << other;
    Weather empty;
    EXPECT_EQ(empty.GetWeatherConditionTypeFromSring(), -1);
    EXPECT_STREQ(empty.GetCity(), "");
    EXPECT_EQ(empty.GetTemperaturinC(), 0);
}

TEST_F(WeatherTest, FarOffPlacesAndDaysAndOddDocuments) {
    Weather w;
    // Longitudes far beyond the globe leave more days than one correction
    // takes away: no sun time then.
    EXPECT_EQ(w.CalSunriseSunset(2026, 6, 20, 52.0f, -3000.0f, 0), 0.0f);
    EXPECT_EQ(w.CalSunriseSunset(2026, 6, 20, 52.0f, 3000.0f, 1), 0.0f);
    // Within a few days' worth the time is brought back into the day.
    float r = w.CalSunriseSunset(2026, 6, 20, 52.0f, -700.0f, 0);
    EXPECT_GE(r, 0.0f);
    EXPECT_LE(r, 24.0f);
    r = w.CalSunriseSunset(2026, 6, 20, 52.0f, 700.0f, 1);
    EXPECT_GE(r, 0.0f);
    EXPECT_LE(r, 24.0f);
    // A day long before the year's first: the sun's longitude wraps.
    r = w.CalSunriseSunset(2026, 1, -400, 52.0f, 4.9f, 0);
    EXPECT_GE(r, 0.0f);
    EXPECT_LE(r, 24.0f);

    std::string doc = "{\"conditions\": 5, \"observation_interval\": 60}";
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(w.SetDownloadedData(&doc[0]), 1); }), "Doesn't have  conditions tag\n");
    EXPECT_EQ(w.GetNextObservation(), 60);
    doc = "{\"conditions\": {\"temp_c\": \"-99999999999999\"}}";
    captureStdout([&] { EXPECT_EQ(w.SetDownloadedData(&doc[0]), 1); });
    EXPECT_EQ(w.GetTemperaturinC(), INT32_MIN);
}

// A pipe cannot be measured: refused like a file too large.
TEST_F(WeatherTest, APipeIsRefused) {
    const char kFifo[] = "/tmp/weather.fifo";
    removeFile(kFifo);
    ASSERT_EQ(mkfifo(kFifo, 0600), 0);
    std::thread writer([&] {
        int fd = open(kFifo, O_WRONLY);
        if (fd >= 0) close(fd);
    });
    Weather w;
    std::string out = captureStdout([&] { EXPECT_EQ(w.ReadDataFromFile((char*)kFifo), 0); });
    writer.join();
    EXPECT_EQ(out, "File is too large\n");
    removeFile(kFifo);
}

// Short of memory for the document (4 MB, made outside this process so that
// its heap holds no such block already): not loaded.
TEST_F(WeatherTest, NoMemoryForTheDocument) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's allocator does not keep to an address-space limit";
#endif
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer's allocator ends the process when the address space runs out";
#endif
#ifdef __mips__
    GTEST_SKIP() << "a death test that starts the binary anew cannot exec it under qemu-mipsel";
#endif
    writeFile("/tmp/w.json", kDocument);
    run("truncate -s 4194304 /tmp/w.json");
    ASSERT_EQ(run("stat -c %s /tmp/w.json"), "4194304\n");
    // A fresh process: blocks the earlier tests freed would serve the document.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            struct rlimit saved;
            getrlimit(RLIMIT_AS, &saved);
            struct rlimit low = saved;
            long pages = 0;
            FILE* f = fopen("/proc/self/statm", "r");
            if (!f || fscanf(f, "%ld", &pages) != 1) exit(2);
            fclose(f);
            Weather w;
            low.rlim_cur = (rlim_t)pages * sysconf(_SC_PAGESIZE) + (1u << 20);
            setrlimit(RLIMIT_AS, &low);
            int result = w.ReadDataFromFile((char*)"/tmp/w.json");
            setrlimit(RLIMIT_AS, &saved);
            exit(result == 0 && w.GetCity()[0] == '\0' ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
