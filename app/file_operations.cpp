#include "app/file_operations.h"

#include "app/message_box.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv {
namespace {

QString systemMessage(int code)
{
    char buf[256];
    // GNU strerror_r returns the text, possibly not in buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return QString::fromLocal8Bit(text);
}

CFExeption systemFailure(int code)
{
    return CFExeption{static_cast<std::uint32_t>(code), systemMessage(code)};
}

QString fileName(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

// renameat2 with RENAME_NOREPLACE checks and renames in one step; file
// systems without it fall back to a check before rename(2).
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    if (::rename(from.constData(), to.constData()) == 0)
        return 0;
    return errno;
}

} // namespace

int TFileOperations::GetPathType(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
    return S_ISDIR(st.st_mode) ? 2 : 1;
}

bool TFileOperations::MoveFile(const QString& source, const QString& target)
{
    const int rc = renameNoReplace(QFile::encodeName(source), QFile::encodeName(target));
    if (rc == 0)
        return true;
    Keep(systemFailure(rc));
    return false;
}

bool TFileOperations::DeleteTree(const QString& path)
{
    const std::optional<CFExeption> failure = DeleteTreeImpl(path);
    if (!failure)
        return true;
    Keep(*failure);
    return failure->code == 0;
}

void TFileOperations::Keep(const CFExeption& failure)
{
    errorCode = failure.code;
    errorText = failure.text;
}

std::optional<CFExeption> TFileOperations::DeleteTreeImpl(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    // lstat: a link to a folder is removed as a link, its target stays.
    const bool exists = ::lstat(native.constData(), &st) == 0;
    if (exists && !S_ISDIR(st.st_mode)) {
        switch (PrepareForDelete(path)) {
        case Prepared::Cancel:
            return CFExeption{0, QString()};
        case Prepared::No:
            skipped = true;
            return std::nullopt;
        case Prepared::Yes:
            break;
        }
        if (::unlink(native.constData()) != 0)
            return systemFailure(errno);
        return std::nullopt;
    }

    // A folder, or a path that is not there (then the listing is empty and
    // removing the folder reports the missing path).
    if (DIR* dir = ::opendir(native.constData())) {
        const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        std::optional<CFExeption> failure;
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            failure = DeleteTreeImpl(prefix + QFile::decodeName(entry->d_name));
            if (failure)
                break;
        }
        ::closedir(dir);
        if (failure)
            return failure;
    }
    if (::rmdir(native.constData()) != 0 && !skipped)
        return systemFailure(errno);
    return std::nullopt;
}

TFileOperations::Prepared TFileOperations::PrepareForDelete(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return Prepared::No;
    // A link's own mode is always writable, so links are never chmod-ed (that would
    // change their target).
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR))
        return Prepared::Yes;
    if (askReadOnly) {
        const MsgResult answer = ShowMessage(
            fileName(path) + QStringLiteral(" is read only. Do you want delete it?"),
            MsgIcon::Question, MsgButtons::YesNoCancel, QStringLiteral("Warning"));
        if (answer == MsgResult::Cancel) {
            skipped = true;
            return Prepared::Cancel;
        }
        if (answer != MsgResult::Yes)
            return Prepared::No;
    }
    return ::chmod(native.constData(), (st.st_mode & 07777) | S_IWUSR) == 0 ? Prepared::Yes
                                                                           : Prepared::No;
}

} // namespace zv
