// An X client that measures a shortcut the way a person meets it: it presses
// the keys with XTest, lets them go from a second connection after a hold,
// and time-stamps, for the watched window, the MapNotify, the FocusIn and the
// first Damage (the first frame drawn into it). Between runs it brings the
// chosen application to the front again and closes the window with Escape.
//
//   bench_press_to_paint [--runs N] [--warm-up N] [--settle MS] [--pause MS]
//                        [--label TEXT] --window TITLE --keys ctrl+alt+k [--hold MS]
//                        [--front TITLE] [--label TEXT --window ...]...
// Each --label after the first starts another case; the cases take turns,
// one run each, so a load that comes and goes on the machine falls on all
// of them alike. --warm-up runs that many unmeasured rounds first.
//
// Prints one Markdown table row per case: label | mapped | focused |
// painted, each "median [p95]" in milliseconds from the press; then the
// first run of each alone.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One row of the table: a window, its shortcut, what is in front, the hold.
struct Case {
    std::string window;
    std::string keys;
    std::string front;
    std::string label;
    int holdMs = 0;
};

struct Sample {
    double viewable = -1; // for the log: when the window manager's frame shows it
    double mapped = -1;
    double focused = -1;
    double painted = -1;
    bool complete() const { return mapped >= 0 && focused >= 0 && painted >= 0; }
};

struct Options {
    std::vector<Case> cases;
    int runs = 30;
    int settleMs = 400;
    // Idle time before each press: the program tidies up a while after a
    // closing, and a person rarely presses again at once.
    int pauseMs = 0;
    int warmUp = 0;
};

std::optional<std::string> titleOf(Display *dpy, Window window)
{
    static const Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, window, netName, 0, 256, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        std::string title(reinterpret_cast<char *>(data), count);
        XFree(data);
        return title;
    }
    char *name = nullptr;
    if (XFetchName(dpy, window, &name) && name) {
        std::string title(name);
        XFree(name);
        return title;
    }
    return std::nullopt;
}

// The client window with this exact title, anywhere in the tree (the window
// manager puts clients inside frames).
Window findWindow(Display *dpy, Window root, const std::string &title)
{
    Window parent = 0, rootReturn = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, root, &rootReturn, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (titleOf(dpy, children[i]) == title)
            found = children[i];
        else
            found = findWindow(dpy, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

Window activeWindow(Display *dpy)
{
    static const Atom netActive = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    Window active = 0;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), netActive, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (count == 1)
            active = *reinterpret_cast<Window *>(data);
        XFree(data);
    }
    return active;
}

// Asks the window manager to activate `window`, as a pager would, and waits
// (bounded) until it is.
bool bringToFront(Display *dpy, Window window)
{
    static const Atom netActive = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = netActive;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager: always honoured
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(dpy);
    const auto start = Clock::now();
    while (msSince(start) < 5000) {
        if (activeWindow(dpy) == window)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<KeyCode> parseKeys(Display *dpy, const std::string &keys)
{
    std::vector<KeyCode> codes;
    size_t start = 0;
    while (start <= keys.size()) {
        const size_t plus = keys.find('+', start);
        const std::string name =
            keys.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        KeySym sym = NoSymbol;
        if (name == "ctrl")
            sym = XK_Control_L;
        else if (name == "alt")
            sym = XK_Alt_L;
        else if (name == "shift")
            sym = XK_Shift_L;
        else if (name == "super")
            sym = XK_Super_L;
        else
            sym = XStringToKeysym(name.c_str());
        const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy, sym);
        if (!code)
            return {};
        codes.push_back(code);
        if (plus == std::string::npos)
            break;
        start = plus + 1;
    }
    return codes;
}

void sendKeys(Display *dpy, const std::vector<KeyCode> &codes, bool press)
{
    if (press) {
        for (KeyCode code : codes)
            XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    } else {
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
    }
    XFlush(dpy);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const size_t low = size_t(rank);
    const size_t high = std::min(values.size() - 1, low + 1);
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}

std::string cell(const std::vector<double> &values)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f [%.1f]", percentile(values, 0.5), percentile(values, 0.95));
    return text;
}

// A case as the X server knows it, and what its runs measured.
struct Target {
    Case row;
    Window window = 0;
    Window front = 0;
    Damage damage = 0;
    std::vector<KeyCode> keys;
    std::vector<Sample> samples;
    std::optional<Sample> first;
    int incomplete = 0;
};

