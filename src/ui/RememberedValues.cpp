#include "RememberedValues.h"

#include "ParameterFiles.h"

#include <QComboBox>

#include <optional>

namespace altrix {

RememberedValues::RememberedValues(std::string settingsIniPath) : path_(std::move(settingsIniPath)) {}

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
