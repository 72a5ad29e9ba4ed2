#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

// A window's controls by their objectName, as the tests reach them.
template <typename T> T* control(QWidget* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

inline QPushButton* button(QWidget* window, const char* name)
{
    return control<QPushButton>(window, name);
}

inline QLineEdit* box(QWidget* window, const char* name)
{
    return control<QLineEdit>(window, name);
}

// cmdStop(index) of the main window.
inline QPushButton* stop(QWidget* window, int index)
{
    for (QPushButton* candidate : window->findChildren<QPushButton*>(QStringLiteral("cmdStop")))
        if (candidate->property("index").toInt() == index)
            return candidate;
    return nullptr;
}
