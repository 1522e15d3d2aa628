#include "platform/QtKeyStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include "settings/PathResolve.h"

namespace {
// "Software\Vako\Personal\VakoEdit" -> group "Personal/VakoEdit" of the organisation "Vako".
QString GroupOf(const std::string& key) {
    QString k = QString::fromStdString(Cp1252ToUtf8(key));
    k.replace('\\', '/');
    while (k.endsWith('/')) k.chop(1);
    const QString prefix = QStringLiteral("Software/Vako");
    if (k.compare(prefix, Qt::CaseInsensitive) == 0) return QString();
    if (k.startsWith(prefix + "/", Qt::CaseInsensitive)) return k.mid(prefix.size() + 1);
    return QStringLiteral("Other/") + k;
}

QSettings::Scope ScopeOf(KeyRoot root) {
    return root == KeyRoot::LocalMachine ? QSettings::SystemScope : QSettings::UserScope;
}
}  // namespace

bool QtKeyStore::OpenKey(KeyRoot root, const std::string& key, bool create, bool writable) {
    QSettings s(QSettings::NativeFormat, ScopeOf(root), QStringLiteral("Vako"));
    if (s.status() != QSettings::NoError) return false;
    if (writable && !s.isWritable()) {
        // Machine-wide values are normally only readable; the per-user file is created.
        if (root == KeyRoot::LocalMachine || !create) return false;
    }
    QString group = GroupOf(key);
    bool exists = QFileInfo::exists(s.fileName());
    if (exists && !group.isEmpty()) {
        s.beginGroup(group);
        exists = !s.childKeys().isEmpty() || !s.childGroups().isEmpty();
        s.endGroup();
        // A key created without values leaves a marker so that it exists afterwards.
        if (!exists) exists = s.contains(group + QStringLiteral("/.key"));
    }
    if (exists) return true;
    if (!create) return false;
    if (!s.isWritable()) return false;
    s.setValue(group.isEmpty() ? QStringLiteral(".key") : group + QStringLiteral("/.key"), 1);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool QtKeyStore::ReadValue(KeyRoot root, const std::string& key, const std::string& name,
                           std::string& value) {
    QSettings s(QSettings::NativeFormat, ScopeOf(root), QStringLiteral("Vako"));
    QString group = GroupOf(key);
    QString path = (group.isEmpty() ? QString() : group + "/") +
                   QString::fromStdString(Cp1252ToUtf8(name));
    if (!s.contains(path)) return false;
    value = Utf8ToCp1252(s.value(path).toString().toStdString());
    return true;
}

bool QtKeyStore::WriteValue(KeyRoot root, const std::string& key, const std::string& name,
                            const std::string& value) {
    QSettings s(QSettings::NativeFormat, ScopeOf(root), QStringLiteral("Vako"));
    if (!s.isWritable()) return false;
    QString group = GroupOf(key);
    QString path = (group.isEmpty() ? QString() : group + "/") +
                   QString::fromStdString(Cp1252ToUtf8(name));
    s.setValue(path, QString::fromStdString(Cp1252ToUtf8(value)));
    s.sync();
    return s.status() == QSettings::NoError;
}

bool QtKeyStore::ValueNames(KeyRoot root, const std::string& key, std::vector<std::string>& names) {
    QSettings s(QSettings::NativeFormat, ScopeOf(root), QStringLiteral("Vako"));
    if (!QFileInfo::exists(s.fileName())) return false;
    const QString group = GroupOf(key);
    if (!group.isEmpty()) s.beginGroup(group);
    names.clear();
    for (const QString& k : s.childKeys())
        if (k != QStringLiteral(".key")) names.push_back(Utf8ToCp1252(k.toStdString()));
    return true;
}
