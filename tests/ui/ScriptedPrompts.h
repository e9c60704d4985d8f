#pragma once
// A Prompts fake for GUI tests: records every message and file dialog the window asks for
// and answers from a script, so no test ever blocks on a real dialog.

#include "Prompts.h"

#include <QString>

#include <deque>
#include <vector>

namespace altrix::testing {

struct AskedMessage {
    QString Caption;
    QString Text;
    MessageIcon Icon;
    MessageButtons Buttons;
};

class ScriptedPrompts final : public Prompts {
public:
    std::vector<AskedMessage> Messages;
    std::vector<FileDialogSpec> SaveDialogs;
    std::vector<FileDialogSpec> OpenDialogs;
    // Answers in order; when a script runs out, messages answer Ok (or No) and dialogs cancel.
    std::deque<MessageAnswer> MessageAnswers;
    std::deque<QString> FileNames;

    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override {
        Messages.push_back({caption, text, icon, buttons});
        if (MessageAnswers.empty())
            return buttons == MessageButtons::YesNo               ? MessageAnswer::No
                   : buttons == MessageButtons::SaveDiscardCancel ? MessageAnswer::Discard
                                                                  : MessageAnswer::Ok;
        const MessageAnswer answer = MessageAnswers.front();
        MessageAnswers.pop_front();
        return answer;
    }
    QString askSaveFileName(const FileDialogSpec& dialog) override {
        SaveDialogs.push_back(dialog);
        return nextFileName();
    }
    QString askOpenFileName(const FileDialogSpec& dialog) override {
        OpenDialogs.push_back(dialog);
        return nextFileName();
    }
    // Folder dialogs take their answers from FileNames too.
    QString askFolder(const QString& caption, const QString&) override {
        FolderDialogs.push_back(caption);
        return nextFileName();
    }
    std::vector<QString> FolderDialogs;

private:
    QString nextFileName() {
        if (FileNames.empty()) return {};
        QString name = FileNames.front();
        FileNames.pop_front();
        return name;
    }
};

}  // namespace altrix::testing
