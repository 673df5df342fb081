// The one failure type: every step that can fail throws it, and each event routine of the window
// catches it at its boundary, so a routine stops at the failing step and earlier steps stand.
#pragma once

#include <QString>
#include <stdexcept>

namespace tqm {

class Failure : public std::runtime_error {
public:
    explicit Failure(const QString &message)
        : std::runtime_error(message.toStdString())
        , message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

} // namespace tqm
