// One row of the drawing list. The drawing's full path is Path followed directly by
// FileName.
#pragma once

#include <QString>

namespace vx::search {

struct DrawingRow {
    QString FileName;
    QString Path;  // the folder, always with a trailing separator
    QString FileType;
    QString Size;
    QString LastModified;

    static constexpr int kColumns = 5;
    const QString& Column(int column) const {
        switch (column) {
            case 0:
                return FileName;
            case 1:
                return Path;
            case 2:
                return FileType;
            case 3:
                return Size;
            default:
                return LastModified;
        }
    }
    QString FullPath() const { return Path + FileName; }
    friend bool operator==(const DrawingRow&, const DrawingRow&) = default;
};

}  // namespace vx::search
