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
    : path_(std::move(settingsIniPath)), problem_(QString::fromLocal8Bit(SettingsFileProblem(path_))) {
    for (const std::string& refused : RefusedTriggerSettings(path_))
        addProblem(QStringLiteral("%1 in the settings file is out of range or unknown: the trigger's default is used, "
                                  "and the file keeps the text until the setting is changed.")
                       .arg(QString::fromStdString(refused)));
}

void RememberedValues::addProblem(const QString& sentence) {
    if (!problem_.isEmpty()) problem_ += QLatin1Char(' ');
    problem_ += sentence;
}

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

void RememberedValues::addNumber(const std::string& section, const std::string& key, std::int64_t low,
                                 std::int64_t high, const std::function<void(std::int64_t)>& restore,
                                 const std::function<std::int64_t()>& current) {
    if (path_.empty()) return;
    const auto text = [current] { return QString::number(current()); };
    std::optional<QString> refusedAt;
    if (const std::optional<std::string> stored = ReadSetting(path_, section, key)) {
        bool ok = false;
        const qlonglong value = QString::fromStdString(*stored).trimmed().toLongLong(&ok);
        if (ok && value >= low && value <= high) {
            restore(value);
        } else {
            refusedAt = text();
            addProblem(QStringLiteral("[%1] %2=%3 in the settings file is not a whole number from %4 to %5: %6 is used, "
                                       "and the file keeps the text until the value is changed.")
                            .arg(QString::fromStdString(section), QString::fromStdString(key),
                                 QString::fromStdString(*stored), QString::number(low), QString::number(high), *refusedAt));
        }
    }
    values_.push_back({section, key, text, refusedAt});
}

std::vector<Setting> RememberedValues::changed(const std::string* section, const std::string* key) const {
    std::vector<Setting> settings;
    for (const Value& value : values_) {
        if ((section && value.section != *section) || (key && value.key != *key)) continue;
        const QString text = value.current();
        if (value.refusedAt && *value.refusedAt == text) continue;
        settings.push_back({value.section, value.key, text.toStdString()});
    }
    return settings;
}

void RememberedValues::store(const std::string& section, const std::string& key) const {
    if (const std::vector<Setting> settings = changed(&section, &key); !settings.empty()) WriteSettings(path_, settings);
}

void RememberedValues::storeAll() const {
    if (const std::vector<Setting> settings = changed(nullptr, nullptr); !settings.empty()) WriteSettings(path_, settings);
}

}  // namespace altrix
