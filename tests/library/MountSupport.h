#pragma once
// A small tmpfs mounted by a test in a folder of its own, standing in for a
// memory card that can be pulled (lazy unmount) and put in again. Tests run as
// root; where mounting is refused the test skips with the reason.
#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/mount.h>

namespace mounttest
{

struct Tmpfs {
    QString dir;
    bool mounted = false;
    std::string error;

    explicit Tmpfs(const QString& where) : dir(where)
    {
        QDir().mkpath(dir);
        mount();
    }
    ~Tmpfs() { pull(); }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    bool mount()
    {
        if (mounted)
            return true;
        if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=32m,mode=0755") != 0) {
            error = std::strerror(errno);
            return false;
        }
        mounted = true;
        return true;
    }
    // Lazy unmount: the card is gone from the tree at once, even while a
    // player still holds one of its files open.
    bool pull()
    {
        if (!mounted)
            return true;
        mounted = ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH) != 0;
        return !mounted;
    }
    std::string skipReason() const
    {
        return "cannot mount a tmpfs here (" + error + "): the card tests need root and mount rights";
    }
};

} // namespace mounttest
