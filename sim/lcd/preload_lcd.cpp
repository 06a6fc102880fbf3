// The LCD driver /dev/halvix_lcd: renders every request on the virtual LCD's
// frame buffers (sim/lcd/fb.h), shared with the rest of the run through
// /sim/state/lcd.fb. Text goes to the host text renderer /sim/bin/lcd-text
// (FreeType), one per process, so both ABIs draw the same glyphs.
//
// Every request is recorded to /sim/state/log/lcd, one line each:
//   "<request> <record bytes in hex>" for requests with a record (text
//   requests add " text=<UTF-8>"), "<request> value=<n>" for requests
//   with a value, "<request>" for those with none; " failed" is appended
//   when the request is refused.
// Fault switches: "halvix_lcd-ioctl" fails every request with EIO,
// "halvix_lcd-ioctl-N" request N only.
//
// Buffers (decisions.md): four off-screen buffers 0-3 beside the visible
// screen; drawing always goes to the screen.
//   25 loadBuffer(n)      screen -> buffer n, n becomes current
//   28 copyBuffer         buffer `from` -> buffer `to` ({to, from})
//   29 drawFromBuffer(n)  buffer n -> screen, n becomes current
//   26 shiftScreen(dx)    screen = current buffer moved dx pixels right,
//                         the gap filled from the neighbour (current-1
//                         for dx > 0, current+1 for dx < 0; black if none)
//   27 centerCurrentBuffer  screen = current buffer, unmoved
//   30 getCurentBuffer    writes the current buffer's number
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "fb.h"
#include "move_all.h"
#include "proto.h"
#include "raster.h"
#include "lcddraw/LcdRecords.h"
#include "sim.h"

using namespace simlcd;

