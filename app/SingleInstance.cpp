#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 5000;
constexpr qint64 kMaxMessage = 64 * 1024; // a word, two tokens: anything longer is not ours

QString UserId() {
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

// In the shared temporary folder another user could have put a socket of that name first;
// only the user's own is ever talked to.
bool Ours(const QString& name) {
#ifdef Q_OS_UNIX
    const QFileInfo f(name);
    return !f.isAbsolute() || !f.exists() || f.ownerId() == ::getuid();
#else
    Q_UNUSED(name);
    return true;
#endif
}

bool SomeoneAnswers(const QString& name) {
    QLocalSocket probe;
    probe.connectToServer(name);
    return probe.waitForConnected(kConnectMs);
}

} // namespace

SingleInstance::SingleInstance(const QString& dictionary, QObject* parent)
    : QObject(parent), name_(ServerName(dictionary)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

QString SingleInstance::ServerName(const QString& dictionary) {
    const QFileInfo file(dictionary);
    // The file may not exist yet (a new user's first start): then its folder as it will be.
    const QString canonical = file.exists() ? file.canonicalFilePath() : QDir::cleanPath(file.absoluteFilePath());
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
#ifdef Q_OS_UNIX
    // The runtime folder is the user's own (0700); without one, the user's id keeps names apart.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).ownerId() == ::getuid())
        return runtime + "/vokabis-" + hash;
    return QDir::tempPath() + "/vokabis-" + UserId() + "-" + hash;
#else
    return "vokabis-" + UserId() + "-" + hash; // a named pipe of the session
#endif
}

SingleInstance::Handed SingleInstance::HandOver(const QStringList& message) {
    if (!Ours(name_)) return Handed::NobodyRunning;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMs)) return Handed::NobodyRunning;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << message;
    socket.write(bytes);
    if (!socket.waitForBytesWritten(kAnswerMs)) return Handed::NoAnswer;
    // The running program answers once it has shown the request.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(kAnswerMs)) return Handed::NoAnswer;
    return socket.read(1) == "1" ? Handed::Yes : Handed::NoAnswer;
}

SingleInstance::Handed SingleInstance::HandOverOrListen(const QStringList& message) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Handed handed = HandOver(message);
        if (handed != Handed::NobodyRunning || Listen()) return handed;
        // Else another start won the socket a moment ago: hand over to it.
    }
    return Handed::NobodyRunning;
}

bool SingleInstance::Listen() {
    if (server_.listen(name_)) return true;
    if (server_.serverError() != QAbstractSocket::AddressInUseError || !Ours(name_)) return false;
    // Another start may have won the socket meanwhile; otherwise it is a crashed program's.
    if (SomeoneAnswers(name_)) return false;
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kAnswerMs, socket, [socket] { socket->abort(); }); // a start that hangs
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessage) return socket->abort();
            QDataStream in(socket);
            in.startTransaction();
            QStringList message;
            in >> message;
            if (!in.commitTransaction()) return; // the rest is still on its way
            emit received(message);
            socket->write("1");
            socket->disconnectFromServer();
        });
    }
}
