#pragma once

#include <QString>
#include <QtGlobal>

#include "engine/Worker.h"

class Controller;
class GPSList;

// Draws the selected file's whole route on the map page: once a second it
// sends the points the track reader added since the last pass, clears the
// route when the list was cleared, shows or hides it with the track-playback
// setting, and turns a click on the route into a seek to the nearest point.
class DrawBackLine : public Worker {
    Q_OBJECT
public:
    static constexpr qint64 kPollMs = 1000;

    DrawBackLine(Controller* controller, GPSList* list, TimeSource* time);
    ~DrawBackLine() override;

    // Worker thread (queued from the map view): a click on the route at the
    // given position, in the map's datum. Seeks to the nearest point's time;
    // does nothing when a coordinate is not a finite number or the list is
    // empty or cleared and not yet redrawn.
    void RecvPoint(const QString& lat, const QString& lon);

    // One pass of the loop, for the worker thread.
    void RunPass();

signals:
    // points: "lat,lon;" per point, 6 decimals each.
    void Signal_drawBackLine(QString points);
    void Signal_clearBackLine();
    void Signal_playBackChange(bool show);
    // ms from the start of the file, for the main window's seek.
    void Signal_seek(qint64 ms);

protected:
    void run() override;

private:
    Controller* const controller;
    GPSList* const list;
    // Worker thread only.
    bool lastTrackPlayback = true;
};
