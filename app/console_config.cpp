// Reading console.conf.
#include "app/console_config.h"

#include "app/main_window.h"
#include "receive/transcript.h"
#include "serial/port_map.h"

#include <QCoreApplication>

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

std::unique_ptr<Transcript> startTranscript(const QString &option, MainWindow &window,
                                            SerialControl &mscom1) {
    const QString path = option.isEmpty() ? configuredTranscript(PortMap::defaultConfigDir(),
                                                                 QDateTime::currentDateTime())
                                          : option;
    if (path.isEmpty())
        return nullptr;
    auto transcript = std::make_unique<Transcript>();
    window.setTranscript(transcript.get());
    if (transcript->open(path, QCoreApplication::applicationName(),
                         QCoreApplication::applicationVersion()))
        transcript->attach(mscom1);
    return transcript;
}

} // namespace tqm
