#pragma once

#include "app/platform.h"

namespace tarnwick {

// The platform services through Qt's own dialogs and QDesktopServices.
class QtPlatform final : public Platform
{
public:
    QString chooseFolder(QWidget *parent, const QString &title, const QString &startFolder) override;
    std::optional<ColourValue> chooseColour(QWidget *parent) override;
    void showWarning(QWidget *parent, const QString &text) override;
    void showInformation(QWidget *parent, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
    void openDocument(const QString &path) override;
    void openFolder(const QString &path) override;
};

} // namespace tarnwick
