#include "labserver/faults.h"

#include <QStringList>

namespace labserver {

namespace {

const QStringList kKinds = {"drop", "refuse_parts", "refuse_files", "nontext", "empty",
                            "malformed", "huge", "slow", "stall", "code"};

bool IsRefusal(const QString& kind)
{
    return kind == u"refuse_parts" || kind == u"refuse_files";
}

} // namespace

bool Faults::AddOption(const QString& option)
{
    const QStringList parts = option.split(u':');
    Fault f;
    f.kind = parts.value(0);
    f.n = parts.value(1).toLongLong();
    f.count = parts.size() > 2 ? parts[2].toInt() : 1;
    f.command = parts.value(3);
    return Add(f);
}

bool Faults::Add(const Fault& fault)
{
    if (!kKinds.contains(fault.kind))
        return false;
    Fault f = fault;
    if (IsRefusal(f.kind)) {
        // For refusals n is the number of uploads refused.
        f.count = int(f.n > 0 ? f.n : 1);
    }
    std::lock_guard lock(m_mutex);
    m_faults.push_back(f);
    return true;
}

void Faults::Clear()
{
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

std::optional<Fault> Faults::Take(const QString& command, bool wantRefuse, bool part)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (IsRefusal(it->kind) != wantRefuse)
            continue;
        if (wantRefuse && (it->kind == u"refuse_parts") != part)
            continue;
        if (!it->command.isEmpty() && it->command != command)
            continue;
        Fault f = *it;
        if (it->count > 0 && --it->count == 0)
            m_faults.erase(it);
        return f;
    }
    return std::nullopt;
}

std::optional<Fault> Faults::TakeReplyFault(const QString& command)
{
    return Take(command, false, false);
}

bool Faults::TakeRefusal(bool part)
{
    return Take(QString(), true, part).has_value();
}

} // namespace labserver
