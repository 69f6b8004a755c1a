#include "platform/launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <QList>

#include "core/view/drives.h"

extern char** environ;

namespace platform {

bool isExecutableFile(const QByteArray& path)
{
    struct stat st;
    return stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && access(path.constData(), X_OK) == 0;
}

namespace {

// The program's file: a name with a slash as it is, a bare name looked up in PATH.
QByteArray resolveProgram(const QByteArray& program)
{
    if (program.contains('/'))
        return program;
    const char* path = std::getenv("PATH");
    const QByteArray dirs = path ? QByteArray(path) : QByteArray("/usr/local/bin:/usr/bin:/bin");
    for (const QByteArray& dir : dirs.split(':')) {
        const QByteArray candidate = (dir.isEmpty() ? QByteArray(".") : dir) + '/' + program;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return QByteArray();
}

}  // namespace

bool spawnDetached(const QByteArray& program, const std::vector<QByteArray>& args)
{
    const QByteArray file = resolveProgram(program);
    if (file.isEmpty())
        return false;
    // Everything the children need is made before the fork: after it only
    // async-signal-safe calls run.
    std::vector<QByteArray> owned;
    owned.reserve(args.size() + 1);
    owned.push_back(program);
    for (const QByteArray& a : args)
        owned.push_back(a);
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it unwritten.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // The middle process leaves at once, so the program is nobody's child
        // here and never becomes a zombie of ours.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            signal(SIGPIPE, SIG_DFL);
            execve(file.constData(), argv.data(), environ);
            const int err = errno;
            (void)!write(report[1], &err, sizeof err);
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t got;
    do {
        got = read(report[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

QByteArray nativePath(const QByteArray& path)
{
    QByteArray n = pathMap().toNative(path);
    return n.isEmpty() ? path : n;
}

bool runProgram(const QByteArray& path)
{
    const QByteArray n = nativePath(path);
    if (!isExecutableFile(n))
        return false;
    return spawnDetached(n, {});
}

bool openWithDesktop(const QByteArray& path)
{
    return spawnDetached("xdg-open", {nativePath(path)});
}

}  // namespace platform
