#include "app/PlaybackPanels.h"

#include "controls/BitmapButton.h"
#include "controls/DpadView.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

namespace
{
void enableWidget(QWidget* w, bool enable)
{
    if (w)
        w->setEnabled(enable);
}
// The map switched on for a recording's track (`loaded`: one was read),
// loading its page first where it is not up.
void enableMapFor(MapView* map, bool loaded, bool positions)
{
    if (loaded) {
        bool online;
        if (!map->IsOnLine() || !map->IsMapDocReady()) {
            map->LoadMap();
            online = map->IsOnLine();
        } else {
            online = map->IsInternetConnected();
        }
        map->EnableMap(!positions ? -1 : (online ? 1 : 0));
        return;
    }
    const int16_t withTrack = positions ? 1 : -1;
    if (map->IsOnLine()) {
        map->EnableMap(map->IsInternetConnected() ? withTrack : 0);
    } else {
        map->LoadMap();
        if (map->IsOnLine())
            map->EnableMap(withTrack);
        else if (!positions)
            map->EnableMap(-1);
    }
}
} // namespace

void connectPlaybackPanels(PlaybackSession& session, const WindowController::Panels& panels,
                           const std::function<bool()>& mapFullScreen)
{
    PlaybackSession* s = &session;
    Transport* t = &session.transport();
    const CurrentTrack* shownTrack = &session.track();

    // track, transport, route -> map: the track's path, the marker, the rest of the trip.
    if (MapView* map = panels.map) {
        QObject::connect(shownTrack, &CurrentTrack::shown, map,
                         [shownTrack, map, mapFullScreen](bool loaded) {
                             enableMapFor(map, loaded, shownTrack->gps().IsGPSReady());
                             if (map->GetMapState() != 1 && mapFullScreen && mapFullScreen())
                                 map->OnButtonFullMap();
                         });
        QObject::connect(shownTrack, &CurrentTrack::pathChanged, map, [map](const GpsList* path) {
            if (!path)
                map->SetPosition(0, 0, 0, 0, -1);
            map->DrawPath(path);
        });
        QObject::connect(t, &Transport::placeChanged, map, [map](const CurrentTrack::Place& place) {
            map->SetPosition(place.latitude, place.longitude, place.speed, place.altitude, place.direction);
            map->update();
        });
        QObject::connect(&s->tripRoute(), &TripRoute::routeChanged, map, &MapView::DrawTripRoute);
    }

    // file list -> session: a single click previews the row.
    // session -> file list: the selection follows the current row.
    if (FileListView* list = panels.fileList) {
        QObject::connect(list, &FileListView::rowClicked, s, &PlaybackSession::previewRow);
        QObject::connect(s, &PlaybackSession::currentRowShown, list, &FileListView::setCurSel);
    }

    // transport, track, session -> play bar: time, slider and its event mark,
    // play and speed buttons, volume, the media commands.
    if (PlayControlView* bar = panels.playBar) {
        QObject::connect(t, &Transport::timeChanged, bar,
                         [bar](int position, int duration) { bar->SetPlayTime(position, duration, true); });
        QObject::connect(t, &Transport::positionChanged, bar, [bar](int second) {
            if (Slider* slider = bar->poTimeSlider())
                slider->setCurrentValue(second);
        });
        QObject::connect(t, &Transport::seekRangeChanged, bar, [bar](bool seekable, int last) {
            if (Slider* slider = bar->poTimeSlider()) {
                slider->setEnabled(seekable);
                slider->setRange(0, static_cast<int16_t>(last));
            }
        });
        QObject::connect(t, &Transport::seekEnabled, bar,
                         [bar](bool enabled) { enableWidget(bar->poTimeSlider(), enabled); });
        QObject::connect(shownTrack, &CurrentTrack::eventMarkChanged, bar, [bar](int second) {
            if (Slider* slider = bar->poTimeSlider())
                slider->setEventMarkPos(static_cast<int16_t>(second));
        });
        QObject::connect(t, &Transport::playingChanged, bar, [bar](bool playing) {
            if (MultiButtons* button = bar->poPlayBtn())
                button->setButtonIndex(playing ? 1 : 0);
        });
        QObject::connect(t, &Transport::playButtonReset, bar, [bar] {
            if (MultiButtons* button = bar->poPlayBtn())
                button->resetButtonState();
        });
        QObject::connect(t, &Transport::controlsReset, bar, [bar] {
            if (Slider* slider = bar->poTimeSlider()) {
                slider->setCurrentValue(0);
                slider->setEventMarkPos(-1);
            }
            if (MultiButtons* button = bar->poPlayBtn())
                button->resetButtonState();
            if (MultiButtons* button = bar->poPlayRevBtn())
                button->resetButtonState();
        });
        QObject::connect(t, &Transport::speedChanged, bar, [bar](int step) {
            if (MultiButtons* button = bar->poSpeedBtn())
                button->setButtonIndex(step);
        });
        QObject::connect(t, &Transport::speedEnabled, bar,
                         [bar](bool enabled) { enableWidget(bar->poSpeedBtn(), enabled); });
        QObject::connect(t, &Transport::volumeChanged, bar, &PlayControlView::SetVolume);
        QObject::connect(s, &PlaybackSession::mediaEnabled, bar, [bar](bool enable) {
            enableWidget(bar->poPlayBtn(), enable);
            enableWidget(bar->poPrevBtn(), enable);
            enableWidget(bar->poNextBtn(), enable);
            enableWidget(bar->poPlayRevBtn(), enable);
            enableWidget(bar->poSpeedBtn(), enable);
            enableWidget(bar->poTimeSlider(), enable);
            if (enable)
                enableWidget(bar->poFullScreenBtn(), true);
        });
    }

    // session, track -> toolbar: the commands on the playlist, the open
    // recording and its track.
    if (ToolbarView* toolbar = panels.toolbar) {
        QObject::connect(s, &PlaybackSession::mediaEnabled, toolbar,
                         [toolbar](bool enable, bool open, bool track) {
                             enableWidget(toolbar->oBackupBtn(), enable);
                             enableWidget(toolbar->oUploadYouTubeBtn(), enable);
                             enableWidget(toolbar->oUploadFacebookBtn(), enable);
                             enableWidget(toolbar->oPrintBtn(), open);
                             enableWidget(toolbar->oCaptureBtn(), open);
                             enableWidget(toolbar->oExportBtn(), track);
                         });
        QObject::connect(s, &PlaybackSession::frameCommandsEnabled, toolbar, [toolbar](bool enabled) {
            enableWidget(toolbar->oPrintBtn(), enabled);
            enableWidget(toolbar->oCaptureBtn(), enabled);
        });
        QObject::connect(shownTrack, &CurrentTrack::exportEnabled, toolbar,
                         [toolbar](bool enabled) { enableWidget(toolbar->oExportBtn(), enabled); });
        QObject::connect(s, &PlaybackSession::windowSwitchShown, toolbar, [toolbar](bool shown) {
            if (BitmapButton* button = toolbar->oWindowSwitchBtn())
                button->setVisible(shown);
        });
    }

    // track, transport -> G-sensor graph: the track's picture, the cursor under the slider's knob.
    if (GSensorView* graph = panels.gsensor) {
        QObject::connect(shownTrack, &CurrentTrack::graphChanged, graph, &GSensorView::setGensorGraphic);
        QPointer<PlayControlView> bar = panels.playBar;
        QObject::connect(t, &Transport::sensorCursorChanged, graph, [graph, bar](int x, int y, int z) {
            Slider* slider = bar ? bar->poTimeSlider() : nullptr;
            graph->drawIndicator(slider ? slider->getCurrentIndicatorPos() : 0, x, y, z);
        });
    }

    // 360-degree view -> direction pad: shown while the large picture is a sphere.
    if (DpadView* dpad = panels.dpad) {
        QObject::connect(&s->view360(), &View360Control::padChanged, dpad, [dpad](bool enabled) {
            dpad->checkDpadButtons(enabled);
            dpad->setVisible(enabled);
            if (enabled)
                dpad->raise();
        });
    }
}
