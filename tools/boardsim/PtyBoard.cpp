#include "boardsim/PtyBoard.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "config/AtomicFile.h"
#include "link/CustomBaud.h"
#include "link/FrameCodec.h"

namespace orvan::sim {

using Clock = std::chrono::steady_clock;

TPtyBoard::TPtyBoard(std::string eepromFile) : eepromFile_(std::move(eepromFile)) {
    model_.onEepromWritten = [this] { SaveEeprom(); };
}

TPtyBoard::~TPtyBoard() {
    Stop();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    if (client_ >= 0) ::close(client_);
    if (listen_ >= 0) ::close(listen_);
}

bool TPtyBoard::OpenTcp(std::uint16_t port, unsigned lineSpeed, std::string* error) {
    const auto fail = [&](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        if (listen_ >= 0) ::close(listen_);
        listen_ = -1;
        return false;
    };
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_ < 0) return fail("cannot make a TCP socket");
    // A board restarted on the same port at once (a server restarting).
    const int one = 1;
    (void)::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        return fail(("cannot listen on 127.0.0.1:" + std::to_string(port)).c_str());
    if (::listen(listen_, 4) != 0) return fail("cannot listen");
    socklen_t len = sizeof a;
    if (::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return fail("cannot name the TCP port");
    tcpSpeed_ = lineSpeed;
    slavePath_ = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    return true;
}

void TPtyBoard::AcceptClient() {
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (client_ >= 0) {
        static const char kBusy[] = "Port already in use\r\n";
        (void)::send(fd, kBusy, sizeof kBusy - 1, MSG_NOSIGNAL);
        ::close(fd);
        ++refused_;
        return;
    }
    const int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    client_ = fd;
    ++clients_;
}

// The client went: what was on its way to it is lost with the connection,
// and a half-received request with it.
void TPtyBoard::DropClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
    out_.clear();
    framer_ = TRequestFramer();
    requestEndsAt_ = {};
}

bool TPtyBoard::Open(std::string* error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        if (error) *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        if (error) *error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        if (error) *error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        (void)::tcsetattr(slave_, TCSANOW, &tio);
    }
    const int flags = ::fcntl(master_, F_GETFL);
    (void)::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
}

unsigned TPtyBoard::LineSpeed() const {
    if (listen_ >= 0) return tcpSpeed_;
    return slave_ >= 0 ? link::GetCustomBaud(slave_) : 0;
}

std::string TPtyBoard::LastError() const {
    std::lock_guard<std::mutex> g(mutex_);
    return lastError_;
}

bool TPtyBoard::LoadOrCreateEeprom(std::string* error) {
    if (eepromFile_.empty()) {
        model_.Eeprom() = DefaultEeprom();
        return true;
    }
    std::string content;
    if (::access(eepromFile_.c_str(), F_OK) == 0) {
        if (!config::ReadWholeFile(eepromFile_, content, error)) return false;
        if (content.size() != kEepromSize) {
            if (error)
                *error = "\"" + eepromFile_ + "\" holds " + std::to_string(content.size()) +
                         " bytes, not " + std::to_string(kEepromSize) +
                         ": not an EEPROM file, left untouched";
            return false;
        }
        std::copy(content.begin(), content.end(), model_.Eeprom().begin());
        return true;
    }
    model_.Eeprom() = DefaultEeprom();
    const auto r = config::SaveFileAtomically(
        eepromFile_,
        std::string_view(reinterpret_cast<const char*>(model_.Eeprom().data()), kEepromSize));
    if (!r && error) *error = r.why;
    return r.ok;
}

void TPtyBoard::SaveEeprom() {
    if (eepromFile_.empty()) return;
    const auto r = config::SaveFileAtomically(
        eepromFile_,
        std::string_view(reinterpret_cast<const char*>(model_.Eeprom().data()), kEepromSize));
    if (!r) lastError_ = r.why;
}

void TPtyBoard::Schedule(std::vector<std::uint8_t> wire, int delayMs, int bursts, int gapMs) {
    auto due =
        std::max(Clock::now(), requestEndsAt_) + std::chrono::milliseconds(std::max(0, delayMs));
    bursts = std::clamp(bursts, 1, static_cast<int>(std::max<std::size_t>(1, wire.size())));
    const std::size_t per =
        (wire.size() + static_cast<std::size_t>(bursts) - 1) / static_cast<std::size_t>(bursts);
    for (std::size_t off = 0; off < wire.size(); off += per) {
        const std::size_t n = std::min(per, wire.size() - off);
        out_.push_back(
            {due, std::vector<std::uint8_t>(wire.begin() + static_cast<std::ptrdiff_t>(off),
                                            wire.begin() + static_cast<std::ptrdiff_t>(off + n))});
        due += std::chrono::milliseconds(std::max(0, gapMs));
    }
}

