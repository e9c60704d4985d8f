#pragma once
// Values of a window kept between runs in the program's settings file, each under a section
// and key of its own. Registering a value puts back at once what the file holds for it;
// storeAll() writes every registered value (when the window closes), store() one of them.
// With no settings file (an empty path) nothing is read or written. A settings file that could
// not be read whole is never written (see ParameterFiles.h), and settingsProblem() says so.

#include "ParameterFiles.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QByteArray;
class QComboBox;
class QWidget;

namespace altrix {

// Puts back a geometry of `window` that QWidget::saveGeometry gave, fitted to the screens there
// are: moved inside the available area of the screen it overlaps most (else the primary one).
// One larger than that area, or no saved geometry, is dropped: the window keeps its own, and the
// result is false. Call before the window is first shown.
bool RestoreGeometryOnScreens(QWidget& window, const QByteArray& saved);

class RememberedValues {
public:
    using Restore = std::function<void(const QString& stored)>;
    using Current = std::function<QString()>;

    explicit RememberedValues(std::string settingsIniPath);

    const std::string& settingsIniPath() const { return path_; }
    // Why the settings are not kept, for the user, as the settings file stood when this was
    // made; empty when they are.
    const QString& settingsProblem() const { return problem_; }

    void add(const std::string& section, const std::string& key, const Restore& restore,
             Current current);
    // A whole number from `low` to `high`. Any other text in the file is refused: the value
    // keeps what it had, settingsProblem() gets a sentence naming the key, and the file keeps
    // its text until the value is changed.
    void addNumber(const std::string& section, const std::string& key, std::int64_t low, std::int64_t high,
                   const std::function<void(std::int64_t)>& restore, const std::function<std::int64_t()>& current);
    // The text of a list: one of its items is picked again, any other text typed again when
    // the list takes typed text.
    void add(const std::string& section, const std::string& key, QComboBox* box);

    void store(const std::string& section, const std::string& key) const;
    void storeAll() const;

private:
    struct Value {
        std::string section;
        std::string key;
        Current current;
        // The value's text when its stored text was refused: not written while it stays so.
        std::optional<QString> refusedAt;
    };
    void addProblem(const QString& sentence);
    // The values to write: all but those whose refused text stays in the file.
    std::vector<Setting> changed(const std::string* section, const std::string* key) const;

    std::string path_;
    QString problem_;
    std::vector<Value> values_;
};

}  // namespace altrix
