// The head tracker over a HID layer the test feeds: only the headset is
// opened, only 64-byte reports are posted (on the main thread), a flood is
// held to a small backlog, a vanished device ends the reader with one log
// line, and no headset means one log line and nothing else. Where /dev/uhid
// exists, a virtual headset goes through hidapi itself.
#include "platform/PSVR.h"
#include "../app/AppTestSupport.h"
#include "base/NotificationCenter.h"
#include "base/PSVRDataVariant.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/uhid.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace
{

// Reports queued by the test; read() hands them out one by one, then waits.
struct FeedState {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::vector<uint8_t>> reports;
    bool gone = false;
    int opened = 0;
    std::vector<std::string> openedPaths;
};

class FedDevice final : public HidDevice
{
public:
    explicit FedDevice(std::shared_ptr<FeedState> s) : m_s(std::move(s)) {}
    int read(uint8_t* buffer, std::size_t size, int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_s->mutex);
        m_s->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return m_s->gone || !m_s->reports.empty(); });
        if (m_s->gone)
            return -1;
        if (m_s->reports.empty())
            return 0;
        std::vector<uint8_t> r = std::move(m_s->reports.front());
        m_s->reports.pop_front();
        const std::size_t n = std::min(size, r.size());
        std::memcpy(buffer, r.data(), n);
        return static_cast<int>(n);
    }

private:
    std::shared_ptr<FeedState> m_s;
};

class FedBackend final : public HidBackend
{
public:
    FedBackend(std::shared_ptr<FeedState> s, std::vector<HidDeviceInfo> devices)
        : m_s(std::move(s)), m_devices(std::move(devices))
    {
    }
    std::vector<HidDeviceInfo> enumerate() override { return m_devices; }
    std::unique_ptr<HidDevice> open(const HidDeviceInfo& d) override
    {
        std::lock_guard<std::mutex> lock(m_s->mutex);
        ++m_s->opened;
        m_s->openedPaths.push_back(d.path);
        return std::make_unique<FedDevice>(m_s);
    }

private:
    std::shared_ptr<FeedState> m_s;
    std::vector<HidDeviceInfo> m_devices;
};

void feed(FeedState& s, std::vector<uint8_t> report)
{
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.reports.push_back(std::move(report));
    }
    s.cv.notify_all();
}

std::vector<uint8_t> report(std::size_t length, int16_t yaw20)
{
    std::vector<uint8_t> r(length, 0);
    if (length >= 22) {
        r[20] = static_cast<uint8_t>(static_cast<uint16_t>(yaw20) & 0xff);
        r[21] = static_cast<uint8_t>(static_cast<uint16_t>(yaw20) >> 8);
    }
    return r;
}

struct Received : QObject {
    Received()
    {
        NotificationCenter::defaultCenter().addObserver(
            this, Notifications::PSVRDataReceived, [this](const Notification& n) {
                onMainThread &= QThread::currentThread() == thread();
                objects.push_back(n.object.value<QObject*>());
                reports.push_back(n.userInfo.value(kPSVRDataKey).value<PSVRData>());
            });
    }
    std::vector<QObject*> objects;
    std::vector<PSVRData> reports;
    bool onMainThread = true;
};

} // namespace

TEST(PSVR, OnlyTheHeadsetIsOpenedAndOnly64ByteReportsArePosted)
{
    auto s = std::make_shared<FeedState>();
    // Another product of the same maker, and the headset's interfaces with
    // the sensor's (4) listed last.
    PSVR tracker(std::make_unique<FedBackend>(s, std::vector<HidDeviceInfo>{{0x054C, 0x05C4, 0, "pad"},
                                                                            {0x054C, 0x09AF, 5, "vr5"},
                                                                            {0x054C, 0x09AF, 4, "vr4"}}));
    Received got;
    ASSERT_TRUE(tracker.start());
    EXPECT_TRUE(tracker.isRunning());
    EXPECT_TRUE(tracker.start()); // already running: nothing more opened
    ASSERT_EQ(s->openedPaths, std::vector<std::string>{"vr4"});

    feed(*s, report(63, 1));
    feed(*s, report(65, 2));
    feed(*s, report(64, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !got.reports.empty(); }, 5000));
    QTest::qWait(50);
    ASSERT_EQ(got.reports.size(), 1u);
    EXPECT_EQ(got.reports[0].readInt16(20), 100);
    EXPECT_EQ(got.objects[0], &tracker);
    EXPECT_TRUE(got.onMainThread);

    // Straight in, as the HID layer would call it.
    const std::vector<uint8_t> r63 = report(63, 0), r65 = report(65, 0);
    tracker.processHIDValue(r63.data(), r63.size());
    tracker.processHIDValue(r65.data(), r65.size());
    EXPECT_EQ(got.reports.size(), 1u);
    tracker.stop();
    EXPECT_FALSE(tracker.isRunning());
}