namespace {

// Recursive: the text renderer is started (fork) with it held, and the fork
// handlers take it too.
pthread_mutex_t g_lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
Fb g_fb;
bool g_mapped;
int g_textFd = -1;
pid_t g_textOwner;

bool fault(unsigned long request) {
    char name[64];
    snprintf(name, sizeof name, "halvix_lcd-ioctl-%lu", request);
    return sim_fault("halvix_lcd-ioctl") || sim_fault(name);
}

// Size of the record a request carries; 0 for a value, -1 for nothing,
// -2 unknown.
long recordSize(unsigned long req) {
    switch (req) {
        case LCD_DRAW_PIXEL:
        case LCD_DRAW_LINE:
        case LCD_DRAW_RECT:
        case LCD_DRAW_CIRCLE:
        case LCD_FILL_RECT:
        case LCD_FILL_CIRCLE:
        case LCD_DRAW_LINE_AA:
        case LCD_ROUNDED_RECT:
        case LCD_TRANSPARENT_RECT:
        case LCD_SET_ALPHA:
            return 24;
        case LCD_DRAW_PICTURE565:
            return sizeof(LcdImage565);
        case LCD_DRAW_PICTURE:
            return sizeof(LcdImageRgb);
        case LCD_DRAW_TEXT:
        case LCD_TEXT_WIDTH:
        case LCD_TEXT_POSITION:
            return sizeof(LcdText);
        case LCD_COPY_BUFFER:
            return sizeof(LcdScreen);
        case LCD_GET_BUFFER:
            return 4;
        case LCD_CLEAR:
        case LCD_FADE:
        case LCD_DRAW_MODAL:
        case LCD_LOAD_BUFFER:
        case LCD_SHIFT_SCREEN:
        case LCD_CENTER_BUFFER:
        case LCD_DRAW_FROM_BUFFER:
        case LCD_ALPHA_ON:
        case LCD_ALPHA_OFF:
            return 0;
        case LCD_TURN_ON:
        case LCD_TURN_OFF:
            return -1;
        default:
            return -2;
    }
}

void appendUtf8(std::string& s, uint32_t c) {
    if (c < 0x80) {
        s += (char)c;
    } else if (c < 0x800) {
        s += (char)(0xC0 | (c >> 6));
        s += (char)(0x80 | (c & 63));
    } else if (c < 0x10000) {
        s += (char)(0xE0 | (c >> 12));
        s += (char)(0x80 | ((c >> 6) & 63));
        s += (char)(0x80 | (c & 63));
    } else {
        s += (char)(0xF0 | ((c >> 18) & 7));
        s += (char)(0x80 | ((c >> 12) & 63));
        s += (char)(0x80 | ((c >> 6) & 63));
        s += (char)(0x80 | (c & 63));
    }
}

// The characters of a text record, up to the terminator.
int textChars(const LcdText* t, uint32_t* out) {
    int n = 0;
    if (!t->text) return 0;
    const uint32_t* s = reinterpret_cast<const uint32_t*>(t->text);
    while (n < kMaxChars && s[n]) {
        out[n] = s[n];
        ++n;
    }
    return n;
}

void describe(std::string& line, unsigned long req, void* arg, long size, const uint32_t* chars, int count) {
    char buf[32];
    snprintf(buf, sizeof buf, "%lu", req);
    line = buf;
    if (size == 0) {
        snprintf(buf, sizeof buf, " value=%d", (int)(intptr_t)arg);
        line += buf;
    } else if (size > 0 && arg && req != LCD_GET_BUFFER) {
        line += ' ';
        const uint8_t* b = static_cast<const uint8_t*>(arg);
        for (long i = 0; i < size; ++i) {
            snprintf(buf, sizeof buf, "%02x", b[i]);
            line += buf;
        }
        if (chars) {
            line += " text=";
            for (int i = 0; i < count; ++i) appendUtf8(line, chars[i]);
        }
    }
}

bool sendAll(int fd, const void* p, size_t n) {
    return moveAll(static_cast<const char*>(p), n,
                   [fd](const char* c, size_t k) { return send(fd, c, k, MSG_NOSIGNAL); });
}

bool recvAll(int fd, void* p, size_t n) {
    return moveAll(static_cast<char*>(p), n, [fd](char* c, size_t k) { return recv(fd, c, k, 0); });
}

// The text renderer of this process, started on first use (again in a
// forked child). Started through a short-lived shell that leaves it in the
// background, so that it is never a child the application might wait for;
// spawned, not forked: a fork here, under the request lock, would run the
// other stand-ins' fork handlers in the opposite order to a fork elsewhere.
int textChannel() {
    if (g_textFd >= 0 && g_textOwner == getpid()) return g_textFd;
    if (g_textFd >= 0) close(g_textFd);  // inherited from the parent
    g_textFd = -1;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sv[1], 3);
    char sh[] = "sh", dashC[] = "-c", script[] = "\"$0\" <&3 >&3 3>&- &";
    char* argv[] = {sh, dashC, script, const_cast<char*>(kTextRenderer), nullptr};
    pid_t mid = -1;
    if (posix_spawn(&mid, "/bin/sh", &actions, nullptr, argv, environ) != 0) mid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(sv[1]);
    if (mid < 0) {
        close(sv[0]);
        return -1;
    }
    while (waitpid(mid, nullptr, 0) < 0 && errno == EINTR) {
    }
    g_textFd = sv[0];
    g_textOwner = getpid();
    return g_textFd;
}

int textRequest(unsigned long req, const LcdText* t, const uint32_t* chars, int count) {
    TextMessage m;
    m.request = (int32_t)req;
    m.x = t->x;
    m.y = t->y;
    m.right = t->right;
    m.lineMode = t->lineMode;
    m.colour = t->colour;
    m.background = t->background;
    m.flagsA = t->flagsA;
    m.flagsB = t->flagsB;
    m.transparent = t->transparent;
    memcpy(&m.sizeBits, &t->fontSize, 4);
    m.count = count;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = textChannel();
        if (fd < 0) return -EIO;
        int32_t result;
        if (sendAll(fd, &m, sizeof m) && sendAll(fd, chars, (size_t)count * 4) && recvAll(fd, &result, sizeof result))
            return result;
        close(g_textFd);  // the renderer went away: start another
        g_textFd = -1;
    }
    return -EIO;
}

int16_t s16(uint32_t v) { return (int16_t)(uint16_t)v; }

