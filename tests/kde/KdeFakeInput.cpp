// Presses keys and clicks through KWin's fake-input protocol, as a person's
// keyboard and mouse would: the events go through the compositor, its global
// shortcuts and its focus rules. KWin offers the protocol to any client only
// with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1.
//   kde_fake_input key 29 56 37     press the evdev keys in order, release in reverse
//   kde_fake_input click 120 300    left click at that point of the screen
#include "fake-input-client.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int leftButton = 0x110; // BTN_LEFT

org_kde_kwin_fake_input *fakeInput = nullptr;

void announce(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
        fakeInput = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, version < 4 ? version : 4));
    }
}

void withdraw(void *, wl_registry *, uint32_t)
{
}

const wl_registry_listener listener{announce, withdraw};

// The compositor handles each event before the next one is sent, with a
// moment between them as a hand would leave.
void settle(wl_display *display)
{
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int usage()
{
    std::fprintf(stderr, "usage: kde_fake_input key CODE... | click X Y\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    std::vector<int> values;
    for (int i = 2; i < argc; ++i) {
        char *end = nullptr;
        const long value = std::strtol(argv[i], &end, 10);
        if (*argv[i] == '\0' || *end != '\0' || value < 0 || value > 0xFFFF)
            return usage();
        values.push_back(int(value));
    }
    if (command != "key" && !(command == "click" && values.size() == 2))
        return usage();

    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "kde_fake_input: no Wayland display\n");
        return 3;
    }
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput || org_kde_kwin_fake_input_get_version(fakeInput) < 4) {
        std::fprintf(stderr, "kde_fake_input: the compositor offers no fake input (version 4)\n");
        return 4;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "kde_fake_input", "automated test");
    wl_display_roundtrip(display);

    if (command == "key") {
        for (const int code : values) {
            org_kde_kwin_fake_input_keyboard_key(fakeInput, uint32_t(code), 1);
            settle(display);
        }
        for (auto it = values.rbegin(); it != values.rend(); ++it) {
            org_kde_kwin_fake_input_keyboard_key(fakeInput, uint32_t(*it), 0);
            settle(display);
        }
    } else {
        org_kde_kwin_fake_input_pointer_motion_absolute(fakeInput, wl_fixed_from_int(values[0]),
                                                        wl_fixed_from_int(values[1]));
        settle(display);
        org_kde_kwin_fake_input_button(fakeInput, leftButton, 1);
        settle(display);
        org_kde_kwin_fake_input_button(fakeInput, leftButton, 0);
        settle(display);
    }
    wl_display_disconnect(display);
    return 0;
}
