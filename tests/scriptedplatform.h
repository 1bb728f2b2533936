#pragma once

#include "app/platform.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>

namespace tarnwick {

// A Platform for tests: every dialog returns the next queued answer at once
// (cancel, "" or No when the queue is empty) and every call is recorded.
// whileModal, when set, runs inside each dialog call, standing in for events
// the user produces while a modal box is open.
class ScriptedPlatform final : public Platform
{
public:
    std::deque<QString> folders;
    std::deque<std::optional<ColourValue>> colours;
    std::deque<bool> answers;
    std::function<void()> whileModal;

    QStringList folderTitles;
    QStringList startFolders;
    int colourCalls = 0;
    QStringList warnings;
    QStringList informations;
    QStringList questions;
    QStringList openedDocuments;
    QStringList openedFolders;
    QList<QWidget *> parents;
    // The object name of the focused widget when each warning was shown.
    QStringList focusAtWarning;

    QString chooseFolder(QWidget *parent, const QString &title, const QString &startFolder) override
    {
        parents.append(parent);
        folderTitles.append(title);
        startFolders.append(startFolder);
        modal();
        return take(folders, QString());
    }

    std::optional<ColourValue> chooseColour(QWidget *parent) override
    {
        parents.append(parent);
        ++colourCalls;
        modal();
        return take(colours, std::optional<ColourValue>());
    }

    void showWarning(QWidget *parent, const QString &text) override
    {
        parents.append(parent);
        warnings.append(text);
        const QWidget *focus = parent ? parent->focusWidget() : nullptr;
        focusAtWarning.append(focus ? focus->objectName() : QString());
        modal();
    }

    void showInformation(QWidget *parent, const QString &text) override
    {
        parents.append(parent);
        informations.append(text);
        modal();
    }

    bool askYesNo(QWidget *parent, const QString &text) override
    {
        parents.append(parent);
        questions.append(text);
        modal();
        return take(answers, false);
    }

    void openDocument(const QString &path) override { openedDocuments.append(path); }
    void openFolder(const QString &path) override { openedFolders.append(path); }

    // Nothing at all was asked of the platform.
    bool untouched() const
    {
        return folderTitles.isEmpty() && colourCalls == 0 && warnings.isEmpty()
            && informations.isEmpty() && questions.isEmpty() && openedDocuments.isEmpty()
            && openedFolders.isEmpty();
    }

private:
    template <typename T>
    static T take(std::deque<T> &queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }

    void modal()
    {
        if (whileModal)
            whileModal();
    }
};

} // namespace tarnwick