// The shape requests, their coordinates cut to 16 bits; false for any other.
bool drawShape(Canvas& c, unsigned long req, const void* arg) {
    switch (req) {
        case LCD_DRAW_PIXEL:
        case LCD_DRAW_LINE:
        case LCD_DRAW_LINE_AA:
        case LCD_DRAW_RECT:
        case LCD_FILL_RECT:
        case LCD_DRAW_CIRCLE:
        case LCD_FILL_CIRCLE:
            break;
        default:
            return false;
    }
    const LcdShape* s = static_cast<const LcdShape*>(arg);
    int x0 = s16(s->x0), y0 = s16(s->y0), x1 = s16(s->x1), y1 = s16(s->y1), r = s16(s->radius);
    uint16_t colour = (uint16_t)s->colour;
    if (req == LCD_DRAW_PIXEL) c.pixel(x0, y0, colour);
    if (req == LCD_DRAW_LINE) c.line(x0, y0, x1, y1, colour);
    if (req == LCD_DRAW_LINE_AA) c.lineAA(x0, y0, x1, y1, colour);
    if (req == LCD_DRAW_RECT) c.rect(x0, y0, x1, y1, colour);
    if (req == LCD_FILL_RECT) c.fillRect(x0, y0, x1, y1, colour);
    if (req == LCD_DRAW_CIRCLE) c.circle(x0, y0, r, colour);
    if (req == LCD_FILL_CIRCLE) c.fillCircle(x0, y0, r, colour);
    return true;
}

Canvas canvas() {
    Canvas c{g_fb.screen};
    if (g_fb.header->alphaEnabled) c.alpha = (int)g_fb.header->alpha;
    return c;
}

bool validBuffer(int n) { return n >= 0 && n < kBuffers; }

// Carries out a drawing or control request with the frame buffer locked.
// Returns the ioctl result, or -errno.
int apply(unsigned long req, void* arg) {
    LcdFbHeader* h = g_fb.header;
    Canvas c = canvas();
    int value = (int)(intptr_t)arg;
    switch (req) {
        case LCD_TURN_ON:
        case LCD_TURN_OFF:
            h->panel = req == LCD_TURN_ON;
            h->panelChanges++;
            return 0;
        case LCD_CLEAR:
            for (int i = 0; i < kWidth * kHeight; ++i) g_fb.screen[i] = (uint16_t)value;
            return 0;
        case LCD_FADE:
            h->fades++;
            return 0;
        case LCD_DRAW_MODAL:
            c.darken();
            h->modals++;
            return 0;
        case LCD_LOAD_BUFFER:
            if (!validBuffer(value)) return -EINVAL;
            memcpy(g_fb.buffer(value), g_fb.screen, kPlaneBytes);
            h->current = value;
            return 0;
        case LCD_DRAW_FROM_BUFFER:
            if (!validBuffer(value)) return -EINVAL;
            memcpy(g_fb.screen, g_fb.buffer(value), kPlaneBytes);
            h->current = value;
            h->shift = 0;
            return 0;
        case LCD_CENTER_BUFFER:
            memcpy(g_fb.screen, g_fb.buffer(h->current), kPlaneBytes);
            h->shift = 0;
            return 0;
        case LCD_SHIFT_SCREEN: {
            int dx = value < -kWidth ? -kWidth : (value > kWidth ? kWidth : value);
            int cur = h->current;
            int other = dx > 0 ? cur - 1 : cur + 1;
            const uint16_t* a = g_fb.buffer(cur);
            const uint16_t* b = validBuffer(other) ? g_fb.buffer(other) : nullptr;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    int sx = x - dx;
                    uint16_t p = 0;
                    if (sx >= 0 && sx < kWidth)
                        p = a[y * kWidth + sx];
                    else if (b)
                        p = b[y * kWidth + (sx < 0 ? sx + kWidth : sx - kWidth)];
                    g_fb.screen[y * kWidth + x] = p;
                }
            h->shift = dx;
            return 0;
        }
        case LCD_COPY_BUFFER: {
            const LcdScreen* s = static_cast<const LcdScreen*>(arg);
            if (!validBuffer(s->to) || !validBuffer(s->from)) return -EINVAL;
            if (s->to != s->from) memcpy(g_fb.buffer(s->to), g_fb.buffer(s->from), kPlaneBytes);
            return 0;
        }
        case LCD_GET_BUFFER:
            *static_cast<int32_t*>(arg) = h->current;
            return 0;
        case LCD_ALPHA_ON:
            h->alphaEnabled = 1;
            return 0;
        case LCD_ALPHA_OFF:
            h->alphaEnabled = 0;
            return 0;
        case LCD_SET_ALPHA: {
            int a = static_cast<const int32_t*>(arg)[4];
            h->alpha = (uint32_t)(a < 0 ? 0 : (a > 255 ? 255 : a));
            return 0;
        }
        default:
            break;
    }
    if (drawShape(c, req, arg)) return 0;
    switch (req) {
        case LCD_ROUNDED_RECT:
        case LCD_TRANSPARENT_RECT: {
            const int32_t* w = static_cast<const int32_t*>(arg);
            // Clamped to a little beyond the panel: the arguments are plain ints.
            int v[4];
            for (int i = 0; i < 4; ++i) v[i] = w[i] < -1000 ? -1000 : (w[i] > 1000 ? 1000 : w[i]);
            if (req == LCD_ROUNDED_RECT) {
                c.roundedRect(v[0], v[1], v[2], v[3], w[4] > 1000 ? 1000 : w[4], (uint16_t)w[5]);
            } else {
                int a = w[4] < 0 ? 0 : (w[4] > 255 ? 255 : w[4]);
                c.fillRect(v[0], v[1], v[2], v[3], (uint16_t)w[5], a);
            }
            break;
        }
        case LCD_DRAW_PICTURE: {
            const LcdImageRgb* im = static_cast<const LcdImageRgb*>(arg);
            if (!im->pixels) return -EFAULT;
            c.pictureRgb(im->x, im->y, im->width, im->height, im->pixels);
            break;
        }
        case LCD_DRAW_PICTURE565: {
            const LcdImage565* im = static_cast<const LcdImage565*>(arg);
            if (!im->pixels) return -EFAULT;
            c.picture565(im->x, im->y, im->width, im->height, im->pixels);
            break;
        }
        default:
            return -ENOTTY;
    }
    return 0;
}

