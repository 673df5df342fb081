// Port map links: listing, setting by rename over the old link, removing.
#include "cli/port_links.h"

#include "commands/control_table.h"
#include "serial/failure.h"
#include "serial/network_address.h"
#include "serial/port_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tqm::cli {

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PortLinks::PortLinks(QString portsDir)
    : dir_(std::move(portsDir)) {}

QString PortLinks::path(int port) const {
    return dir_ + QStringLiteral("/com%1").arg(port);
}

PortLink PortLinks::link(int port) const {
    PortLink link;
    if (!QFileInfo(dir_).isDir()) {
        link.target = PortMap(dir_).devicePath(port);
        link.present = QFileInfo::exists(link.target);
        return link;
    }
    // The target as written in the link, not as resolved.
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path(port)).constData(), buf, sizeof buf);
    if (n > 0)
        link.target = QString::fromLocal8Bit(buf, qsizetype(n));
    else if (QFileInfo::exists(path(port)))
        link.target = path(port);
    link.present = QFileInfo::exists(path(port));
    link.network = looksLikeUrl(link.target);
    return link;
}

void PortLinks::set(int port, const QString &target, bool &created) {
    created = false;
    if (!QFileInfo(dir_).isDir()) {
        if (!QDir().mkpath(dir_))
            throw Failure(QStringLiteral("cannot create %1").arg(dir_));
        created = true;
    }
    const QByteArray link = QFile::encodeName(path(port));
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw Failure(QStringLiteral("%1 exists and is not a link; left alone").arg(path(port)));
    const QByteArray temp = link + ".new" + QByteArray::number(qint64(::getpid()));
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(target).constData(), temp.constData()) != 0 ||
        ::rename(temp.constData(), link.constData()) != 0) {
        const QString why = systemError();
        ::unlink(temp.constData());
        throw Failure(QStringLiteral("cannot link %1: %2").arg(path(port), why));
    }
}

void PortLinks::remove(int port) {
    const QByteArray link = QFile::encodeName(path(port));
    struct stat st {};
    if (::lstat(link.constData(), &st) != 0)
        return;
    if (!S_ISLNK(st.st_mode))
        throw Failure(QStringLiteral("%1 is not a link; left alone").arg(path(port)));
    if (::unlink(link.constData()) != 0)
        throw Failure(QStringLiteral("cannot remove %1: %2").arg(path(port), systemError()));
}

int parseComName(const QString &name) {
    static const QRegularExpression com(QStringLiteral("^com([1-9])$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(name);
    const int port = m.hasMatch() ? m.captured(1).toInt() : 0;
    return port <= kComPorts ? port : 0;
}

} // namespace tqm::cli
