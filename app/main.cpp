// Vokabis: opens the dictionary beside the program and shows the main window.
#include "app/Activation.h"
#include "app/CommandLine.h"
#include "app/Session.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "core/Module1.h"
#include "db/Files.h"
#include "dictionary/MainWindow.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QTranslator>

#include <iostream>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace {
bool terminated = false;

#ifdef Q_OS_UNIX
int signalPipe[2] = {-1, -1};

// A logout or `kill` ends the run through the event loop, so the dictionary is closed
// the same way as when the user closes the window.
void OnTerminate(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

void QuitOnTerminate(QApplication& app) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        terminated = true;
        QApplication::closeAllWindows();
        QApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}
#else
// Elsewhere a logout reaches the program through Qt, which closes the windows and quits itself.
void QuitOnTerminate(QApplication&) {}
#endif

// The program's name, icon and Croatian texts for Qt's own buttons and dialogs.
void Introduce(QApplication& app, QTranslator& qtTranslator) {
    // The name gives an installed program's per-user folder, ~/.local/share/vokabis.
    QCoreApplication::setApplicationName("vokabis");
    QGuiApplication::setDesktopFileName("hr.vokabis.Vokabis");
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/icons/%1x%1/apps/hr.vokabis.Vokabis.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    if (qtTranslator.load(QLocale(QLocale::Croatian, QLocale::Croatia), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);
}
} // namespace

int main(int argc, char** argv) {
    db::files::NoCoreDumps(); // a crash must not leave the pairs and the key in a file
    CommandLine command = ReadCommandLine(argc, argv, std::cout, std::cerr);
    if (command.exitCode) return *command.exitCode;
    // Read before Qt starts: the X11 connection takes the startup id out of the environment.
    command.request.startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    command.request.activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    QApplication app(argc, argv);
    QTranslator qtTranslator;
    Introduce(app, qtTranslator);
    // A program already running on this user's dictionary shows the look-up, and this start ends.
    SingleInstance instance(Module1::FindLayout(QCoreApplication::applicationDirPath()).dictionary);
    command.request.launchTime = LaunchTime(command.request.startupId);
    switch (instance.HandOverOrListen(command.request.ToMessage())) {
    case SingleInstance::Handed::Yes:
        return 0;
    case SingleInstance::Handed::NoAnswer:
        std::cerr << "Vokabis je već pokrenut s istim rječnikom, ali ne odgovara. Zatvorite ga pa pokušajte ponovno.\n";
        return 1;
    case SingleInstance::Handed::NobodyRunning:
        break;
    }
    QuitOnTerminate(app);
    // A look-up handed over while the window is still being made waits for it.
    QPointer<MainWindow> window;
    LookUpRequest pending = command.request;
    QObject::connect(&instance, &SingleInstance::received, [&](const QStringList& message) {
        const std::optional<LookUpRequest> request = LookUpRequest::FromMessage(message);
        if (request && window) ShowLookUp(window, *request);
        else if (request && (request->Asks() || !pending.Asks())) pending = *request;
    });
    window = StartUp(QCoreApplication::applicationDirPath());
    if (!window) return 1;
    if (pending.Asks()) ShowLookUp(window, pending);
    Session session(window);
    const int rc = app.exec();
    instance.Stop(); // a start from now on opens a window of its own
    try {
        session.End();
    } catch (const std::exception& e) {
        const QString text = "Pričuvna kopija rječnika nije napravljena.\n\n" + QString::fromUtf8(e.what());
        std::cerr << text.toStdString() << "\n";
        if (!terminated) QMessageBox::warning(nullptr, "Pogreška", text); // nobody answers a box at logout
    }
    return rc;
}