int lcd_ioctl(int, unsigned long req, void* arg) {
    long size = recordSize(req);
    static uint32_t chars[kMaxChars];  // under g_lock
    pthread_mutex_lock(&g_lock);
    const bool text = req == LCD_DRAW_TEXT || req == LCD_TEXT_WIDTH || req == LCD_TEXT_POSITION;
    int count = 0;
    if (text && arg) count = textChars(static_cast<const LcdText*>(arg), chars);
    std::string line;
    describe(line, req, arg, size, text ? chars : nullptr, count);
    int result;
    if (size == -2) {
        result = -ENOTTY;
    } else if (size > 0 && !arg) {
        result = -EFAULT;
    } else if (fault(req)) {
        result = -EIO;
    } else if (text) {
        result = textRequest(req, static_cast<const LcdText*>(arg), chars, count);
        if (result < 0 && result != -EIO) result = -EINVAL;
    } else if (!g_mapped && !(g_mapped = fbOpen(g_fb))) {
        result = -EIO;
    } else {
        fbLock(g_fb, true);
        result = apply(req, arg);
        if (result >= 0) g_fb.header->frame++;
        fbUnlock(g_fb);
    }
    if (result < 0) line += " failed";
    sim_record("lcd", "%s", line.c_str());
    pthread_mutex_unlock(&g_lock);
    if (result < 0) {
        errno = -result;
        return -1;
    }
    return result;
}

// No fork while another thread is inside a request.
void before_fork() { pthread_mutex_lock(&g_lock); }
void after_fork_parent() { pthread_mutex_unlock(&g_lock); }
// The child's one thread has another id than the owner the mutex records,
// so it cannot unlock it: it starts with a fresh one.
void after_fork_child() {
    pthread_mutexattr_t a;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&g_lock, &a);
    pthread_mutexattr_destroy(&a);
}

const SimDriver kLcd = {"/dev/halvix_lcd", lcd_ioctl, nullptr, nullptr};

struct Register {
    Register() {
        pthread_atfork(before_fork, after_fork_parent, after_fork_child);
        sim_register_driver(&kLcd);
    }
} g_register;

}  // namespace
