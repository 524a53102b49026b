// A real folder tree in a temporary folder, removed at the end of the test.
#pragma once

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "search/FileSystemPath.h"

namespace vx::testing {

class TempTree {
public:
    TempTree() { EXPECT_TRUE(dir_.isValid()); }
    // Also removes names that are no valid text (which QDir cannot remove).
    ~TempTree() {
        const std::string root = search::ToFileSystemPath(Root());
        ::nftw(
            root.c_str(),
            [](const char* path, const struct stat*, int, struct FTW*) {
                ::remove(path);
                return 0;
            },
            16, FTW_DEPTH | FTW_PHYS);
    }

    // The tree's root, without a trailing separator.
    QString Root() const { return QDir::toNativeSeparators(QDir::cleanPath(dir_.path())); }
    QString Path(const QString& relative) const {
        return relative.isEmpty() ? Root() : Root() + QDir::separator() + relative;
    }

    TempTree& Dir(const QString& relative) {
        EXPECT_TRUE(QDir().mkpath(Path(relative))) << relative.toStdString();
        return *this;
    }

    TempTree& File(const QString& relative, qint64 size = 0,
                   const QDateTime& modified = QDateTime()) {
        const QString path = Path(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << relative.toStdString();
        if (size > 0) {
            f.resize(size);
        }
        if (modified.isValid()) {
            EXPECT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
        }
        return *this;
    }

    TempTree& Link(const QString& relative, const QString& target) {
        EXPECT_EQ(::symlink(target.toStdString().c_str(), Path(relative).toStdString().c_str()), 0)
            << relative.toStdString();
        return *this;
    }

    // A file or folder whose name is given as raw bytes (may be invalid UTF-8).
    TempTree& RawFile(const std::string& folderRelative, const std::string& nameBytes) {
        const std::string path = Bytes(folderRelative) + "/" + nameBytes;
        std::FILE* f = std::fopen(path.c_str(), "w");
        EXPECT_TRUE(f && std::fclose(f) == 0);
        return *this;
    }
    TempTree& RawDir(const std::string& folderRelative, const std::string& nameBytes) {
        const std::string path = Bytes(folderRelative) + "/" + nameBytes;
        EXPECT_EQ(::mkdir(path.c_str(), 0755), 0);
        return *this;
    }

    std::string Bytes(const std::string& relative) const {
        const std::string root = search::ToFileSystemPath(Root());
        return relative.empty() ? root : root + "/" + relative;
    }

private:
    QTemporaryDir dir_;
};

}  // namespace vx::testing
