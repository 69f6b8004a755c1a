#pragma once
// Qt keys as the virtual-key codes the key handlers speak.
#include <QKeyEvent>

enum VirtualKey {
    VK_BACK = 8, VK_RETURN = 13, VK_ESCAPE = 27, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_F2 = 113
};

inline int virtualKeyOf(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_F2: return VK_F2;
    default: break;
    }
    if (e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
        return 'A' + (e->key() - Qt::Key_A);
    if (e->key() >= Qt::Key_0 && e->key() <= Qt::Key_9)
        return '0' + (e->key() - Qt::Key_0);
    return 0;
}
