// Vokabis: opens the dictionary beside the program and shows the main window.
#include "app/Module1.h"
#include "dictionary/MainWindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTranslator qtTranslator; // Croatian texts for Qt's own buttons and dialogs
    if (qtTranslator.load(QLocale(QLocale::Croatian, QLocale::Croatia), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);
    try {
        Module1::OpenDictionaryAndReadSettings(QCoreApplication::applicationDirPath());
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Pogreška",
                              "Vokabis se ne može pokrenuti.\n\n" + QString::fromUtf8(e.what()));
        return 1;
    }
    auto* form4 = new MainWindow;
    form4->setAttribute(Qt::WA_DeleteOnClose);
    form4->show();
    return app.exec();
}
