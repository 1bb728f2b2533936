#pragma once

#include "book/booksettings.h"

#include <QString>

#include <optional>

class QWidget;

namespace tarnwick {

// The desktop services the windows use. The program hands in QtPlatform; the
// tests hand in a scripted one.
class Platform
{
public:
    virtual ~Platform() = default;

    // A modal folder chooser over parent, opening in startFolder; the absolute
    // folder path, or "" on cancel.
    virtual QString chooseFolder(QWidget *parent, const QString &title, const QString &startFolder) = 0;
    // A modal colour chooser over parent; the chosen colour, or nothing on cancel.
    virtual std::optional<ColourValue> chooseColour(QWidget *parent) = 0;
    // The check-failure box: caption "错误信息", OK, warning icon.
    virtual void showWarning(QWidget *parent, const QString &text) = 0;
    // A notice: caption "提示信息", OK, information icon.
    virtual void showInformation(QWidget *parent, const QString &text) = 0;
    // The question box: caption "提示信息", Yes/No, question icon, No the default.
    // True when the user answered Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
    // Hands a document to the desktop's associated application.
    virtual void openDocument(const QString &path) = 0;
    // Shows a folder in the desktop's file manager.
    virtual void openFolder(const QString &path) = 0;
};

} // namespace tarnwick
