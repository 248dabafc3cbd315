// An X display that takes connections and never answers them, as a hung X
// server does: it listens on the local (abstract) socket and the TCP port
// on 127.0.0.1 of the first display number from 800 on whose both are
// free, writes that number on a line of its own, and holds every connection
// without reading or writing until it is ended, or for two minutes.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int listenLocal(int number) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(address.sun_path + 1, name.data(), name.size());  // abstract: a leading NUL
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 16) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

int listenTcp(int number) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(6000 + number));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main() {
    alarm(120);
    for (int number = 800; number < 900; ++number) {
        if (access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0) continue;
        const int local = listenLocal(number);
        if (local < 0) continue;
        const int tcp = listenTcp(number);
        if (tcp < 0) {
            close(local);
            continue;
        }
        std::printf("%d\n", number);
        std::fflush(stdout);
        std::vector<pollfd> watched = {{local, POLLIN, 0}, {tcp, POLLIN, 0}};
        std::vector<int> held;
        while (poll(watched.data(), watched.size(), -1) >= 0)
            for (pollfd& p : watched)
                if (p.revents & POLLIN) {
                    const int connection = accept(p.fd, nullptr, nullptr);
                    if (connection >= 0) held.push_back(connection);
                }
        return 0;
    }
    std::fputs("no free display number from 800 to 899\n", stderr);
    return 1;
}
