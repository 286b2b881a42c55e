#pragma once

// The preparation rules of the dispatch that need no server and no window:
// the names files are uploaded under, and the reduction of a photo to the
// printer's resolution with its default crops.

#include <QHash>
#include <QString>

namespace zv {

class TPriceList;
class TThumbData;

// The characters replaced by "_" unless the server names its own: the
// apostrophe, the double quote, the Polish letters and the comma.
QString DefaultForbiddenChars();

// Gives each photo of one order a distinct upload name. Not thread-safe.
class TUploadNames {
public:
    explicit TUploadNames(QString forbidden = DefaultForbiddenChars()) : m_forbidden(std::move(forbidden)) {}

    // The upload name for a display name: lower case, at most 50
    // characters with the extension, always ".jpg", forbidden and special
    // characters as "_", numbered "name(n).jpg" when already used.
    // reencode is set when the extension was not ".jpg".
    QString Make(const QString& displayName, bool& reencode);

private:
    QString m_forbidden;
    QHash<QString, int> m_used;
};

// Printer resolution in pixels per millimetre for a MACHINE_DPI text; 300
// dpi when the text is empty or not a positive number.
float MachineResolution(const QString& dpi);

// The scale factor that reduces the photo to resolution (pixels per mm).
// Entries with a quantity and an empty crop first get the centred default
// crop of the format's shape (the picture's size is loaded when unknown).
// With compress and more pixels per mm than the printer uses, the factor is
// below 1, the crops of those entries are scaled with it and reencode is
// set; otherwise it is 1. A photo without any entry is never scaled.
double ScaleForResolution(TThumbData& photo, const TPriceList& prices, float resolution, bool compress,
                          bool& reencode);

} // namespace zv
