#include "photos/thumbs_array.h"

#include <QDirIterator>
#include <QFileInfo>

namespace zv {

namespace {

qint64 FileSize(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : 0;
}

} // namespace

TThumbData *TThumbsArray::GetAt(int index) const
{
    return index >= 0 && index < GetSize() ? m_items[size_t(index)].get() : nullptr;
}

TThumbData *TThumbsArray::Find(const QString &path) const
{
    return GetAt(IndexOf(path));
}

int TThumbsArray::IndexOf(const QString &path) const
{
    for (int i = 0; i < GetSize(); ++i)
        if (m_items[size_t(i)]->WorkPath == path)
            return i;
    return -1;
}

int TThumbsArray::Add(TThumbData *item)
{
    if (!item || IndexOf(item->WorkPath) >= 0)
        return -1;
    if (NextNumber != -1) {
        const QString extension = item->Extension.isEmpty() ? QString() : QLatin1Char('.') + item->Extension;
        item->DisplayName = QString::number(NextNumber) + extension;
        ++NextNumber;
    }
    TotalSize += FileSize(item->WorkPath);
    m_items.emplace_back(item);
    return GetSize() - 1;
}

int TThumbsArray::AddFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return -1;
    auto item = std::make_unique<TThumbData>(path);
    const int index = Add(item.get());
    if (index >= 0)
        item.release();
    return index;
}

void TThumbsArray::RemoveAt(int index)
{
    if (index < 0 || index >= GetSize())
        return;
    TotalSize -= FileSize(m_items[size_t(index)]->WorkPath);
    m_items.erase(m_items.begin() + index);
    if (m_items.empty())
        TotalSize = 0;
}

void TThumbsArray::RemoveAll()
{
    m_items.clear();
    TotalSize = 0;
}

void TThumbsArray::CountFormat(int format)
{
    int total = 0;
    for (const auto &item : m_items)
        total += item->GetQuantity(format);
    QuantityTotals.insert(format, total);
}

int TThumbsArray::GetFormatTotal(int format) const
{
    return QuantityTotals.value(format, 0);
}

QStringList ListPictureFiles(const QString &folder)
{
    static const char *const kExtensions[] = {"jpg", "jpeg", "tiff", "tif", "bmp"};
    QStringList files;
    if (folder.isEmpty())
        return files;
    // Unsorted on purpose: the grid shows the files as the file system lists them.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir())
            continue;
        const QString name = info.fileName();
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot < 0)
            continue;
        const QString extension = name.mid(dot + 1);
        for (const char *known : kExtensions) {
            if (extension.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
                files.append(path);
                break;
            }
        }
    }
    return files;
}

int ScanFolder(TThumbsArray &items, const QString &folder)
{
    int added = 0;
    for (const QString &path : ListPictureFiles(folder))
        added += items.AddFile(path) >= 0;
    return added;
}

} // namespace zv
