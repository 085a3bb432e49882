#pragma once
// Two pseudo-terminals joined back to back, standing for a line between two programs that
// open their ends by path, as serial ports (tessera-cli on one side, a Modbus server on the
// other).
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QString>
#include <cerrno>
#include <thread>

// Two pseudo-terminals joined back to back: what the program on one side writes, the program
// on the other side reads. Both sides are opened by path, as serial ports.
class PtyBridge {
public:
    PtyBridge() {
        for (Side& side : FSides) {
            char name[128] = {};
            if (openpty(&side.master, &side.slave, name, nullptr, nullptr) != 0) return;
            side.path = QString::fromLocal8Bit(name);
            termios raw{};
            tcgetattr(side.slave, &raw);
            cfmakeraw(&raw);
            tcsetattr(side.slave, TCSANOW, &raw);
        }
        if (pipe(FStop) != 0) return;
        FThread = std::thread([this] { Relay(); });
    }
    ~PtyBridge() {
        if (FThread.joinable()) {
            (void)!::write(FStop[1], "x", 1);
            FThread.join();
        }
        for (int fd : {FStop[0], FStop[1], FSides[0].master, FSides[0].slave, FSides[1].master,
                       FSides[1].slave})
            if (fd >= 0) ::close(fd);
    }
    bool Valid() const { return FThread.joinable(); }
    QString PathA() const { return FSides[0].path; }
    QString PathB() const { return FSides[1].path; }

private:
    struct Side {
        int master = -1;
        int slave = -1;  // held open: the line outlives the programs' own opens
        QString path;
    };

    void Relay() {
        for (;;) {
            pollfd fds[3] = {{FSides[0].master, POLLIN, 0},
                             {FSides[1].master, POLLIN, 0},
                             {FStop[0], POLLIN, 0}};
            if (poll(fds, 3, -1) < 0 && errno != EINTR) return;
            if (fds[2].revents) return;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                char bytes[512];
                const ssize_t n = ::read(FSides[i].master, bytes, sizeof bytes);
                if (n > 0) (void)!::write(FSides[1 - i].master, bytes, size_t(n));
            }
        }
    }

    Side FSides[2];
    int FStop[2] = {-1, -1};
    std::thread FThread;
};
