#include <QApplication>
#include <QMainWindow>

#include "platform/QtKeyStore.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    static QtKeyStore store;
    SetKeyStore(&store);
    LocateOptions opt;
    opt.programDirectory = RunningProgramDirectory();
    for (int i = 1; i < argc; ++i) opt.arguments.emplace_back(argv[i]);
    LocateIniFile(opt);
    InitTextDebug();
    QMainWindow w;
    w.setWindowTitle(QStringLiteral(u"Skarv-Editor, versjon 1.4.1"));
    w.resize(646, 515);
    w.show();
    return app.exec();
}
