#pragma once
// What a start of the program asks for: help, the version, or the window with a word looked up.
#include <QString>
#include <QStringList>

#include <iosfwd>
#include <optional>

// A word to show in the window, typed on the command line or selected in another program.
struct LookUpRequest {
    enum class Box { Either, English, Croatian };
    Box box = Box::Either;
    bool selection = false; // the text the user has selected (X11's primary selection), else the clipboard
    QString text;
    // The window manager's permission to bring the window forward, from the start that asked:
    // its startup id (X11) or activation token (Wayland), and on X11 the server's time of it.
    QString startupId, activationToken;
    quint32 launchTime = 0;

    bool Asks() const { return selection || !text.isEmpty(); }
    // How a second start hands the request to the running program, and back.
    QStringList ToMessage() const;
    static std::optional<LookUpRequest> FromMessage(const QStringList& message);
};

struct CommandLine {
    std::optional<int> exitCode; // set when the start ends here: help, version, wrong usage
    LookUpRequest request;
};

// Reads argv before Qt starts, so help, version and wrong usage need no display; the answers
// go to out and err. Qt's own options are passed over. A word's arguments are joined by spaces.
CommandLine ReadCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);
