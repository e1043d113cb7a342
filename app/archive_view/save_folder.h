#pragma once
// The folder the archive windows' save dialogs propose: the documents
// folder at first, then the folder last saved to, kept in settings.
#include <QString>

class QSettings;

namespace ksx4 {

inline const QString kSaveFolderKey = QStringLiteral("archive/saveFolder");

class SaveFolder {
  public:
    // settings may be null: the folder is then remembered while it lives.
    explicit SaveFolder(QSettings* settings = nullptr);
    // fileName in the folder to propose.
    QString proposedPath(const QString& fileName) const;
    // A file was saved at path: its folder is proposed next time.
    void used(const QString& path);

  private:
    QSettings* settings_;
    QString last_;
};

// A name made safe as part of a file name: path separators, the characters
// file systems refuse and control characters become "_", blanks around it go.
QString fileNamePart(const QString& text);

}  // namespace ksx4
