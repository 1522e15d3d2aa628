#include "platform/ProcessLauncher.h"

#include <QProcess>
#include <QString>
#include <QStringList>

bool ProcessLauncher::Start(const std::string& program, const std::vector<std::string>& args) {
    QStringList list;
    for (const auto& a : args) list << QString::fromLocal8Bit(a.c_str());
    return QProcess::startDetached(QString::fromLocal8Bit(program.c_str()), list);
}
