#include "private_folder.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The folders that exist now, for the signal handler: a slot is claimed
// (kWriting), its path written, then published (kReady); the handler reads
// only published slots. Lock-free atomics and fixed buffers: nothing the
// handler touches allocates or locks.
enum SlotState { kFree, kWriting, kReady };
struct LiveFolder {
    std::atomic<int> state{kFree};
    char path[4096];
};
LiveFolder g_live[8];

// The signals that end the program by default: Ctrl-C, kill, a closed
// terminal. Their actions before ours, put back before the signal is
// raised again.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[sizeof kEndingSignals / sizeof kEndingSignals[0]];
std::atomic<int> g_handlers_installed{0};

// Removes the entries of the flat folder `path` and the folder, with calls
// safe in a signal handler (getdents64, unlinkat, rmdir). Links are removed
// as links.
void empty_and_remove(const char* path)
{
    int dir = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) {
        alignas(8) char entries[4096];
        // Entries removed while the folder is read may hide others: read it
        // again until a pass finds nothing left (a few passes at most).
        for (int pass = 0; pass < 4; ++pass) {
            int removed = 0;
            lseek(dir, 0, SEEK_SET);
            ssize_t n;
            while ((n = getdents64(dir, entries, sizeof entries)) > 0)
                for (ssize_t at = 0; at < n;) {
                    const dirent64* e = (const dirent64*)(entries + at);
                    at += e->d_reclen;
                    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
                        continue;
                    if (unlinkat(dir, e->d_name, 0) == 0 || unlinkat(dir, e->d_name, AT_REMOVEDIR) == 0)
                        ++removed;
                }
            if (!removed)
                break;
        }
        close(dir);
    }
    rmdir(path);
}

// An ending signal while folders exist: they are removed, then the signal
// takes its previous (default) course.
void remove_folders_and_end(int signal_number)
{
    for (LiveFolder& f : g_live)
        if (f.state.load() == kReady)
            empty_and_remove(f.path);
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
        if (kEndingSignals[i] == signal_number)
            sigaction(signal_number, &g_previous[i], nullptr);
    raise(signal_number);
}

// Once per process: our handler for each ending signal whose action is the
// default. A signal the program handles itself (extract's Ctrl-C, which
// rolls back and ends normally) or ignores is left as it is.
void install_handlers()
{
    int expected = 0;
    if (!g_handlers_installed.compare_exchange_strong(expected, 1))
        return;
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
        if (sigaction(kEndingSignals[i], nullptr, &g_previous[i]) != 0 || g_previous[i].sa_handler != SIG_DFL ||
            (g_previous[i].sa_flags & SA_SIGINFO))
            continue;
        struct sigaction ours = {};
        ours.sa_handler = remove_folders_and_end;
        sigemptyset(&ours.sa_mask);
        for (int s : kEndingSignals)
            sigaddset(&ours.sa_mask, s);
        sigaction(kEndingSignals[i], &ours, nullptr);
    }
}

void publish(const fs::path& folder)
{
    const std::string& text = folder.native();
    if (text.size() >= sizeof g_live[0].path)
        return;
    for (LiveFolder& f : g_live) {
        int expected = kFree;
        if (f.state.compare_exchange_strong(expected, kWriting)) {
            memcpy(f.path, text.c_str(), text.size() + 1);
            f.state.store(kReady);
            return;
        }
    }
    // Eight at once is more than any reader holds; a ninth is removed at
    // its reader's end only.
}

void withdraw(const fs::path& folder)
{
    for (LiveFolder& f : g_live)
        if (f.state.load() == kReady && folder.native() == f.path) {
            f.state.store(kFree);
            return;
        }
}

}  // namespace

int make_private_folder(const char* prefix, fs::path* folder, std::string* error)
{
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec)
        base = "/tmp";
    std::string pattern = (base / (std::string(prefix) + "XXXXXX")).string();
    install_handlers();
    if (!mkdtemp(&pattern[0])) {
        *error = "no folder of its own can be made under " + utf8_of(base);
        return 0;
    }
    *folder = pattern;
    publish(*folder);
    return 1;
}

void remove_private_folder(fs::path* folder)
{
    std::error_code ec;
    if (!folder->empty()) {
        withdraw(*folder);
        fs::remove_all(*folder, ec);
    }
    folder->clear();
}
