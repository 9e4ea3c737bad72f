#pragma once
// One window per user and dictionary: the first start listens on a local socket named after the
// user and the dictionary file; a later start hands its command line over it and ends.
#include <QLocalServer>
#include <QObject>
#include <QStringList>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // dictionary: the file this start would open (it need not exist yet).
    explicit SingleInstance(const QString& dictionary, QObject* parent = nullptr);

    // The socket's name: the user's runtime folder when there is one, else the temporary folder
    // with the user's id in the name; a hash of the dictionary's canonical path in both.
    static QString ServerName(const QString& dictionary);

    enum class Handed { Yes, NobodyRunning, NoAnswer };
    // Hands message to the running program of this user and dictionary, if there is one, and
    // waits until it has taken it; when there is none, this program becomes the running one
    // (if the socket cannot be made, every start opens its own window, as before).
    Handed HandOverOrListen(const QStringList& message);
    void Stop() { server_.close(); }

signals:
    void received(const QStringList& message);

private:
    Handed HandOver(const QStringList& message);
    // Makes this program the running one; false when the socket cannot be made. A socket left
    // by a program that crashed is replaced.
    bool Listen();
    void Accept();

    QString name_;
    QLocalServer server_;
};
