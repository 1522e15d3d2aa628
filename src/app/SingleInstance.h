#pragma once
// One instance per file. An instance is known by its application title ("PROG.NC -
// Skarv-Editor"): each running instance listens on a local socket named after its title and
// the user, in a folder only that user can reach. A start with a file looks for the
// instance with that title and hands over to it.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;

// The socket an instance with this title listens on (per user, private folder).
QString InstanceSocketName(const std::string& title);

// False when another instance already shows the first argument's file: it has been told
// to come to the front, and this process ends without a window. True otherwise (always
// with no argument). Sets SavedTitle, and the title for the file.
bool ActivatePreviousInstance(const std::vector<std::string>& arguments);

// The listening side: follows the application title and runs onActivate when another
// start hands over.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);
    ~InstanceServer() override;
    std::function<void()> onActivate;
    void Listen(const std::string& title);

private:
    void OnConnection();
    QLocalServer* server_ = nullptr;
};
