// Prints "ready", then the monotonic time (ns) at which the X server maps the first top-level
// window, then exits.
#include <chrono>
#include <cstdio>
#include <xcb/xcb.h>

int main()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    std::printf("ready\n");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        free(event);
        if (mapped) {
            const auto t = std::chrono::steady_clock::now().time_since_epoch();
            std::printf("%lld\n",
                        (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(t).count());
            break;
        }
    }
    xcb_disconnect(c);
    return 0;
}