struct Bench {
    Options options;
    Display *watch = nullptr;   // events of the watched windows, and the press
    Display *release = nullptr; // the release, as another keyboard would send it
    int damageEvent = 0;
    std::vector<Target> targets;
    KeyCode escape = 0;

    // Waits for an event until `limitMs` after `start`; false on time-out.
    bool nextEvent(Clock::time_point start, double limitMs, XEvent &event)
    {
        while (!XPending(watch)) {
            const double left = limitMs - msSince(start);
            if (left <= 0)
                return false;
            pollfd fd{ConnectionNumber(watch), POLLIN, 0};
            poll(&fd, 1, std::max(1, int(left)));
        }
        XNextEvent(watch, &event);
        return true;
    }

    void drain()
    {
        while (XPending(watch)) {
            XEvent event;
            XNextEvent(watch, &event);
        }
    }

    bool isMapped(Window window)
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(watch, window, &attributes) && attributes.map_state != IsUnmapped;
    }

    Sample runOnce(const Target &target)
    {
        const Case &row = target.row;
        const Window window = target.window;
        Sample sample;
        drain();
        XDamageSubtract(watch, target.damage, None, None);
        XSync(watch, False);
        drain();
        sendKeys(watch, target.keys, true);
        const auto start = Clock::now();
        // The server handles the two connections in no set order: the
        // release must not overtake the press.
        XSync(watch, False);
        bool released = false;
        auto releaseKeys = [&] {
            sendKeys(release, target.keys, false);
            released = true;
        };
        if (row.holdMs <= 0)
            releaseKeys();
        while (!sample.complete()) {
            const double limit = released ? 3000.0 : double(row.holdMs);
            XEvent event;
            if (!nextEvent(start, limit, event)) {
                if (!released) {
                    releaseKeys();
                    continue;
                }
                break;
            }
            const double at = msSince(start);
            if (event.type == VisibilityNotify && event.xvisibility.window == window && sample.viewable < 0 &&
                event.xvisibility.state != VisibilityFullyObscured) {
                sample.viewable = at;
            } else if (event.type == MapNotify && event.xmap.window == window && sample.mapped < 0) {
                sample.mapped = at;
            } else if (event.type == FocusIn && event.xfocus.window == window && sample.focused < 0 &&
                       event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyInferior) {
                sample.focused = at;
            } else if (event.type == damageEvent + XDamageNotify && sample.painted < 0 &&
                       sample.mapped >= 0 &&
                       reinterpret_cast<const XDamageNotifyEvent &>(event).drawable == window) {
                sample.painted = at;
            }
        }
        if (!released)
            releaseKeys();
        // On the program's clock too (CLOCK_MONOTONIC, like steady_clock
        // here), to lay beside its "vocarta.timing" lines.
        std::fprintf(
            stderr, "%s: press at %lld us, mapped %.1f, focused %.1f, painted %.1f ms, viewable %.1f\n",
            row.label.c_str(),
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch()).count()),
            sample.mapped, sample.focused, sample.painted, sample.viewable);
        // The entrance plays out, as a person would look at it; then Escape.
        std::this_thread::sleep_for(std::chrono::milliseconds(options.settleMs));
        if (isMapped(window)) {
            XTestFakeKeyEvent(watch, escape, True, CurrentTime);
            XTestFakeKeyEvent(watch, escape, False, CurrentTime);
            XFlush(watch);
            const auto closing = Clock::now();
            while (isMapped(window) && msSince(closing) < 5000)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return sample;
    }

    bool find(const std::string &title, Window &window)
    {
        const Window root = DefaultRootWindow(watch);
        for (int attempt = 0; attempt < 500 && !window; ++attempt) {
            window = findWindow(watch, root, title);
            if (!window)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!window)
            std::fprintf(stderr, "no window titled \"%s\"\n", title.c_str());
        return window != 0;
    }

    int run()
    {
        watch = XOpenDisplay(nullptr);
        release = XOpenDisplay(nullptr);
        if (!watch || !release) {
            std::fprintf(stderr, "no X display\n");
            return 1;
        }
        int damageError = 0;
        if (!XDamageQueryExtension(watch, &damageEvent, &damageError)) {
            std::fprintf(stderr, "the X server has no DAMAGE extension\n");
            return 1;
        }
        escape = XKeysymToKeycode(watch, XK_Escape);
        for (const Case &row : options.cases) {
            Target target;
            target.row = row;
            target.keys = parseKeys(watch, row.keys);
            parseKeys(release, row.keys); // fetches that connection's keymap outside the runs
            if (target.keys.empty()) {
                std::fprintf(stderr, "unknown keys: %s\n", row.keys.c_str());
                return 2;
            }
            if (!find(row.window, target.window) || (!row.front.empty() && !find(row.front, target.front)))
                return 1;
            XSelectInput(watch, target.window, StructureNotifyMask | FocusChangeMask | VisibilityChangeMask);
            target.damage = XDamageCreate(watch, target.window, XDamageReportRawRectangles);
            targets.push_back(std::move(target));
        }
        XSync(watch, False);

        for (int i = -options.warmUp; i < options.runs; ++i) {
            for (Target &target : targets) {
                if (target.front && !bringToFront(watch, target.front)) {
                    std::fprintf(stderr, "could not bring \"%s\" to the front\n", target.row.front.c_str());
                    return 1;
                }
                // Focus events reach the listeners well before a person's next press.
                std::this_thread::sleep_for(std::chrono::milliseconds(150 + options.pauseMs));
                const Sample sample = runOnce(target);
                if (i < 0)
                    continue;
                if (!sample.complete())
                    std::fprintf(stderr, "%s: run %d incomplete: mapped %.1f focused %.1f painted %.1f ms\n",
                                 target.row.label.c_str(), i, sample.mapped, sample.focused, sample.painted);
                if (!target.first)
                    target.first = sample;
                if (sample.complete())
                    target.samples.push_back(sample);
                else
                    ++target.incomplete;
            }
        }
        for (const Target &target : targets) {
            std::vector<double> mapped, focused, painted;
            for (const Sample &s : target.samples) {
                mapped.push_back(s.mapped);
                focused.push_back(s.focused);
                painted.push_back(s.painted);
            }
            std::printf("| %s | %s | %s | %s |", target.row.label.c_str(), cell(mapped).c_str(),
                        cell(focused).c_str(), cell(painted).c_str());
            if (target.incomplete)
                std::printf(" (%d of %d runs incomplete)", target.incomplete, options.runs);
            std::printf("\n");
            if (target.first)
                std::fprintf(stderr, "%s: first run: mapped %.1f focused %.1f painted %.1f ms\n",
                             target.row.label.c_str(), target.first->mapped, target.first->focused,
                             target.first->painted);
            XDamageDestroy(watch, target.damage);
        }
        std::fflush(stdout);
        XCloseDisplay(release);
        XCloseDisplay(watch);
        return 0;
    }
};

} // namespace

