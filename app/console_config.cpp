// Reading console.conf.
#include "app/console_config.h"

#include "link/link.h"
#include "receive/transcript.h"
#include "serial/port_map.h"

#include <QFile>

namespace tqm {

QString configuredTranscript(const QString &folder, const QDateTime &start) {
    QFile conf(folder + QStringLiteral("/console.conf"));
    if (!conf.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString pattern;
    while (!conf.atEnd()) {
        const QString line = QString::fromUtf8(conf.readLine()).trimmed();
        if (line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && QStringView(line).first(eq).trimmed() == u"transcript")
            pattern = line.mid(eq + 1).trimmed(); // the last such line counts
    }
    return pattern.isEmpty() ? QString() : expandTranscriptPath(pattern, start, folder);
}

void startTranscript(const QString &option, Link &link) {
    const QString path = option.isEmpty() ? configuredTranscript(PortMap::defaultConfigDir(),
                                                                 QDateTime::currentDateTime())
                                          : option;
    if (!path.isEmpty())
        link.attachTranscript(path);
}

} // namespace tqm
