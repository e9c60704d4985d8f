#include "MeasureForm.h"

#include "CoalescedUpdate.h"
#include "Readout.h"
#include "Statistics.h"
#include "ScopeDisplay.h"
#include "ui_MeasureForm.h"

#include <QHeaderView>

#include <array>

namespace altrix {

namespace {

const QString kNone = QStringLiteral("-");

QString Value(double v) {
    // 6 significant digits; a value that rounds to nothing reads 0, never -0.
    return QString::number(v == 0 ? 0.0 : v, 'g', 6);
}

QString Seconds(double seconds) {
    return QString::fromStdString(FormatSeconds(seconds, '.'));
}

}  // namespace

MeasureForm::MeasureForm(const ScopeDisplay& display, QWidget* parent)
    : QWidget(parent),
      display_(display),
      ui_(std::make_unique<Ui::MeasureForm>()),
      update_(new CoalescedUpdate(*this, 0, [this] { updateTable(); })) {
    ui_->setupUi(this);
    ui_->MeasureTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

MeasureForm::~MeasureForm() = default;

void MeasureForm::traceViewChanged() {
    update_->request(display_.Capturing());
}

void MeasureForm::updateTable() {
    QTableWidget& table = *ui_->MeasureTable;
    const PositionStretch stretch = display_.AnalysisStretch();
    ui_->MeasureStretchLabel->setText(
        stretch.empty() ? QStringLiteral("No sample sets in the stretch")
                        : QStringLiteral("%1 s to %2 s, %3 sample sets")
                              .arg(Seconds(display_.Times().Seconds(stretch.First)), Seconds(display_.Times().Seconds(stretch.Last)))
                              .arg(stretch.count()));

    int row = 0;
    for (int t = 1; t <= kLastMathTrace; ++t) {
        if (!display_.TraceShown(t)) continue;
        const Measurement m =
            t >= kFirstMathTrace
                ? Measure(display_.MathValuesOver(t - kTraceCount, stretch), display_.Source().sampleRateHz())
                : display_.Source().measure(t, stretch, display_.GainFactorOf(t));
        std::array<QString, 7> cells;
        if (m.Count == 0) {
            cells.fill(kNone);
        } else {
            cells = {Value(m.Min), Value(m.Max), Value(m.Mean), Value(m.Rms), Value(m.PeakToPeak), Value(m.StdDev),
                     m.FrequencyHz ? QStringLiteral("%1 Hz").arg(*m.FrequencyHz, 0, 'f', 2) : kNone};
        }
        if (row == table.rowCount()) table.insertRow(row);
        if (!table.verticalHeaderItem(row)) table.setVerticalHeaderItem(row, new QTableWidgetItem);
        table.verticalHeaderItem(row)->setText(display_.TraceName(t));
        for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
            QTableWidgetItem* item = table.item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table.setItem(row, column, item);
            }
            item->setText(cells[static_cast<std::size_t>(column)]);
        }
        ++row;
    }
    table.setRowCount(row);
}

}  // namespace altrix
