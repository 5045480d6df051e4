#pragma once

// Reading rows off the window's thread: a few worker threads read files through the
// document's readers and hand the results back to the window's thread, where the model
// takes them (takeResults) when told (resultsReady). Nothing here touches a widget or
// the model; a file on a stalled mount holds up one worker, never the window.

#include "catalogue/document.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tressel {

struct RowReadRequest {
    int record = -1;
    uint64_t ticket = 0; // the model's mark of this read, handed back with its result
    std::string path;
    bool scanAll = false;
    const ReaderTable* table = nullptr; // outlives the reader (the document's table)
};

struct RowReadResult {
    int record = -1;
    uint64_t ticket = 0;
    InformationResult information;
    std::string error; // what a reader threw, when one did
};

class CRowReader : public QObject {
    Q_OBJECT
public:
    CRowReader(int threads, QObject* parent = nullptr);
    // Requests not yet started are dropped. A worker still inside a read finishes it
    // on its own and its result goes nowhere.
    ~CRowReader() override;

    // Urgent requests (rows on screen) go before the others, the latest first: the rows
    // the user scrolled to last. Background requests go in the order given.
    void request(RowReadRequest request, bool urgent);
    // Moves a queued background request to the urgent ones (its row came into view).
    void hurry(uint64_t ticket);
    // Drops every row request not yet started (tasks stay).
    void clear();
    // Runs task on a worker before any row waiting: other jobs that read files (the
    // preview) share these threads. The task hands its own result back.
    void run(std::function<void()> task);

    std::vector<RowReadResult> takeResults();
    // Waits until a result is ready or the time is up; true when one is ready.
    bool waitForResult(std::chrono::milliseconds timeout);

signals:
    // Results are waiting (sent once until they are taken).
    void resultsReady();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace tressel
