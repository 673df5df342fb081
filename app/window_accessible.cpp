// The window as a frame, so that a screen reader presents it as one when it opens, and the
// notice as a notification, which a screen reader speaks when it shows.
#include "app/window_accessible.h"

#include "app/main_window.h"
#include "app/reply_speech.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace tqm {

namespace {

class NoticeAccessible : public QAccessibleWidget {
public:
    explicit NoticeAccessible(SpokenNotice *notice)
        : QAccessibleWidget(notice, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return static_cast<SpokenNotice *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *factory(const QString &, QObject *object) {
    if (auto *window = qobject_cast<MainWindow *>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    if (auto *notice = qobject_cast<SpokenNotice *>(object))
        return new NoticeAccessible(notice);
    return nullptr;
}

} // namespace

void installWindowAccessibility() {
    static const bool installed = (QAccessible::installFactory(factory), true);
    Q_UNUSED(installed);
}

} // namespace tqm
