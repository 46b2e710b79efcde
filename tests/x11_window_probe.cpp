// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

// Finds a top-level window by its title on the X server in $DISPLAY, prints its
// size as WIDTHxHEIGHT and asks it to close the way a window manager would
// (WM_DELETE_WINDOW). Exits 1 when no such window appears within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string windowTitle(Display *display, Window window)
{
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long itemCount = 0;
    unsigned long bytesAfter = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8String, &actualType,
                           &actualFormat, &itemCount, &bytesAfter, &data) == Success && data) {
        title.assign(reinterpret_cast<const char *>(data), itemCount);
    }
    if (data)
        XFree(data);
    return title;
}

Window findViewableWindow(Display *display, const std::string &title)
{
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int childCount = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &childCount))
        return 0;
    for (unsigned int i = 0; i < childCount && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes)
            && attributes.map_state == IsViewable && windowTitle(display, children[i]) == title)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

void askToClose(Display *display, Window window)
{
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TITLE\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 2;
    }
    Window window = 0;
    for (int attempt = 0; attempt < 100 && !window; ++attempt) {
        window = findViewableWindow(display, argv[1]);
        if (!window)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!window) {
        XCloseDisplay(display);
        return 1;
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    std::printf("%dx%d\n", attributes.width, attributes.height);
    std::fflush(stdout);
    askToClose(display, window);
    XCloseDisplay(display);
    return 0;
}
