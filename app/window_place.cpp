// A console started while another is on the screen opens apart from it: neither hides the other,
// and a screen reader, which takes two windows of one name at one place for the same window,
// speaks the new one's title.
#include "app/window_place.h"

#include <QStandardPaths>
#include <QWidget>

namespace tqm {

namespace {

constexpr int kPlaces = 8;
constexpr int kStep = 32; // pixels right and down from one place to the next

} // namespace

std::unique_ptr<QLockFile> placeApart(QWidget &window) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    for (int place = 0; place < kPlaces; ++place) {
        auto lock = std::make_unique<QLockFile>(
            QStringLiteral("%1/tqm810-console-place-%2.lock").arg(dir).arg(place));
        lock->setStaleLockTime(0); // only a lock whose console has ended is stale
        if (!lock->tryLock(0))
            continue;
        if (place > 0)
            window.move(place * kStep, place * kStep);
        return lock;
    }
    return nullptr;
}

} // namespace tqm
