// TForm1: the capture on show beyond its samples: the question before a capture that exists
// nowhere else is replaced (the rule: OnlyOnScreen), and the note kept with it.

#include "Mainframe.h"

#include "CaptureNotesDialog.h"
#include "WaveformFiles.h"
#include "ui_Mainframe.h"

namespace altrix {

bool TForm1::askDiscardCapture() {
    // A capture being saved is not lost: its copy is being written.
    if (!display_.CaptureOnlyOnScreen() || !askBeforeDiscard_ || saving_->saving()) return true;
    switch (prompts_.showMessage(QStringLiteral("Unsaved capture"), QStringLiteral("Discard the unsaved capture?"),
                                 MessageIcon::Question, MessageButtons::SaveDiscardCancel)) {
    case MessageAnswer::Save: return saveCapture(true);
    case MessageAnswer::Discard: return true;
    default: return false;
    }
}

void TForm1::CaptureNotes1Click() {
    auto* dialog = new CaptureNotesDialog(this, display_.Facts().Note,
                                          [this](const QString& note) { display_.SetNote(note); });
    dialog->show();
}

}  // namespace altrix