TEST(PSVR, FloodVanishingDeviceAndNoDevice)
{
    apptest::LogToDocuments log;
    auto s = std::make_shared<FeedState>();
    PSVR tracker(std::make_unique<FedBackend>(s, std::vector<HidDeviceInfo>{{0x054C, 0x09AF, 4, "vr"}}));
    Received got;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        for (int i = 0; i < 5000; ++i)
            s->reports.push_back(report(64, static_cast<int16_t>(i)));
    }
    ASSERT_TRUE(tracker.start());
    // The main thread is busy (no events handled) while the reader takes
    // everything: beyond the backlog, reports are dropped, not queued.
    for (int waited = 0; waited < 30000 && tracker.droppedCount() < 5000 - PSVR::kMaxBacklog; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return got.reports.size() >= static_cast<size_t>(PSVR::kMaxBacklog); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(got.reports.size(), static_cast<size_t>(PSVR::kMaxBacklog));
    EXPECT_EQ(tracker.droppedCount(), 5000 - PSVR::kMaxBacklog);
    EXPECT_EQ(tracker.deliveredCount(), PSVR::kMaxBacklog);

    QSignalSpy lost(&tracker, &PSVR::deviceLost);
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->gone = true;
    }
    s->cv.notify_all();
    ASSERT_TRUE(lost.wait(5000));
    EXPECT_FALSE(tracker.isRunning());
    EXPECT_TRUE(apptest::logMessages().contains(QStringLiteral("PSVR - the headset was disconnected")));

    // No headset: false, one log line however often it is asked.
    PSVR none(std::make_unique<FedBackend>(s, std::vector<HidDeviceInfo>{{0x054C, 0x05C4, 0, "pad"}}));
    EXPECT_FALSE(none.start());
    EXPECT_FALSE(none.start());
    EXPECT_EQ(apptest::logMessages().count(QStringLiteral("PSVR - no headset connected")), 1);
    // And the real HID layer on a machine without a headset.
    PSVR real(pmMakeHidapiBackend());
    EXPECT_FALSE(real.start());
}

// A virtual headset made through /dev/uhid, read by hidapi's hidraw backend.
TEST(PSVR, VirtualHeadsetThroughUhid)
{
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "/dev/uhid is not available here: no virtual HID device can be made";
    // A vendor-defined input report of 64 bytes without a report id.
    static const uint8_t kDescriptor[] = {0x06, 0x00, 0xff, 0x09, 0x01, 0xa1, 0x01, 0x15, 0x00, 0x26, 0xff,
                                          0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0xc0};
    uhid_event create{};
    create.type = UHID_CREATE2;
    std::strncpy(reinterpret_cast<char*>(create.u.create2.name), "Virtual PS VR",
                 sizeof create.u.create2.name - 1);
    create.u.create2.rd_size = sizeof kDescriptor;
    create.u.create2.bus = BUS_USB;
    create.u.create2.vendor = 0x054C;
    create.u.create2.product = 0x09AF;
    std::memcpy(create.u.create2.rd_data, kDescriptor, sizeof kDescriptor);
    ASSERT_EQ(::write(fd, &create, sizeof create), static_cast<ssize_t>(sizeof create));

    PSVR tracker(pmMakeHidapiBackend());
    Received got;
    const bool started = QTest::qWaitFor([&] { return tracker.start(); }, 5000);
    if (started) {
        uhid_event input{};
        input.type = UHID_INPUT2;
        input.u.input2.size = 64;
        input.u.input2.data[20] = 60;
        (void)QTest::qWaitFor(
            [&] {
                (void)::write(fd, &input, sizeof input);
                return !got.reports.empty();
            },
            5000);
    }
    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    (void)::write(fd, &destroy, sizeof destroy);
    ::close(fd);
    ASSERT_TRUE(started) << "the virtual headset was not found through hidapi";
    ASSERT_FALSE(got.reports.empty());
    EXPECT_EQ(got.reports[0].yawAcceleration(), 60);
    QSignalSpy lost(&tracker, &PSVR::deviceLost);
    EXPECT_TRUE(lost.wait(5000)); // destroyed under the reader
}
