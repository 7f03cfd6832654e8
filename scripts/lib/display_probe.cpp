// Exits with 0 when the X display named by DISPLAY opens (a server is there
// and lets this user in), with 1 when not.  run.sh asks it before it starts
// the program, which would otherwise abort inside the toolkit.
#include <xcb/xcb.h>

int main() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened ? 0 : 1;
}
