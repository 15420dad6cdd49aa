// Finding a window's controls by the names the window gives them.
#pragma once

#include <QWidget>

template <typename T>
T *Control(const QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}
