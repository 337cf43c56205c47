#include "tests/serial/pty_pair.h"

#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

PtyPair::PtyPair() {
    char buffer[64];
    if (openpty(&master, &terminal, buffer, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    path = buffer;
    name = path.size() <= 11 ? path : path.substr(5); // "pts/N" lies under /dev/
}

PtyPair::~PtyPair() {
    close(terminal);
    close(master);
}

termios PtyPair::Settings() const {
    termios settings{};
    tcgetattr(terminal, &settings);
    return settings;
}

void PtyPair::Dirty() const {
    termios settings = Settings();
    settings.c_lflag |= ICANON | ECHO | ISIG;
    settings.c_iflag |= IXON | IXOFF | ICRNL;
    settings.c_oflag |= OPOST;
    settings.c_cflag &= ~(CLOCAL | CSTOPB | CRTSCTS);
    settings.c_cc[VMIN] = 7;
    settings.c_cc[VTIME] = 3;
    cfsetspeed(&settings, B110);
    tcsetattr(terminal, TCSANOW, &settings);
}

bool PtyPair::Keeps(tcflag_t frameFlags) const {
    termios original = Settings();
    termios probe = original;
    probe.c_cflag = (probe.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)) | frameFlags;
    tcsetattr(terminal, TCSANOW, &probe);
    termios kept = Settings();
    tcsetattr(terminal, TCSANOW, &original);
    return (kept.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)) == frameFlags;
}

bool PtyPair::Exclusive() const {
    int exclusive = 0;
    ioctl(terminal, TIOCGEXCL, &exclusive);
    return exclusive != 0;
}

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}
