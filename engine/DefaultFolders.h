#pragma once

#include <QString>
#include <QStringList>

// Where snapshots and clips go while the user has chosen no folder of their
// own: the one definition for the engine and the windows. Every folder ends
// in exactly one "/". Any thread.
class DefaultFolders {
public:
    // The user's first Pictures location + "OrdavexSnap/".
    static QString Snapshots();
    // The user's first Movies location.
    static QString Clips();
    // The first of locations, or the home folder when there is none.
    static QString FirstOrHome(const QStringList& locations);
};