int main(int argc, char **argv)
{
    Bench bench;
    Options &o = bench.options;
    auto current = [&]() -> Case & {
        if (o.cases.empty())
            o.cases.emplace_back();
        return o.cases.back();
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](int &into) {
            char *end = nullptr;
            const long parsed = value ? std::strtol(value, &end, 10) : -1;
            if (!value || *end || parsed < 0 || parsed > 100000)
                return false;
            into = int(parsed);
            ++i;
            return true;
        };
        bool ok = true;
        if (argument == "--label" && value) {
            if (o.cases.empty() || !o.cases.back().label.empty())
                o.cases.emplace_back();
            o.cases.back().label = argv[++i];
        } else if (argument == "--window" && value)
            current().window = argv[++i];
        else if (argument == "--keys" && value)
            current().keys = argv[++i];
        else if (argument == "--front" && value)
            current().front = argv[++i];
        else if (argument == "--hold")
            ok = number(current().holdMs);
        else if (argument == "--runs")
            ok = number(o.runs) && o.runs > 0;
        else if (argument == "--settle")
            ok = number(o.settleMs);
        else if (argument == "--pause")
            ok = number(o.pauseMs);
        else if (argument == "--warm-up")
            ok = number(o.warmUp);
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr,
                         "usage: bench_press_to_paint [--runs N] [--warm-up N] [--settle MS] [--pause MS] "
                         "[--label TEXT] --window TITLE --keys ctrl+alt+k [--hold MS] [--front TITLE] "
                         "[--label TEXT --window ...]...\n");
            return 2;
        }
    }
    if (o.cases.empty()) {
        std::fprintf(stderr, "--window and --keys are required\n");
        return 2;
    }
    for (Case &c : o.cases) {
        if (c.window.empty() || c.keys.empty()) {
            std::fprintf(stderr, "--window and --keys are required for every case\n");
            return 2;
        }
        if (c.label.empty())
            c.label = c.window;
    }
    return bench.run();
}
