#include "displayflush.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb) && defined(BMP24TO8_HAVE_XCB)
#define BMP24TO8_XCB 1
#include <xcb/xcb.h>
#endif

void FlushDisplay()
{
#ifdef BMP24TO8_XCB
    if (const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (xcb_connection_t *connection = x11->connection())
            xcb_flush(connection);
    }
#endif
}
