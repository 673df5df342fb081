// The port map's comN links, seen and changed without typing `ln -s`.
#pragma once

#include <QString>

namespace tqm::cli {

struct PortLink {
    QString target; // where COMn leads; empty: nowhere
    bool present = false;
    bool network = false; // the target is a device server's URL: never probed here
};

class PortLinks {
public:
    explicit PortLinks(QString portsDir);

    // What COMn is now: the link's target, or without the folder the fallback device name.
    PortLink link(int port) const;

    // Points COMn at `target` atomically (the name is never missing); `created` tells whether
    // the folder had to be made. Throws Failure.
    void set(int port, const QString &target, bool &created);
    // Throws Failure; removing a missing link is no error.
    void remove(int port);

private:
    QString path(int port) const;
    QString dir_;
};

// "com3", "COM3" -> 3; 0 for anything else.
int parseComName(const QString &name);

} // namespace tqm::cli
