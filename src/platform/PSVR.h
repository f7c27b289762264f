#pragma once
// The head tracker: reads the PlayStation VR headset's motion sensor (USB HID,
// vendor 0x054C, product 0x09AF) and posts each 64-byte input report on the
// main thread as "PSVRDataReceivedNotification" (object: the tracker; user
// info: the PSVRData under "PSVRDataReceivedNotificationDataKey"). The
// 360-degree surface turns with it.
//
// Design notes
// - The HID layer is a small interface (HidBackend, HidDevice) so tests can
//   feed reports; the real one is hidapi's hidraw backend.
// - A reader thread blocks in the device's read (with a short timeout so that
//   stop() is prompt) and hands every report to the main thread. Reports that
//   arrive faster than the main thread takes them are dropped beyond a small
//   backlog, so a flood never stalls the event loop or grows memory.
// - A device that vanishes mid-read ends the reader with one log line and
//   deviceLost(); start() may be called again later.
// - With no headset, start() returns false and writes one log line (once
//   until a headset is seen).
//
// start(), stop() and the notification: main thread only.
#include <QObject>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QScreen;

struct HidDeviceInfo {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int interfaceNumber = -1;
    std::string path;
};

class HidDevice
{
public:
    virtual ~HidDevice() = default;
    // Waits at most timeoutMs for one input report: its length, 0 when none
    // came, -1 when the device is gone. Called on the reader thread.
    virtual int read(uint8_t* buffer, std::size_t size, int timeoutMs) = 0;
};

class HidBackend
{
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    virtual std::unique_ptr<HidDevice> open(const HidDeviceInfo& device) = 0;
};

// hidapi (hidraw).
std::unique_ptr<HidBackend> pmMakeHidapiBackend();

class PSVR : public QObject
{
    Q_OBJECT
public:
    static constexpr uint16_t kVendorId = 0x054C;  // 1356
    static constexpr uint16_t kProductId = 0x09AF; // 2479
    static constexpr int kSensorInterface = 4;     // preferred among the headset's interfaces
    static constexpr int kMaxBacklog = 32;

    // The process's tracker on hidapi, made on first use (thread-safe).
    static PSVR* sharedInstance();
    // The main screen.
    static QScreen* screen();

    explicit PSVR(std::unique_ptr<HidBackend> backend, QObject* parent = nullptr);
    ~PSVR() override;

    static bool matches(const HidDeviceInfo& device);

    // Opens the headset and starts reading; true when running (also when it
    // already was).
    bool start();
    void stop();
    bool isRunning() const;

    // One input value: anything but 64 bytes is ignored; a report is posted
    // as the notification. Main thread.
    void processHIDValue(const uint8_t* data, std::size_t length);

    // Reports handed to the main thread and dropped for backlog since creation (tests).
    qint64 deliveredCount() const { return m_delivered; }
    qint64 droppedCount() const { return m_dropped.load(); }

Q_SIGNALS:
    void deviceLost();

private:
    void readLoop(std::unique_ptr<HidDevice> device);
    void onReaderEnded();

    std::unique_ptr<HidBackend> m_backend;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<int> m_backlog{0};
    std::atomic<qint64> m_dropped{0};
    qint64 m_delivered = 0;
    bool m_bReportedMissing = false;
};
