#include "archive_view/save_folder.h"

#include "platform/files/paths.h"

#include <QFileInfo>
#include <QSettings>

namespace ksx4 {

SaveFolder::SaveFolder(QSettings* settings) : settings_(settings) {
    if (settings_) last_ = settings_->value(kSaveFolderKey).toString();
}

QString SaveFolder::proposedPath(const QString& fileName) const {
    return withTrailingSeparator(folderToPropose(last_)) + fileName;
}

void SaveFolder::used(const QString& path) {
    last_ = QFileInfo(path).absolutePath();
    if (settings_) settings_->setValue(kSaveFolderKey, last_);
}

QString fileNamePart(const QString& text) {
    QString part = text.trimmed();
    for (QChar& c : part) {
        if (c.category() == QChar::Other_Control || QStringLiteral("\\/:*?\"<>|").contains(c))
            c = u'_';
    }
    return part;
}

}  // namespace ksx4
