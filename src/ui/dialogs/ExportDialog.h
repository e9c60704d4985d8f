#pragma once
// The one dialog before an export: which sets (the view, the mark to the cursor, offered only
// when a mark is set, or the whole source), and raw integers instead of engineering units.

#include <functional>

class QString;
class QWidget;

namespace altrix {

enum class ExportStretch;

// Opens the dialog (window-modal, freed when closed) over `parent` with `preset` chosen (the
// view instead of mark..cursor when no mark is set); `whole` names the whole source ("The
// whole window"). `accepted` gets the choices once it is confirmed, and is not called when it
// is cancelled.
void OpenExportDialog(QWidget& parent, const QString& title, ExportStretch preset, bool markSet, const QString& whole,
                      std::function<void(ExportStretch stretch, bool raw)> accepted);

}  // namespace altrix
