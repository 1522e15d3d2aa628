#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include "document/AppTitle.h"

namespace {
constexpr int kWaitMs = 2000;

// The user's private folder for the sockets: in the runtime folder (mode 0700, the user's
// own), with a folder of our own made 0700 as well.
QString SocketFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty()) base = QDir::tempPath() + QStringLiteral("/skarv-") + QString::number(::getuid());
    QString folder = base + QStringLiteral("/skarv-editor");
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

QByteArray TitleBytes(const std::string& title) {
    return QByteArray(title.data(), static_cast<qsizetype>(title.size()));
}
}  // namespace

QString InstanceSocketName(const std::string& title) {
    QByteArray hash = QCryptographicHash::hash(TitleBytes(title), QCryptographicHash::Sha256).toHex();
    return SocketFolder() + QStringLiteral("/vakoedit-") + QString::number(::getuid()) +
           QStringLiteral("-") + QString::fromLatin1(hash.left(24)) + QStringLiteral(".sock");
}

bool ActivatePreviousInstance(const std::vector<std::string>& arguments) {
    SetSavedTitle(ApplicationTitle());
    if (arguments.empty()) return true;
    SetTitleForFile(arguments[0]);
    const std::string title = ApplicationTitle();

    QLocalSocket socket;
    socket.connectToServer(InstanceSocketName(title));
    if (!socket.waitForConnected(kWaitMs)) return true;
    // The instance compares the whole title: a name that only hashes alike is not it.
    socket.write(TitleBytes(title) + '\n');
    socket.flush();
    QElapsedTimer timer;
    timer.start();
    while (!socket.canReadLine() && timer.elapsed() < kWaitMs &&
           socket.state() == QLocalSocket::ConnectedState)
        socket.waitForReadyRead(kWaitMs - static_cast<int>(timer.elapsed()));
    QByteArray answer = socket.readLine().trimmed();
    socket.disconnectFromServer();
    return answer != "1";
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {
    SetTitleListener([this](const std::string& title) { Listen(title); });
    Listen(ApplicationTitle());
}

InstanceServer::~InstanceServer() {
    SetTitleListener(nullptr);
    if (server_) server_->close();
}

void InstanceServer::Listen(const std::string& title) {
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    const QString name = InstanceSocketName(title);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        // Either another instance shows the same title (two starts without a file), or an
        // instance that ended without cleaning up left its socket behind.
        QLocalSocket probe;
        probe.connectToServer(name);
        bool alive = probe.waitForConnected(200);
        probe.abort();
        if (alive || !QLocalServer::removeServer(name) || !server->listen(name)) {
            delete server;
            return;
        }
    }
    connect(server, &QLocalServer::newConnection, this, &InstanceServer::OnConnection);
    server_ = server;
}

void InstanceServer::OnConnection() {
    while (QLocalSocket* socket = server_ ? server_->nextPendingConnection() : nullptr) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 4096) socket->abort();
                return;
            }
            QByteArray line = socket->readLine();
            line.chop(1);
            bool match = line == TitleBytes(ApplicationTitle());
            socket->write(match ? "1\n" : "0\n");
            socket->flush();
            socket->disconnectFromServer();
            if (match && onActivate) onActivate();
        });
    }
}
