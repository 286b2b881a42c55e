#pragma once

#include "photos/thumb_data.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace zv {

// An owning collection of photo items (a folder grid's or the order's),
// keyed by WorkPath, with per-format totals.
class TThumbsArray {
public:
    TThumbsArray() = default;
    TThumbsArray(const TThumbsArray &) = delete;
    TThumbsArray &operator=(const TThumbsArray &) = delete;

    int GetSize() const { return int(m_items.size()); }
    TThumbData *GetAt(int index) const;
    // First item whose WorkPath equals path exactly.
    TThumbData *Find(const QString &path) const;
    int IndexOf(const QString &path) const;

    // Takes the item and returns its index; -1 (the caller keeps the item)
    // when one with the same WorkPath is present. Numbers the item's
    // DisplayName when NextNumber is not -1.
    int Add(TThumbData *item);
    // A new item from an existing file; -1 for an empty path, a missing
    // file or a path already present.
    int AddFile(const QString &path);
    void RemoveAt(int index);
    void RemoveAll();

    void CountFormat(int format);
    int GetFormatTotal(int format) const;

    int32_t NextNumber = -1;
    // Bytes of the items' files when added; 64 bits as orders pass 2 GB.
    qint64 TotalSize = 0;
    QHash<int32_t, int32_t> QuantityTotals;

private:
    std::vector<std::unique_ptr<TThumbData>> m_items;
};

// The picture files of a folder that become photo items, in the order the
// file system lists them: files (no sub-folders) whose extension, in any
// case, is jpg, jpeg, tiff, tif or bmp.
QStringList ListPictureFiles(const QString &folder);

// Offers every picture file of the folder to the collection; returns how
// many were added. An empty or unreadable folder adds none.
int ScanFolder(TThumbsArray &items, const QString &folder);

} // namespace zv
