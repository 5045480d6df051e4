#include "row_reader.h"

#include <QMetaObject>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace tressel {

// What the workers and the window's thread share. The workers hold it too, so a worker
// that outlives the reader (stuck in a read) still finds it.
struct CRowReader::Shared {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable done;
    std::deque<RowReadRequest> urgent; // newest at the back, taken from the back
    std::deque<RowReadRequest> background;
    std::deque<std::function<void()>> tasks; // before any row, in the order given
    std::vector<RowReadResult> results;
    CRowReader* owner = nullptr; // null once the reader is gone
    bool stopping = false;
    bool told = false; // resultsReady sent and the results not yet taken

    // A task when one waits (out is then left alone), else a row request.
    bool nextRequest(RowReadRequest& out, std::function<void()>& task) {
        std::unique_lock lock(mutex);
        work.wait(lock, [&] {
            return stopping || !tasks.empty() || !urgent.empty() || !background.empty();
        });
        if (stopping)
            return false;
        if (!tasks.empty()) {
            task = std::move(tasks.front());
            tasks.pop_front();
            return true;
        }
        std::deque<RowReadRequest>& from = urgent.empty() ? background : urgent;
        if (&from == &urgent) {
            out = std::move(urgent.back());
            urgent.pop_back();
        } else {
            out = std::move(background.front());
            background.pop_front();
        }
        return true;
    }

    void deliver(RowReadResult result) {
        std::lock_guard lock(mutex);
        if (!owner)
            return;
        results.push_back(std::move(result));
        done.notify_all();
        if (!told) {
            told = true;
            // Under the lock: the owner cannot be destroyed meanwhile.
            QMetaObject::invokeMethod(
                owner, [o = owner] { emit o->resultsReady(); }, Qt::QueuedConnection);
        }
    }
};

namespace {

RowReadResult Read(const RowReadRequest& request) {
    RowReadResult result;
    result.record = request.record;
    result.ticket = request.ticket;
    try {
        result.information = CMarlockUtilDoc::ReadInformationOfPath(
            request.table ? *request.table : DefaultReaderTable(), request.path, request.scanAll);
    } catch (const std::exception& e) {
        result.error = e.what();
    } catch (...) {
        result.error = "reading failed";
    }
    return result;
}

} // namespace

CRowReader::CRowReader(int threads, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
    for (int i = 0; i < std::max(threads, 1); ++i) {
        std::thread([shared = m_shared] {
            RowReadRequest request;
            std::function<void()> task;
            while (shared->nextRequest(request, task)) {
                if (task)
                    std::exchange(task, {})();
                else
                    shared->deliver(Read(request));
            }
        }).detach();
    }
}

CRowReader::~CRowReader() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->owner = nullptr;
        m_shared->stopping = true;
        m_shared->urgent.clear();
        m_shared->background.clear();
        m_shared->tasks.clear();
    }
    m_shared->work.notify_all();
}

void CRowReader::run(std::function<void()> task) {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->tasks.push_back(std::move(task));
    }
    m_shared->work.notify_one();
}

void CRowReader::request(RowReadRequest request, bool urgent) {
    {
        std::lock_guard lock(m_shared->mutex);
        (urgent ? m_shared->urgent : m_shared->background).push_back(std::move(request));
    }
    m_shared->work.notify_one();
}

void CRowReader::hurry(uint64_t ticket) {
    std::lock_guard lock(m_shared->mutex);
    auto& background = m_shared->background;
    const auto found = std::find_if(background.begin(), background.end(),
                                    [&](const RowReadRequest& r) { return r.ticket == ticket; });
    if (found == background.end())
        return;
    m_shared->urgent.push_back(std::move(*found));
    background.erase(found);
}

void CRowReader::clear() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->urgent.clear();
    m_shared->background.clear();
}

std::vector<RowReadResult> CRowReader::takeResults() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->told = false;
    return std::exchange(m_shared->results, {});
}

bool CRowReader::waitForResult(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->done.wait_for(lock, timeout, [&] { return !m_shared->results.empty(); });
}

} // namespace tressel
