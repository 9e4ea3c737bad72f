// Vokabis: opens the dictionary beside the program and shows the main window.
#include "app/Session.h"
#include "app/Startup.h"
#include "db/Files.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTranslator>

#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>

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
const char* const kHelp =
    "vokabis – englesko-hrvatski rječnik / English-Croatian dictionary\n"
    "\n"
    "  vokabis             otvara prozor rječnika / opens the dictionary window\n"
    "  vokabis -h, --help  ova pomoć / this help\n"
    "  vokabis --version   inačica programa / the program's version\n"
    "\n"
    "Uvoz, izvoz i pričuvne kopije rječnika / import, export and backups: vokabis-db --help\n"
    "Izlazni kodovi / exit codes: 0 u redu / ok, 1 pogreška / error, 2 pogrešna uporaba / usage.\n";

// Qt's own options keep working as before; those named here take the next argument as their value.
bool IsQtOption(std::string_view a, bool* takesValue) {
    if (a.starts_with("--")) a.remove_prefix(1);
    const bool hasValue = a.find('=') != std::string_view::npos;
    a = a.substr(0, a.find('='));
    for (const char* o : {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
                          "-qwindowtitle", "-qwindowicon", "-style", "-stylesheet", "-session", "-display", "-geometry"})
        if (a == o) {
            *takesValue = !hasValue;
            return true;
        }
    *takesValue = false;
    return a == "-reverse" || a == "-widgetcount" || a == "-nograb" || a == "-dograb" || a == "-sync";
}

// Help, version and wrong options are answered before Qt starts, so they need no display.
std::optional<int> AnswerOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help") {
            std::cout << kHelp;
            return 0;
        }
        if (a == "--version") {
            std::cout << "Vokabis " VOKABIS_VERSION "\n";
            return 0;
        }
        bool takesValue = false;
        if (IsQtOption(a, &takesValue)) {
            i += takesValue;
        } else if (a.starts_with('-') && a != "-") {
            std::cerr << "Nepoznata opcija: " << a << "\nPopis opcija daje: vokabis --help\n";
            return 2;
        }
    }
    return std::nullopt;
}
} // namespace

int main(int argc, char** argv) {
    db::files::NoCoreDumps(); // a crash must not leave the pairs and the key in a file
    if (const std::optional<int> done = AnswerOptions(argc, argv)) return *done;
    QApplication app(argc, argv);
    // The name gives an installed program's per-user folder, ~/.local/share/vokabis.
    QCoreApplication::setApplicationName("vokabis");
    QGuiApplication::setDesktopFileName("hr.vokabis.Vokabis");
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/icons/%1x%1/apps/hr.vokabis.Vokabis.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    QTranslator qtTranslator; // Croatian texts for Qt's own buttons and dialogs
    if (qtTranslator.load(QLocale(QLocale::Croatian, QLocale::Croatia), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);
    QuitOnTerminate(app);
    MainWindow* window = StartUp(QCoreApplication::applicationDirPath());
    if (!window) return 1;
    Session session(window);
    const int rc = app.exec();
    try {
        session.End();
    } catch (const std::exception& e) {
        const QString text = "Pričuvna kopija rječnika nije napravljena.\n\n" + QString::fromUtf8(e.what());
        std::cerr << text.toStdString() << "\n";
        if (!terminated) QMessageBox::warning(nullptr, "Pogreška", text); // nobody answers a box at logout
    }
    return rc;
}
