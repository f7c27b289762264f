#include "platform/PSVR.h"

#include "base/NotificationCenter.h"
#include "base/PSVRDataVariant.h"
#include "core/Log.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QScreen>
#include <hidapi/hidapi.h>
#include <mutex>

namespace
{

class HidapiDevice final : public HidDevice
{
public:
    explicit HidapiDevice(hid_device* device) : m_device(device) {}
    ~HidapiDevice() override { hid_close(m_device); }
    int read(uint8_t* buffer, std::size_t size, int timeoutMs) override
    {
        return hid_read_timeout(m_device, buffer, size, timeoutMs);
    }

private:
    hid_device* m_device;
};

class HidapiBackend final : public HidBackend
{
public:
    HidapiBackend() { m_ok = hid_init() == 0; }
    ~HidapiBackend() override
    {
        if (m_ok)
            hid_exit();
    }
    std::vector<HidDeviceInfo> enumerate() override
    {
        std::vector<HidDeviceInfo> out;
        if (!m_ok)
            return out;
        hid_device_info* list = hid_enumerate(PSVR::kVendorId, 0);
        for (hid_device_info* d = list; d; d = d->next)
            out.push_back({d->vendor_id, d->product_id, d->interface_number, d->path ? d->path : ""});
        hid_free_enumeration(list);
        return out;
    }
    std::unique_ptr<HidDevice> open(const HidDeviceInfo& device) override
    {
        if (!m_ok || device.path.empty())
            return nullptr;
        hid_device* handle = hid_open_path(device.path.c_str());
        return handle ? std::make_unique<HidapiDevice>(handle) : nullptr;
    }

private:
    bool m_ok = false;
};

} // namespace

std::unique_ptr<HidBackend> pmMakeHidapiBackend()
{
    return std::make_unique<HidapiBackend>();
}

PSVR* PSVR::sharedInstance()
{
    static std::once_flag once;
    static PSVR* instance = nullptr;
    std::call_once(once, [] { instance = new PSVR(pmMakeHidapiBackend(), QCoreApplication::instance()); });
    return instance;
}

QScreen* PSVR::screen()
{
    return QGuiApplication::primaryScreen();
}

PSVR::PSVR(std::unique_ptr<HidBackend> backend, QObject* parent)
    : QObject(parent), m_backend(std::move(backend))
{
}

PSVR::~PSVR()
{
    stop();
}

bool PSVR::matches(const HidDeviceInfo& device)
{
    return device.vendorId == kVendorId && device.productId == kProductId;
}

bool PSVR::start()
{
    if (m_running)
        return true;
    if (m_reader.joinable())
        m_reader.join(); // a reader that ended by itself
    std::vector<HidDeviceInfo> found;
    if (m_backend)
        for (const HidDeviceInfo& d : m_backend->enumerate())
            if (matches(d))
                found.push_back(d);
    // The sensor's interface first, then any other the headset offers.
    std::stable_partition(found.begin(), found.end(),
                          [](const HidDeviceInfo& d) { return d.interfaceNumber == kSensorInterface; });
    std::unique_ptr<HidDevice> device;
    for (const HidDeviceInfo& d : found)
        if ((device = m_backend->open(d)))
            break;
    if (!device) {
        if (!m_bReportedMissing)
            pmWriteLog(found.empty() ? "PSVR - no headset connected" : "PSVR - the headset cannot be opened");
        m_bReportedMissing = true;
        return false;
    }
    m_bReportedMissing = false;
    pmWriteLog("PSVR - headset opened");
    m_stop = false;
    m_running = true;
    m_reader = std::thread(&PSVR::readLoop, this, std::move(device));
    return true;
}

void PSVR::stop()
{
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
    m_running = false;
}

bool PSVR::isRunning() const
{
    return m_running;
}

void PSVR::readLoop(std::unique_ptr<HidDevice> device)
{
    // Larger than a report, so that an over-long one is seen as such.
    uint8_t buffer[PSVRData::kReportSize * 2];
    while (!m_stop) {
        const int n = device->read(buffer, sizeof buffer, 100);
        if (n < 0) {
            QMetaObject::invokeMethod(this, &PSVR::onReaderEnded, Qt::QueuedConnection);
            break;
        }
        if (n == 0)
            continue;
        if (m_backlog.load() >= kMaxBacklog) {
            ++m_dropped;
            continue;
        }
        ++m_backlog;
        std::vector<uint8_t> report(buffer, buffer + n);
        QMetaObject::invokeMethod(
            this,
            [this, report = std::move(report)] {
                --m_backlog;
                processHIDValue(report.data(), report.size());
            },
            Qt::QueuedConnection);
    }
    device.reset();
    m_running = false;
}

void PSVR::onReaderEnded()
{
    if (m_reader.joinable())
        m_reader.join();
    m_running = false;
    pmWriteLog("PSVR - the headset was disconnected");
    Q_EMIT deviceLost();
}

void PSVR::processHIDValue(const uint8_t* data, std::size_t length)
{
    if (length != PSVRData::kReportSize)
        return;
    ++m_delivered;
    QVariantMap info;
    info.insert(kPSVRDataKey, QVariant::fromValue(PSVRData(data, length)));
    NotificationCenter::defaultCenter().post(Notifications::PSVRDataReceived,
                                             QVariant::fromValue<QObject*>(this), info);
}
