#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace zv {

// A system failure inside TFileOperations: errno value and its message.
struct CFExeption {
    std::uint32_t code = 0;
    QString text;
};

// Moves files and deletes folder trees the program made itself, keeping the
// last error as errno value and message. One object per task; window thread.
class TFileOperations final {
public:
    QString errorText = QStringLiteral("No error"); // message of the last error; empty after a cancel
    std::uint32_t errorCode = 0;                     // errno of the last error; 0 after a cancel
    bool skipped = false;                            // a file was left in place; never cleared
    bool askReadOnly = true;                         // ask before deleting a file without owner write permission

    // 0 when the path does not exist (ENOENT, ENOTDIR), 1 file, 2 folder,
    // -1 any other failure. Follows symbolic links.
    static int GetPathType(const QString& path);

    // Renames source to target; fails (EEXIST) when target already exists.
    bool MoveFile(const QString& source, const QString& target);

    // Removes a file or a folder with everything in it. True when it is gone,
    // when files were kept (skipped) or when the user cancelled at the
    // read-only question (errorCode 0, errorText empty). Symbolic links are
    // removed themselves, never followed.
    bool DeleteTree(const QString& path);

private:
    enum class Prepared { Yes, No, Cancel };

    std::optional<CFExeption> DeleteTreeImpl(const QString& path);
    Prepared PrepareForDelete(const QString& path);
    void Keep(const CFExeption& failure);
};

} // namespace zv
