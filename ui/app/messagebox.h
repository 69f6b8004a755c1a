#pragma once
// Modal message boxes: an OK button only, the program's title as caption.
#include <QString>
#include <QWidget>

#include <functional>

void showMessage(QWidget* owner, const QString& text);

// Replaces the real box (tests record the texts instead of blocking).
using MessageHook = std::function<void(QWidget* owner, const QString& text)>;
MessageHook& messageHook();
