#pragma once
#include <QPointer>
#include <QString>

#include <string>

class MainWindow;

// One run of the program on its dictionary, from the main window's start to its end.
class Session {
public:
    explicit Session(MainWindow* window);
    // Closes the main window (when still open) and the dictionary; when the run changed the
    // pairs or the settings, copies the dictionary into Backup/ beside it (not when it was found
    // damaged). Returns the copy's path, empty when there was nothing to copy; throws
    // db::EngineError when the copy failed.
    QString End();

private:
    QPointer<MainWindow> window_;
    std::string path_;
    long long changesBefore_ = 0;
};
