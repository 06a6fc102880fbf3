// The touch library: samples from the panel's driver, one request each.
#include "touch.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

namespace {

pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
int g_fd = -1;
int g_lastY;
bool g_yFresh;
void (*volatile g_handler)(void);
bool g_thread;

int device() {
    if (g_fd < 0) g_fd = open("/dev/halvix_touch", O_RDONLY);
    return g_fd;
}

TouchSample sample() {
    TouchSample s = {0, 0, 0};
    int fd = device();
    if (fd < 0 || ioctl(fd, TOUCH_IOCTL_READ, &s) != 0 || !s.down) s.x = s.y = 0;
    return s;
}

void sleepMs(long ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

void* ticker(void*) {
    for (;;) {
        // 36 ticks a second.
        sleepMs(28);
        void (*h)(void) = __atomic_load_n(&g_handler, __ATOMIC_ACQUIRE);
        if (h) h();
    }
    return nullptr;
}

}  // namespace

extern "C" int readX(void) {
    pthread_mutex_lock(&g_lock);
    TouchSample s = sample();
    g_lastY = s.y;
    g_yFresh = true;
    pthread_mutex_unlock(&g_lock);
    return s.x;
}

extern "C" int readY(void) {
    pthread_mutex_lock(&g_lock);
    int y;
    if (g_yFresh) {
        y = g_lastY;
    } else {
        y = sample().y;
    }
    g_yFresh = false;
    pthread_mutex_unlock(&g_lock);
    return y;
}

extern "C" void waitForPenUp(void) {
    for (;;) {
        pthread_mutex_lock(&g_lock);
        TouchSample s = sample();
        g_yFresh = false;
        pthread_mutex_unlock(&g_lock);
        if (!s.down || s.x <= 0 || s.y <= 0) return;
        sleepMs(1);
    }
}

extern "C" void disableTouch(int off) {
    pthread_mutex_lock(&g_lock);
    int fd = device();
    if (fd >= 0) ioctl(fd, TOUCH_IOCTL_SUSPEND, (long)(off ? 1 : 0));
    pthread_mutex_unlock(&g_lock);
}

extern "C" void setScreenLockHandler(void (*handler)(void)) {
    pthread_mutex_lock(&g_lock);
    __atomic_store_n(&g_handler, handler, __ATOMIC_RELEASE);
    if (!g_thread) {
        pthread_t t;
        if (pthread_create(&t, nullptr, ticker, nullptr) == 0) {
            pthread_detach(t);
            g_thread = true;
        }
    }
    pthread_mutex_unlock(&g_lock);
}
