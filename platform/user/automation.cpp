// automation.cpp: the device's automation queue (see automation.h).
//
// The queue is run/answers of the device folder, one answer a line ("yes", "menu 12",
// "menu Delete all", "dialog ..."). Every change takes an exclusive flock on run/answers.lock,
// reads the file, and replaces it whole (temporary file, rename), so answers queued by cedev
// and taken by programs at the same moment are neither lost nor taken twice, and a crash
// leaves the old or the new queue. Without a device the queue lives in this process.
//
// Answers are checked when queued: a known kind, and no line breaks or NULs in the argument
// (the file format could not hold them). Lines of a damaged file that do not parse are
// dropped when it is next read.
#include "user/automation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>

#include "kernel/device.h"

namespace ce::automation {
namespace {

constexpr size_t kMaxArgument = 4096;
constexpr size_t kMaxQueued = 1000;

std::mutex& memoryMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::deque<Answer>& memoryQueue() {
    static auto* q = new std::deque<Answer>;
    return *q;
}

bool knownKind(const std::string& kind) {
    return kind == "yes" || kind == "no" || kind == "ok" || kind == "cancel" || kind == "menu" ||
           kind == "dialog";
}

bool needsArgument(const std::string& kind) {
    return kind == "menu" || kind == "dialog";
}

std::optional<Answer> parseLine(const std::string& line) {
    Answer a;
    size_t space = line.find(' ');
    a.kind = line.substr(0, space);
    if (space != std::string::npos) a.argument = line.substr(space + 1);
    if (!knownKind(a.kind) || (needsArgument(a.kind) && a.argument.empty())) return std::nullopt;
    return a;
}

std::string formatLine(const Answer& a) {
    return a.argument.empty() ? a.kind : a.kind + " " + a.argument;
}

// The device's queue file under its lock, for one read-change-write.
class QueueFile {
public:
    QueueFile() {
        std::filesystem::path run = ce::deviceRunDir();
        std::error_code ec;
        std::filesystem::create_directories(run, ec);
        path_ = run / "answers";
        fd_ = open((run / "answers.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~QueueFile() {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
            close(fd_);
        }
    }
    QueueFile(const QueueFile&) = delete;
    QueueFile& operator=(const QueueFile&) = delete;

    bool ok() const { return fd_ >= 0; }

    std::deque<Answer> read() const {
        std::deque<Answer> out;
        std::ifstream in(path_);
        std::string line;
        while (std::getline(in, line) && out.size() < kMaxQueued)
            if (auto a = parseLine(line)) out.push_back(std::move(*a));
        return out;
    }

    bool write(const std::deque<Answer>& answers, std::string* error) const {
        std::string text;
        for (const auto& a : answers)
            text += formatLine(a) + "\n";
        std::filesystem::path tmp = path_;
        tmp += ".tmp";
        {
            std::ofstream out(tmp, std::ios::trunc | std::ios::binary);
            out << text;
            out.flush();
            if (!out) {
                if (error) *error = "cannot write " + tmp.string();
                return false;
            }
        }
        if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
            if (error) *error = "cannot replace " + path_.string();
            return false;
        }
        return true;
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

} // namespace

// Checks the answer and appends it to the device's queue (or this process's without a
// device). False with a message when the answer is malformed or the queue cannot be written.
bool queueAnswer(const Answer& answer, std::string* error) {
    if (!knownKind(answer.kind)) {
        if (error) *error = "unknown answer '" + answer.kind + "'";
        return false;
    }
    if (needsArgument(answer.kind) && answer.argument.empty()) {
        if (error) *error = "answer '" + answer.kind + "' needs an argument";
        return false;
    }
    if (!needsArgument(answer.kind) && !answer.argument.empty()) {
        if (error) *error = "answer '" + answer.kind + "' takes no argument";
        return false;
    }
    if (answer.argument.size() > kMaxArgument ||
        answer.argument.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        if (error) *error = "answer argument too long or has a line break";
        return false;
    }
    if (!ce::haveDevice()) {
        std::lock_guard<std::mutex> lock(memoryMutex());
        if (memoryQueue().size() >= kMaxQueued) {
            if (error) *error = "the answer queue is full";
            return false;
        }
        memoryQueue().push_back(answer);
        return true;
    }
    QueueFile file;
    if (!file.ok()) {
        if (error) *error = "cannot lock the answer queue";
        return false;
    }
    auto answers = file.read();
    if (answers.size() >= kMaxQueued) {
        if (error) *error = "the answer queue is full";
        return false;
    }
    answers.push_back(answer);
    return file.write(answers, error);
}

// Takes the first answer: modal elements call this once as they open.
std::optional<Answer> takeAnswer() {
    if (!ce::haveDevice()) {
        std::lock_guard<std::mutex> lock(memoryMutex());
        if (memoryQueue().empty()) return std::nullopt;
        Answer a = std::move(memoryQueue().front());
        memoryQueue().pop_front();
        return a;
    }
    QueueFile file;
    if (!file.ok()) return std::nullopt;
    auto answers = file.read();
    if (answers.empty()) return std::nullopt;
    Answer a = std::move(answers.front());
    answers.pop_front();
    if (!file.write(answers, nullptr)) return std::nullopt; // not taken after all
    return a;
}

std::vector<Answer> pendingAnswers() {
    if (!ce::haveDevice()) {
        std::lock_guard<std::mutex> lock(memoryMutex());
        return {memoryQueue().begin(), memoryQueue().end()};
    }
    QueueFile file;
    if (!file.ok()) return {};
    auto answers = file.read();
    return {answers.begin(), answers.end()};
}

void clearAnswers() {
    if (!ce::haveDevice()) {
        std::lock_guard<std::mutex> lock(memoryMutex());
        memoryQueue().clear();
        return;
    }
    QueueFile file;
    if (file.ok()) file.write({}, nullptr);
}

} // namespace ce::automation
