#pragma once
// The small dialog before a CSV export: raw integers instead of engineering units, and only the
// sets from the mark to the cursor (offered only when a mark is set).

#include <functional>

class QWidget;

namespace altrix {

// Opens the dialog (window-modal, freed when closed) over `parent`; `accepted` gets the choices
// once it is confirmed, and is not called when it is cancelled.
void OpenExportCsvDialog(QWidget& parent, bool markSet, std::function<void(bool raw, bool markToCursor)> accepted);

}  // namespace altrix
