// Holds a passive grab of one key combination, as another program would,
// until its standard input closes. Prints "grabbed" once the grab is in place.
//   grab_key_helper <x keycode> <x modifier mask>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: grab_key_helper keycode modifiers\n");
        return 2;
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return 1;
    const int keycode = std::atoi(argv[1]);
    const unsigned int modifiers = unsigned(std::atoi(argv[2]));
    XGrabKey(dpy, keycode, modifiers, DefaultRootWindow(dpy), True, GrabModeAsync, GrabModeAsync);
    XSync(dpy, False);
    std::printf("grabbed\n");
    std::fflush(stdout);
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) {
    }
    XCloseDisplay(dpy);
    return 0;
}
