#pragma once
// What the print server itself says about a queue and its jobs. Qt's print engine hands the
// spooled file to the server without telling whether it was taken, so a print is counted as
// done only when the server shows the job.
#include <QString>

namespace printing {

enum class QueueState { Ready, Gone, ServerDown };

// Whether the server runs and has a queue of this name.
QueueState CheckQueue(const QString& queue);
// The highest job number of the queue the server remembers, finished jobs included; 0 when none.
int LastJobNumber(const QString& queue);
// Whether the server has a job of this user newer than `after` with this title on the queue.
bool JobQueued(const QString& queue, int after, const QString& title);

} // namespace printing
