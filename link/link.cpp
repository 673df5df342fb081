// The link's transcript and its record of losses and returns.
#include "link/link.h"

#include "commands/clock.h"
#include "receive/transcript.h"
#include "serial/serial_control.h"

namespace tqm {

Link::Link(SerialControl &port, const Clock &clock, QObject *parent)
    : QObject(parent)
    , port_(port)
    , clock_(clock) {
    connect(&port_, &SerialControl::linkLost, this, [this](const QString &reason) {
        const QDateTime at = clock_.now();
        LinkLoss &loss = losses_[port_.commPort()];
        if (loss.losses == 0)
            loss.since = at;
        loss.reason = reason;
        loss.away = at;
        loss.back = QDateTime();
        ++loss.losses;
        emit lossChanged(port_.commPort());
    });
    connect(&port_, &SerialControl::linkRestored, this, [this] {
        const auto found = losses_.find(port_.commPort());
        if (found == losses_.end())
            return;
        found->second.back = clock_.now();
        emit lossChanged(found->first);
    });
}

Link::~Link() = default;

QList<int> Link::probeComPorts(const PortCheck &check) {
    if (transcript_)
        transcript_->setPaused(true);
    QList<int> found = tqm::probeComPorts(port_, check);
    if (transcript_)
        transcript_->setPaused(false);
    return found;
}

bool Link::attachTranscript(const QString &path, std::function<QString()> portName,
                            const QString &program, const QString &version) {
    transcript_ = std::make_shared<Transcript>();
    connect(transcript_.get(), &Transcript::failed, this, &Link::transcriptFailed);
    if (!transcript_->open(path, program, version))
        return false;
    transcript_->attach(port_, std::move(portName));
    return true;
}

bool Link::shareTranscript(const Link &first, std::function<QString()> portName) {
    if (!first.transcript_ || !first.transcript_->isOpen())
        return false;
    transcript_ = first.transcript_;
    transcript_->attach(port_, std::move(portName));
    return true;
}

const LinkLoss *Link::loss(int port) const {
    const auto found = losses_.find(port);
    return found == losses_.end() ? nullptr : &found->second;
}

void Link::clearLoss(int port) {
    losses_.erase(port);
}

} // namespace tqm
