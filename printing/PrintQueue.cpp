#include "printing/PrintQueue.h"

#include <cups/cups.h>

#include <memory>

namespace printing {

namespace {

// A connection of its own to the configured server, or null when nothing answers there.
struct HttpClose {
    void operator()(http_t* h) const { httpClose(h); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

Http Connect() {
    return Http(httpConnect2(cupsServer(), ippPort(), nullptr, 0 /* any address family */, cupsEncryption(), 1, 5000, nullptr));
}

// Calls f on each job of the queue the server remembers; false when the server cannot be asked.
template <class F>
bool EachJob(const QString& queue, F f) {
    const Http http = Connect();
    if (!http) return false;
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(http.get(), &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    for (int i = 0; i < n; ++i) f(jobs[i]);
    cupsFreeJobs(n, jobs);
    return n >= 0;
}

} // namespace

QueueState CheckQueue(const QString& queue) {
    const Http http = Connect();
    if (!http) return QueueState::ServerDown;
    cups_dest_t* dest = cupsGetNamedDest(http.get(), queue.toUtf8().constData(), nullptr);
    if (!dest) return QueueState::Gone;
    cupsFreeDests(1, dest);
    return QueueState::Ready;
}

int LastJobNumber(const QString& queue) {
    int last = 0;
    EachJob(queue, [&](const cups_job_t& j) { last = std::max(last, j.id); });
    return last;
}

bool JobQueued(const QString& queue, int after, const QString& title) {
    bool found = false;
    const QByteArray user = cupsUser(), wanted = title.toUtf8();
    EachJob(queue, [&](const cups_job_t& j) {
        found = found || (j.id > after && wanted == j.title && user == j.user);
    });
    return found;
}

} // namespace printing
