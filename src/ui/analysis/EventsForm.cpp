#include "EventsForm.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace altrix {

EventsForm::EventsForm(QWidget* parent) : QWidget(parent), title_(new QLabel(this)), table_(new QTableWidget(0, 4, this)) {
    setObjectName(QStringLiteral("EventsForm"));
    setWindowTitle(QStringLiteral("Events"));
    title_->setObjectName(QStringLiteral("EventsTitleLabel"));
    title_->setWordWrap(true);
    table_->setObjectName(QStringLiteral("EventsTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Kind"), QStringLiteral("Source"), QStringLiteral("Text")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setToolTip(QStringLiteral("Double click or Return: show the event"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(title_);
    layout->addWidget(table_);
    connect(table_, &QTableWidget::cellActivated, this, [this](int row, int) { choose(row); });
}

void EventsForm::showEvents(const QString& title, std::vector<EventRow> rows) {
    title_->setText(title);
    const int chosenRow = table_->currentRow();
    const std::int64_t chosenSet = chosenRow >= 0 && chosenRow < static_cast<int>(rows_.size()) ? rows_[chosenRow].Set : -1;
    rows_ = std::move(rows);
    table_->setRowCount(static_cast<int>(rows_.size()));
    int keep = -1;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const EventRow& e = rows_[static_cast<std::size_t>(r)];
        const QString cells[] = {e.Time, e.Kind, e.Source, e.File.isEmpty() ? e.Text : e.Text + QStringLiteral(" \u2014 ") + e.File};
        for (int c = 0; c < 4; ++c) {
            QTableWidgetItem* item = table_->item(r, c);
            if (!item) table_->setItem(r, c, item = new QTableWidgetItem);
            if (item->text() != cells[c]) item->setText(cells[c]);
        }
        if (e.Set == chosenSet && chosenSet >= 0) keep = r;
    }
    if (keep >= 0) table_->setCurrentCell(keep, 0);
    table_->resizeColumnsToContents();
}

void EventsForm::choose(int row) {
    if (row >= 0 && row < static_cast<int>(rows_.size())) emit chosen(rows_[static_cast<std::size_t>(row)]);
}

}  // namespace altrix
