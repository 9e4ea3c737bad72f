#pragma once
// Print queues a test makes and removes itself, and what the print server holds about jobs.
#include "ListFixture.h"

#include "printing/QtTargets.h"

#include <cups/cups.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QtPrintSupport>

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

// The program's printer, printing to A4 in the PDF file given, or to its queue without one.
inline QPrinter& UsePrinter(const QString& pdf = {}) {
    QPrinter& printer = printing::AppPrinter();
    printer.setOutputFileName(pdf);
    printer.setOutputFormat(pdf.isEmpty() ? QPrinter::NativeFormat : QPrinter::PdfFormat);
    if (!pdf.isEmpty()) printer.setPageSize(QPageSize(QPageSize::A4));
    return printer;
}

// The PDF file the queue made of its last job in out, once nothing is left waiting on it; empty
// when none came within 15 s.
inline QString WaitForJob(const QString& queue, const QDir& out) {
    for (int i = 0; i < 300; ++i) {
        QTest::qWait(50);
        if (!RunTool("lpstat", {"-W", "not-completed", "-o", queue}).trimmed().isEmpty()) continue;
        for (const QString& f : out.entryList({"*.pdf"}, QDir::Files, QDir::Time))
            if (QFileInfo(out.filePath(f)).size() > 0) return out.filePath(f);
    }
    return {};
}

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

// While it lives, this process talks to a print server that has been stopped: a private one,
// started on a socket of its own and then really ended (as root, where cupsd can run), so the
// shared server the other tests print on is left alone. Elsewhere the socket is one nobody
// ever listened on, which the client sees the same way.
struct StoppedServer {
    QTemporaryDir dir;
    bool wasRunning = false; // the private server answered before it was stopped
    StoppedServer() {
        const QString root = dir.path(), socket = root + "/cups.sock";
        for (const char* sub : {"cache", "state", "spool", "tmp", "log"}) QDir(root).mkpath(sub);
        Write(root + "/cupsd.conf", "Listen " + socket + "\nLogLevel warn\n");
        Write(root + "/cups-files.conf", QString("ServerRoot %1\nCacheDir %1/cache\nStateDir %1/state\nRequestRoot %1/spool\n"
                                                 "TempDir %1/tmp\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                                 "PageLog %1/log/page_log\n")
                                             .arg(root));
        if (::geteuid() == 0 && QFile::exists("/usr/sbin/cupsd")) {
            QProcess server;
            server.start("/usr/sbin/cupsd", {"-f", "-c", root + "/cupsd.conf", "-s", root + "/cups-files.conf"});
            server.waitForStarted();
            for (int i = 0; i < 100 && !wasRunning && server.state() == QProcess::Running; ++i) {
                QProcess ask;
                ask.start("lpstat", {"-h", socket, "-r"});
                ask.waitForFinished();
                wasRunning = ask.readAllStandardOutput().contains("is running");
                if (!wasRunning) ::usleep(50000);
            }
            server.terminate();
            server.waitForFinished();
        }
        cupsSetServer(socket.toUtf8().constData());
    }
    ~StoppedServer() { cupsSetServer(nullptr); }
    static void Write(const QString& path, const QString& text) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
    }
};
