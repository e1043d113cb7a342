#pragma once
// The archive as a window uses it: one archive connection on a worker
// thread of its own, so that no query blocks the user interface thread.
// Operations wait for their answer through the operator's waitFor (the
// window keeps painting); the table's pages arrive as they are answered.
#include "archive/archive.h"
#include "platform/serial_worker.h"

#include <functional>
#include <memory>
#include <vector>

namespace ksx4 {

class ArchiveSession {
  public:
    ArchiveSession() = default;
    // Waits for every query still running.
    ~ArchiveSession();
    ArchiveSession(const ArchiveSession&) = delete;
    ArchiveSession& operator=(const ArchiveSession&) = delete;

    // Opens location (read only) for the calls that follow; its failure is
    // the answer to every later call until the next open.
    void open(const archive::ArchiveLocation& location);
    const archive::ArchiveLocation& location() const { return location_; }

    using Page = archive::Result<std::vector<archive::ReportSummary>>;
    // Queues the page query; answered calls answer on the worker thread.
    void fetchPage(const archive::ListFilter& filter, const archive::ListOrder& order,
                   const archive::ListPage& page, std::function<void(Page)> answered);

    // Runs query on the worker thread and waits for it (blocking the
    // caller: from the user interface thread, call it inside waitFor).
    template <class T>
    archive::Result<T> call(const std::function<archive::Result<T>(archive::Archive&)>& query) {
        archive::Result<T> result = archive::ArchiveError{};
        worker_.run([&] {
            if (archive::Archive* a = opened(result)) result = query(*a);
        });
        return result;
    }

    // Queues query without waiting; answered gets its result on the worker
    // thread (hand it back to the user interface thread from there).
    template <class T>
    void ask(std::function<archive::Result<T>(archive::Archive&)> query,
             std::function<void(archive::Result<T>)> answered) {
        worker_.post([this, query = std::move(query), answered = std::move(answered)] {
            archive::Result<T> result = archive::ArchiveError{};
            if (archive::Archive* a = opened(result)) result = query(*a);
            answered(std::move(result));
        });
    }

    // Waits until every query queued so far has been answered.
    void waitIdle() { worker_.waitIdle(); }

  private:
    // The open archive, or nullptr with the failure put into result.
    template <class T>
    archive::Archive* opened(archive::Result<T>& result) {
        if (archive_) return archive_.get();
        result = failure_;
        return nullptr;
    }

    archive::ArchiveLocation location_;
    // Touched on the worker thread only.
    std::unique_ptr<archive::Archive> archive_;
    archive::ArchiveError failure_{QStringLiteral("no archive opened")};
    SerialWorker worker_;  // last: ends before the archive goes
};

}  // namespace ksx4
