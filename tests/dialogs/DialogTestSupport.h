#pragma once
// Shared by the dialog tests: a scripted Prompts that records what was asked, the owner
// window that a dialog disables, and user actions on named controls.

#include "Prompts.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QWidget>

#include <vector>

namespace altrix::testing {

struct AskedMessage {
    QString caption;
    QString text;
    MessageIcon icon;
    MessageButtons buttons;
};

// Answers every message with OK and records it; file dialogs are not expected.
class FakePrompts final : public Prompts {
public:
    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override {
        asked.push_back({caption, text, icon, buttons});
        return MessageAnswer::Ok;
    }
    QString askSaveFileName(const FileDialogSpec&) override {
        ADD_FAILURE() << "unexpected save dialog";
        return {};
    }
    QString askOpenFileName(const FileDialogSpec&) override {
        ADD_FAILURE() << "unexpected open dialog";
        return {};
    }
    QString askFolder(const QString&, const QString&) override {
        ADD_FAILURE() << "unexpected folder dialog";
        return {};
    }

    std::vector<AskedMessage> asked;
};

// Stands for the main window, which disables itself while a dialog is open over it.
class OwnerWindow : public QWidget {
public:
    OwnerWindow() {
        setGeometry(120, 90, 1014, 728);
        show();
    }
};

// Runs the deletions that closed dialogs have scheduled.
inline void ProcessDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename Control>
Control* Named(const QWidget* dialog, const QString& name) {
    auto* control = dialog->findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
}

}  // namespace altrix::testing
