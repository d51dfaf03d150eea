#pragma once
// A failure reported by a layer that knows nothing of the program's error numbers: the kind of
// failure from that layer's own list, and a description naming what failed and why. The layer
// above maps the kind to its own error.
#include <QString>
#include <stdexcept>

namespace bf {

template <class Status>
class StatusError : public std::runtime_error {
public:
    StatusError(Status status, const QString& detail)
        : std::runtime_error(detail.toStdString()), status_(status), detail_(detail)
    {
    }
    Status status() const noexcept { return status_; }
    const QString& detail() const noexcept { return detail_; }

private:
    Status status_;
    QString detail_;
};

} // namespace bf
