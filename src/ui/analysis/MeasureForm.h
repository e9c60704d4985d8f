#pragma once
// The measurements window: a row for each shown trace with its minimum, maximum, mean, RMS,
// peak to peak, standard deviation and frequency over the analysed stretch, in engineering
// units. Shown in a dock of the main window.

#include <QWidget>

#include <memory>

namespace Ui {
class MeasureForm;
}

namespace altrix {

class CoalescedUpdate;
class ScopeDisplay;

class MeasureForm : public QWidget {
    Q_OBJECT
public:
    // `display` must outlive the window.
    explicit MeasureForm(const ScopeDisplay& display, QWidget* parent = nullptr);
    ~MeasureForm() override;

    // The traces or the stretch changed: the table follows once the event loop is free.
    void traceViewChanged();

private:
    void updateTable();

    const ScopeDisplay& display_;
    std::unique_ptr<Ui::MeasureForm> ui_;
    CoalescedUpdate* update_;
};

}  // namespace altrix
