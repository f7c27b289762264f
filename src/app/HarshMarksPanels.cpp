#include "app/HarshMarksPanels.h"

#include "app/LanguageSwitch.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "library/LibraryModel.h"
#include "playback/HarshMarks.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"

namespace
{
QList<TimeMark> timeMarksOf(const QList<HarshMark>& marks)
{
    QList<TimeMark> out;
    out.reserve(marks.size());
    for (const HarshMark& mark : marks)
        out.append(TimeMark{mark.second, HarshMarks::markText(mark)});
    return out;
}
} // namespace

void connectHarshMarks(HarshMarks& marks, PlaybackSession& session, LibraryModel& library,
                       LanguageSwitch* languages, const WindowController::Panels& panels)
{
    HarshMarks* m = &marks;

    // session -> marks: the track that plays was read; marks -> transport: seeks.
    QObject::connect(&session, &PlaybackSession::trackLoaded, m, &HarshMarks::currentTrackChanged);
    QObject::connect(m, &HarshMarks::seekRequested, &session.transport(), &Transport::seekToSecond);

    // library -> marks: the recordings of a new playlist are read.
    QObject::connect(&library, &LibraryModel::playlistRebuilt, m, &HarshMarks::playlistChanged);
    QObject::connect(&library, &LibraryModel::playlistChanged, m, [m](bool) { m->playlistChanged(); });

    // language -> marks: the tooltips in the new language.
    if (languages)
        QObject::connect(languages, &LanguageSwitch::languageChanged, m, [m] { m->republish(); });

    // marks -> time slider: the marks of the recording that plays (gone while
    // another one opens).
    if (PlayControlView* bar = panels.playBar) {
        QObject::connect(m, &HarshMarks::currentMarksChanged, bar, [bar](const QList<HarshMark>& found, int) {
            if (Slider* slider = bar->poTimeSlider())
                slider->setTimeMarks(timeMarksOf(found));
        });
        QObject::connect(&session.transport(), &Transport::controlsReset, bar, [bar] {
            if (Slider* slider = bar->poTimeSlider())
                slider->setTimeMarks({});
        });
    }

    // marks -> G-sensor graph: the same marks over the graph.
    if (GSensorView* graph = panels.gsensor) {
        QObject::connect(m, &HarshMarks::currentMarksChanged, graph,
                         [graph](const QList<HarshMark>& found, int samples) {
                             graph->setTimeMarks(timeMarksOf(found), samples);
                         });
    }

    // marks -> file list: the rows of recordings that hold a mark.
    if (FileListView* list = panels.fileList)
        QObject::connect(m, &HarshMarks::markedPathsChanged, list, &FileListView::setMarkedPaths);
}
