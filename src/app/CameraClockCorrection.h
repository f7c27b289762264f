#pragma once
// "Correct the camera clock", a choice kept per card: the card's camera clock
// is measured against the GPS time its tracks carry (a few recordings, on a
// worker, after every build), and while the card's choice is on the calendar,
// the file list and the time stamp show the moment the corrected clock gives
// in this computer's time zone. A card is its folder and its DEVICE.XML
// model; the choices live in the application's settings, never on the card.
// Main thread only.
#include "base/WorkerJob.h"
#include "core/CameraClock.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CameraClockCorrection : public QObject
{
    Q_OBJECT
public:
    explicit CameraClockCorrection(QObject* parent = nullptr);
    ~CameraClockCorrection() override;

    // A card's build has begun: nothing is measured until it is in, and no
    // correction is in force (the library drops its own as it builds).
    void cardClosed();
    // The card's recordings are in: its clock is measured on a worker, and
    // the correction follows when the card's choice is on.
    void measure(const QString& folder, const QString& model, const std::vector<std::string>& recordings);

    bool isMeasuring() const { return m_job && m_job->isRunning(); }
    // Measured, with GPS time found: the card's clock.
    const std::optional<CameraClock>& clock() const { return m_clock; }
    // The card's stored choice (off for a card never turned on).
    bool isOn() const;
    // The settings menu's item: stores the choice for the card and applies
    // it. Nothing when the card's clock could not be measured.
    void setOn(bool on);
    // The menu item: -1 unavailable (no card, measuring, no GPS time), 0 off, 1 on.
    int menuState() const;
    // Why the item is unavailable, or how far the clock is off.
    QString menuToolTip() const;

    // The stored choice of a card (folder as given, canonical where it exists).
    static bool isStoredOn(const QString& folder, const QString& model);

Q_SIGNALS:
    // The correction in force changed: the difference from GPS time, or none.
    // `afterBuild`: the card was just read (the calendar may go to its newest day).
    void correctionChanged(std::optional<int64_t> differenceMs, bool afterBuild);

private:
    static void store(const QString& folder, const QString& model, bool on);
    void apply(bool afterBuild);

    QString m_folder; // the card measured or being measured; empty: none
    QString m_model;
    bool m_measured = false;
    std::optional<CameraClock> m_clock;
    std::optional<int64_t> m_inForce;
    std::unique_ptr<WorkerJob<std::optional<CameraClock>>> m_job;
};
