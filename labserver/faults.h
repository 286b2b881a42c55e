#pragma once

// Fault switches for the reliability tests, set by --fault options or the
// control request GET /control?fault=KIND&n=N&count=C&command=NAME
// (fault=none clears all). Each switch applies to the next `count` requests
// of the script (0: until cleared), optionally only to one command.
//
//   drop          the reply is cut off after n bytes and the connection closed
//   refuse_parts  the next n part uploads are refused (ReturnValue code 1)
//   refuse_files  the next n whole-file uploads are refused
//   nontext       the reply comes as application/octet-stream
//   empty         an empty text reply
//   malformed     an XML reply cut in the middle
//   huge          n megabytes (default 40) of text that is not a reply
//   slow          the reply goes out in 64-byte pieces with n ms between them
//   stall         half the reply goes out, then nothing more
//   code          the command answers ReturnValue code n

#include <QString>

#include <mutex>
#include <optional>
#include <vector>

namespace labserver {

struct Fault {
    QString kind;
    long long n = 0;
    int count = 1;
    QString command; // empty: any command
};

class Faults {
public:
    // Parses "KIND[:N[:COUNT[:COMMAND]]]"; false for an unknown kind.
    bool AddOption(const QString& option);
    bool Add(const Fault& fault);
    void Clear();
    // Takes the reply fault for this command, if any (not the refuse kinds).
    std::optional<Fault> TakeReplyFault(const QString& command);
    // True when the next upload of this kind is to be refused.
    bool TakeRefusal(bool part);

private:
    std::optional<Fault> Take(const QString& command, bool wantRefuse, bool part);

    std::mutex m_mutex;
    std::vector<Fault> m_faults;
};

} // namespace labserver