void TPtyBoard::HandleBody(const std::vector<std::uint8_t>& body, TRequestFramer::Verdict verdict) {
    if (responder_) {
        ++served_;
        std::optional<std::vector<std::uint8_t>> wire = responder_(body);
        if (wire && !wire->empty()) Schedule(std::move(*wire), faults_.answerDelayMs, 1, 0);
        return;
    }
    std::vector<std::uint8_t> answer;
    if (faults_.forceError > 0) {
        answer = TBoardModel::Refusal(static_cast<std::uint8_t>(faults_.forceError));
    } else if (verdict == TRequestFramer::Verdict::BadChecksum) {
        answer = TBoardModel::Refusal(kErrNegative);
    } else {
        answer = model_.HandleRequest(body.data(), body.size());
    }
    ++served_;
    if (faults_.noAnswer || answer.empty()) return;
    std::vector<std::uint8_t> wire;
    if (faults_.garbage) {
        std::uniform_int_distribution<int> d(1, 255);
        for (int i = 0; i < 14; ++i) wire.push_back(static_cast<std::uint8_t>(d(rng_)));
        wire.push_back(0);
    } else if (faults_.overlong) {
        // Longer than the tool's receive buffer before any delimiter.
        while (answer.size() < 300) answer.push_back(0x55);
        wire = FrameAnswerBytes(answer);
    } else {
        wire = FrameAnswerBytes(answer);
    }
    Schedule(std::move(wire), faults_.answerDelayMs, faults_.bursts, faults_.burstGapMs);
}

void TPtyBoard::Flush() {
    const auto now = Clock::now();
    const unsigned baud = LineSpeed();
    // Ten bit times per byte (start, eight data, stop).
    const auto byteTime =
        baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / baud) : std::chrono::nanoseconds(0);
    while (!out_.empty()) {
        Pending& p = out_.front();
        if (p.due > now) return;
        auto start = std::max(p.due, nextByteAt_);
        if (start > now) return;
        std::size_t n = p.bytes.size();
        if (byteTime.count() > 0) {
            const auto fit = static_cast<std::size_t>((now - start) / byteTime) + 1;
            n = std::min(n, fit);
        }
        const int fd = Stream();
        if (fd < 0) {  // no client to hear it
            out_.clear();
            return;
        }
        const ssize_t w = listen_ >= 0 ? ::send(fd, p.bytes.data(), n, MSG_NOSIGNAL)
                                       : ::write(fd, p.bytes.data(), n);
        if (w < 0 && listen_ >= 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            DropClient();
            return;
        }
        if (w <= 0) return;  // the tool is not reading; try again on the next step
        nextByteAt_ = start + byteTime * w;
        p.bytes.erase(p.bytes.begin(), p.bytes.begin() + w);
        if (p.bytes.empty()) out_.pop_front();
    }
}

void TPtyBoard::Step(std::chrono::milliseconds wait) {
    pollfd pfd[2] = {{Stream(), POLLIN, 0}, {listen_, POLLIN, 0}};
    const int r = ::poll(pfd, listen_ >= 0 ? 2 : 1, static_cast<int>(wait.count()));
    std::lock_guard<std::mutex> g(mutex_);
    if (r > 0 && listen_ >= 0 && (pfd[1].revents & POLLIN)) AcceptClient();
    // A TCP client that went away shows as a hang-up; the pseudo-terminal
    // never hangs up (the board holds its slave side open).
    const short ended = listen_ >= 0 ? (POLLHUP | POLLERR) : 0;
    if (r > 0 && pfd[0].fd >= 0 && (pfd[0].revents & (POLLIN | ended))) {
        std::uint8_t buf[512];
        const ssize_t n = ::read(pfd[0].fd, buf, sizeof buf);
        if (listen_ >= 0 && (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))) {
            DropClient();
            return;
        }
        // A pseudo-terminal hands the request over at once; a real line takes
        // ten bit times a byte, and the board answers after the last one.
        const unsigned baud = LineSpeed();
        if (n > 0 && baud > 0) {
            const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / baud);
            requestEndsAt_ = std::max(requestEndsAt_, Clock::now()) + byteTime * n;
        }
        for (ssize_t i = 0; i < n; ++i) {
            std::vector<std::uint8_t> body;
            const auto v = framer_.Feed(buf[i], body);
            if (v == TRequestFramer::Verdict::Request || v == TRequestFramer::Verdict::BadChecksum)
                HandleBody(body, v);
        }
    }
    // About 1 kB/s: the input queue of the tool never fills within a receive
    // time-out, so the count it watches never stands still.
    if (faults_.babble && Clock::now() >= nextBabbleAt_ && out_.size() < 4) {
        std::vector<std::uint8_t> noise(16);
        std::uniform_int_distribution<int> d(0, 255);
        for (auto& b : noise) b = static_cast<std::uint8_t>(d(rng_));
        out_.push_back({Clock::now(), std::move(noise)});
        nextBabbleAt_ = Clock::now() + std::chrono::milliseconds(15);
    }
    Flush();
}

void TPtyBoard::Serve() {
    while (!stop_.load()) {
        std::chrono::milliseconds wait{20};
        {
            std::lock_guard<std::mutex> g(mutex_);
            if (!out_.empty() || faults_.babble) wait = std::chrono::milliseconds(1);
        }
        Step(wait);
    }
}

void TPtyBoard::Start() {
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
}

void TPtyBoard::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace orvan::sim
