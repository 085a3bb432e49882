#pragma once
// A pseudo-terminal pair standing for a serial line in the serial port tests: the port opens
// the slave side by its path, the test plays the far side on the master.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <cerrno>

struct PtyPair {
    int master = -1;
    int slave = -1;  // kept open so the line outlives the port's own open and close
    QString slavePath;

    PtyPair() {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        slavePath = QString::fromLocal8Bit(name);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        CloseMaster();
        if (slave >= 0) ::close(slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return master >= 0 && slave >= 0; }

    bool Send(const QByteArray& bytes) const {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // What the port has written so far.
    QByteArray Received() const {
        QByteArray all;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0) return all;
            all.append(chunk, int(n));
        }
    }

    // The far side hangs up.
    void CloseMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
};
