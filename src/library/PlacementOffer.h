#pragma once
// A card copied by a tool that keeps no dates puts every recording on the
// copy's day. When the names of most recordings say otherwise, the user is
// asked once whether to place them by their names; the answer is stored
// either way, and the settings menu's item changes it later.
#include <QObject>
#include <QPointer>

class LibraryModel;
class QWidget;

class PlacementOffer : public QObject
{
public:
    explicit PlacementOffer(LibraryModel* library);
    // After a build: asks over `window` unless asked before, placement by
    // names is on already, or the names agree with the file dates.
    void offer(QWidget* window);

private:
    QPointer<LibraryModel> m_library;
    bool m_bOpen = false; // the question is on screen
};
