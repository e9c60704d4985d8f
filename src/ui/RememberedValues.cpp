#include "RememberedValues.h"

#include "ParameterFiles.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <optional>

namespace altrix {

bool RestoreGeometryOnScreens(QWidget& window, const QByteArray& saved) {
    const QRect own = window.geometry();
    const Qt::WindowStates ownState = window.windowState();
    if (!window.restoreGeometry(saved)) return false;
    const QRect restored = window.geometry();
    const QScreen* screen = QGuiApplication::primaryScreen();
    qint64 overlap = 0;
    for (const QScreen* candidate : QGuiApplication::screens()) {
        const QRect common = candidate->availableGeometry() & restored;
        if (qint64(common.width()) * common.height() > overlap) {
            overlap = qint64(common.width()) * common.height();
            screen = candidate;
        }
    }
    const QRect area = screen->availableGeometry();
    if (restored.width() > area.width() || restored.height() > area.height()) {
        window.setWindowState(ownState);
        window.setGeometry(own);
        return false;
    }
    QRect fitted = restored;
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    if (fitted != restored) window.setGeometry(fitted);
    return true;
}

RememberedValues::RememberedValues(std::string settingsIniPath)
    : path_(std::move(settingsIniPath)), problem_(QString::fromLocal8Bit(SettingsFileProblem(path_))) {}

void RememberedValues::add(const std::string& section, const std::string& key,
                           const Restore& restore, Current current) {
    if (path_.empty()) return;
    if (const std::optional<std::string> stored = ReadSetting(path_, section, key))
        restore(QString::fromStdString(*stored));
    values_.push_back({section, key, std::move(current)});
}

void RememberedValues::add(const std::string& section, const std::string& key, QComboBox* box) {
    add(
        section, key,
        [box](const QString& stored) {
            if (const int index = box->findText(stored); index >= 0)
                box->setCurrentIndex(index);
            else if (box->isEditable())
                box->setEditText(stored);
        },
        [box] { return box->currentText(); });
}

void RememberedValues::store(const std::string& section, const std::string& key) const {
    for (const Value& value : values_) {
        if (value.section == section && value.key == key) {
            const Setting setting{section, key, value.current().toStdString()};
            WriteSettings(path_, {&setting, 1});
        }
    }
}

void RememberedValues::storeAll() const {
    std::vector<Setting> settings;
    for (const Value& value : values_)
        settings.push_back({value.section, value.key, value.current().toStdString()});
    if (!settings.empty()) WriteSettings(path_, settings);
}

}  // namespace altrix
