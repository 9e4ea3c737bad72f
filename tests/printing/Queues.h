#pragma once
// Print queues a test makes and removes itself, and what the print server holds about jobs.
#include <cups/cups.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <unistd.h>

// A cups-pdf queue of this test's own, writing its PDF files into `out` when one is given (the
// shared queues may write into another checkout's folder); the queue and its configuration
// file go on destruction if the test has not removed them.
struct TempQueue {
    QString name = "VokabisTmp" + QString::number(::getpid()) + "_" + QString::number(Count()++);
    QString conf = "/etc/cups/cups-pdf-" + name + ".conf";
    bool made = false;
    explicit TempQueue(const QString& out = {}) {
        if (!out.isEmpty()) {
            QDir().mkpath(out);
            QFile::setPermissions(out, QFileDevice::Permissions(0x7777));
            QFile f(conf);
            if (!f.open(QIODevice::WriteOnly)) return;
            f.write(QString("Out %1\nAnonDirName %1\nGrp lpadmin\n").arg(out).toUtf8());
        }
        made = QProcess::execute("lpadmin", {"-p", name, "-v", "cups-pdf:/" + name, "-E", "-m",
                                             "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd", "-o",
                                             "pdftops-renderer-default=pdftocairo"}) == 0;
    }
    void Remove() {
        if (made) QProcess::execute("lpadmin", {"-x", name});
        made = false;
    }
    ~TempQueue() {
        Remove();
        QFile::remove(conf);
    }
    static int& Count() {
        static int n = 0;
        return n;
    }
};

// The title of the newest job on the queue, finished or not; empty when it has none.
inline QString NewestJobTitle(const QString& queue) {
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs(&jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    QString title;
    int newest = 0;
    for (int i = 0; i < n; ++i)
        if (jobs[i].id > newest) {
            newest = jobs[i].id;
            title = QString::fromUtf8(jobs[i].title);
        }
    cupsFreeJobs(n, jobs);
    return title;
}

// While it lives, this process talks to a print server that is not running (a socket nobody
// listens on), as after the server was stopped; the shared server is left alone.
struct StoppedServer {
    QTemporaryDir dir;
    StoppedServer() { cupsSetServer((dir.path() + "/cups.sock").toUtf8().constData()); }
    ~StoppedServer() { cupsSetServer(nullptr); }
};
