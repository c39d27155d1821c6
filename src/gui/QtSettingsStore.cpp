#include "gui/QtSettingsStore.h"

#include <QSettings>
#include <QStringList>

#include "base/Error.h"

namespace crossmeld::gui {

namespace {

QString Key(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

}  // namespace

std::string QtSettingsStore::GetSetting(const std::string& app, const std::string& section, const std::string& key,
                                        const std::string& defaultValue) {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(app));
    const QString name = Key(section, key);
    if (!settings.contains(name)) return defaultValue;
    const QVariant value = settings.value(name);
    // A text holding commas comes back from the file as a list: join it
    // again, so that the stored text is what the program reads.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    if (value.typeId() == QMetaType::QByteArray) return value.toByteArray().toStdString();
    return value.toString().toStdString();
}

void QtSettingsStore::SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                                  const std::string& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(app));
    settings.setValue(Key(section, key), QString::fromStdString(value));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Error(ErrorKind::PermissionDenied, "Cannot write the settings file " + settings.fileName().toStdString());
}

}  // namespace crossmeld::gui
