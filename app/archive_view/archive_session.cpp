#include "archive_view/archive_session.h"

namespace ksx4 {

ArchiveSession::~ArchiveSession() {
    // The connection is closed on the thread that opened it.
    worker_.run([this] { archive_.reset(); });
}

void ArchiveSession::open(const archive::ArchiveLocation& location) {
    location_ = location;
    worker_.post([this, location] {
        archive_.reset();
        auto opened = archive::Archive::open(location, archive::Archive::Access::ReadOnly);
        if (auto* failure = std::get_if<archive::ArchiveError>(&opened)) {
            failure_ = *failure;
        } else {
            archive_ = std::move(std::get<std::unique_ptr<archive::Archive>>(opened));
        }
    });
}

void ArchiveSession::fetchPage(const archive::ListFilter& filter, const archive::ListOrder& order,
                               const archive::ListPage& page, std::function<void(Page)> answered) {
    worker_.post([this, filter, order, page, answered = std::move(answered)] {
        Page result = archive::ArchiveError{};
        if (archive::Archive* a = opened(result)) result = a->list(filter, order, page);
        answered(std::move(result));
    });
}

}  // namespace ksx4
